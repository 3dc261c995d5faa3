#pragma once
// One complete POP3 conversation for one account: connect, greeting, USER, PASS, STAT, one
// UIDL per message, QUIT. Its only effects are the changes to the account's two UID sets and
// the trace of every command and reply on the debug channel.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "mail/uid_set.h"

class Pop3Session {
public:
    Pop3Session();
    virtual ~Pop3Session();
    Pop3Session(const Pop3Session&) = delete;
    Pop3Session& operator=(const Pop3Session&) = delete;

    void SetPassword(const std::string& text);
    void SetUser(const std::string& text);
    void SetServer(const std::string& text);
    void SetPort(int32_t port);
    void SetNewUids(UidSet* set);
    void SetSeenUids(UidSet* set);
    // The account's lock over both sets, held for each whole set operation.
    void SetUidLock(std::mutex* lock);

    // The account's stop request, stored directly by the creator; non-zero means stop.
    const std::atomic<int32_t>* stopFlag = nullptr;

    // The whole conversation. Returns 1 when it ran to its end (QUIT sent after a good
    // listing or an empty mailbox), 0 when it failed or was stopped.
    int RunCheck();
};
