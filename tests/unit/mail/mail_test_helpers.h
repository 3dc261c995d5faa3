#pragma once
// What the mail tests share: real checks against the scripted server, bounded waits, accounts.
#include <chrono>
#include <thread>

#include "fake_pop3_server.h"
#include "mail/check_worker.h"
#include "mail/pop3/pop3_session.h"
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

// Connects to the server (or the port given) with the account's memory, as the worker does.
inline CheckOutcome CheckAgainst(MailAccount& account, const FakePop3Server& server, uint32_t ioTimeoutMs = 5000,
                                 const char* host = "127.0.0.1", int port = 0)
{
    AccountSettings settings = account;
    settings.Address = host;
    settings.Port = port ? port : server.Port();
    CheckOutcome outcome = Pop3Session(settings, &account.stopRequested, &account.memory, 5000, ioTimeoutMs).RunCheck();
    ApplyCheckOutcome(account, outcome);
    return outcome;
}
