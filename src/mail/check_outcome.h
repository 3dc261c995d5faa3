#pragma once
// What one check of a mailbox found, whatever the protocol: the caller applies it to the
// account's sets.
#include <string>

#include "mail/uid_set.h"

struct CheckOutcome {
    enum class Result {
        Failed,        // no usable answer: the sets must stay as they are
        EmptyMailbox,  // the mailbox holds nothing to show
        Listed,        // every message to show gave its UID
    };
    Result result = Result::Failed;
    UidSet uids;  // the server's whole list, when Listed
    // When Failed: why, in a few words for the user ("login refused", "server unreachable").
    std::string reason;
    // When Failed: the server refused the account's access token; a fresh one may pass.
    bool tokenRefused = false;
};
