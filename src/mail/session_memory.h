#pragma once
// What an account's checks remember from one to the next in this run, so that a check can
// skip a question whose answer it already has. Only the check that runs touches it (under the
// account's worker mark); a failed check clears what it could no longer trust.
struct SessionMemory {
    // POP3, from the last good check: the server offered PIPELINING before the login, so CAPA
    // can go out with USER and PASS; it refused the whole UIDL listing, so the next check asks
    // UIDL n at once.
    bool pop3Pipelining = false;
    bool pop3ListingRefused = false;
};
