#pragma once
// An account whose server tells of changes as they happen keeps its worker thread and its
// connection: each change is applied as a check is, a lost connection is replaced, and the
// thread ends only at the exit or when the server no longer offers to tell (the account is
// polled again from then on).
#include <cstdint>
#include <memory>
#include <string>

#include "mail/check_worker.h"

// The waits between attempts to replace a lost connection: 5 s, then 10, 20, ... up to the
// account's interval. After a resume from sleep the first attempt comes at once, and while the
// network does not answer the next ones come every 2 s, for two minutes.
class ReconnectDelays {
public:
    explicit ReconnectDelays(uint32_t intervalMs);
    // The computer has resumed at the tick count now.
    void Resumed(uint32_t now);
    // The wait before the next attempt, at the tick count now.
    uint32_t Next(uint32_t now);

private:
    uint32_t longest;
    uint32_t next = 5000;
    bool resumed = false;
    bool attemptAtOnce = false;
    uint32_t resumeTick = 0;
};

// How often an idling connection is refreshed, from GLOBAL "IdleRefresh" (seconds): the
// default when absent or not a positive number, otherwise held to 30 s .. 29 min.
uint32_t IdleRefreshMs(const std::string& text);

// Runs on the worker thread after a good check whose session can wait for changes; the
// account's `idling` mark is set. Returns with the session closed.
void WatchForChanges(MailAccount& account, std::unique_ptr<MailSession> session, const CheckEnvironment& environment);
