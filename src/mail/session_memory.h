#pragma once
// What an account's checks remember from one to the next in this run, so that a check can
// skip a question whose answer it already has. Only the check that runs touches it (under the
// account's worker mark); a failed check clears what it could no longer trust.
#include <cstdint>

struct SessionMemory {
    // The UIDVALIDITY the last IMAP check saw of the account's folder; 0 before the first.
    uint32_t imapUidValidity = 0;
    // Set once that UIDVALIDITY changed within the run: some servers keep a folder's UIDs only
    // for clients that open it read-write, so from then on the check opens it with SELECT.
    bool imapOpenReadWrite = false;
};
