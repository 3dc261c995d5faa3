#pragma once
// What an account's checks remember from one to the next in this run, so that a check can
// skip a question whose answer it already has. Only the check that runs touches it (under the
// account's worker mark); a failed check clears what it could no longer trust.
#include <cstdint>

struct SessionMemory {
    // POP3, from the last good check: the server offered PIPELINING before the login, so CAPA
    // can go out with USER and PASS; it refused the whole UIDL listing, so the next check asks
    // UIDL n at once.
    bool pop3Pipelining = false;
    bool pop3ListingRefused = false;

    // The UIDVALIDITY the last IMAP check saw of the account's folder; 0 before the first.
    uint32_t imapUidValidity = 0;
    // Set once that UIDVALIDITY changed within the run: some servers keep a folder's UIDs only
    // for clients that open it read-write, so from then on the check opens it with SELECT.
    bool imapOpenReadWrite = false;
};
