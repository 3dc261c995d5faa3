#pragma once
// The seen UIDs of one account kept on disk between runs, one file for each server, port and
// login name, and for IMAP the folder too: an account whose values change starts with nothing
// seen. The file names these values, so that a file of another account (a renamed file, two names that meet) is
// never taken for this one's.
#include <cstddef>
#include <cstdint>
#include <string>

#include "mail/uid_set.h"

// As many UIDs as one check takes in, each at most a UIDL reply line long.
constexpr size_t kMaxKeptUids = 1000000;
constexpr size_t kMaxKeptUidLength = 512;

struct LoadedSeen {
    UidSet uids;
    std::string problem;  // why the set is empty; empty when the file was read
};

class SeenStore {
public:
    // Files live in folder (created at the first save).
    explicit SeenStore(std::string folder);

    // The account's kept UIDs. A missing, unreadable, corrupt or oversized file, or one that
    // belongs to other values, gives an empty set and the reason.
    // imapFolder is the folder of an IMAP account; empty for POP3.
    LoadedSeen Load(const std::string& server, int32_t port, const std::string& login,
                    const std::string& imapFolder = std::string()) const;

    // Replaces the account's file atomically. False, and nothing written, when the set is
    // beyond the bounds (it could not be loaded again) or the file could not be replaced.
    bool Save(const std::string& server, int32_t port, const std::string& login, const UidSet& uids,
              const std::string& imapFolder = std::string()) const;

    // Where the account's file is: a readable part and a hash of the values.
    std::string PathFor(const std::string& server, int32_t port, const std::string& login,
                        const std::string& imapFolder = std::string()) const;

private:
    std::string folder;
};
