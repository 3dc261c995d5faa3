#pragma once
// What the tests of checks on real threads share: a bounded wait and a checkable account.
#include <chrono>
#include <thread>

#include "mail/scheduler.h"

using Clock = std::chrono::steady_clock;

template <typename Predicate>
bool WaitUntil(Predicate done)
{
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (!done() && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return done();
}

inline MailAccount& AddAccount(Scheduler& scheduler, int32_t port, int32_t duration = 0, uintptr_t owner = 0)
{
    scheduler.Accounts().push_back(std::make_unique<MailAccount>(reinterpret_cast<WindowHandle>(owner)));
    MailAccount& account = *scheduler.Accounts().back();
    account.Account = "user";
    account.Address = "127.0.0.1";
    account.Port = port;
    account.Duration = duration;
    return account;
}

inline std::string LastFailure(MailAccount& account)
{
    std::lock_guard<std::mutex> guard(account.uidLock);
    return account.lastFailure;
}
