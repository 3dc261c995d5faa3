#pragma once
// When each account is checked: at most one check runs at a time, over all accounts, each on
// a thread of its own that nobody waits for. Everything here runs on the user-interface
// thread and works on the process-wide `accounts` and `retiredAccounts`.
#include <cstdint>
#include <functional>

#include "mail/check_worker.h"

// The program's surroundings as the scheduler sees them; set once at start-up (and by tests).
struct SchedulerHooks {
    // The clock, the socket start-up and the notification target, handed on to each worker.
    CheckEnvironment check;
    // Runs body on a new thread that nobody waits for; false when no thread could start.
    std::function<bool(std::function<void()> body)> startThread;
    // Waits the given number of milliseconds (the exit polls with it).
    std::function<void(uint32_t ms)> sleep;

    SchedulerHooks();
};

// Replaces the hooks used from now on; checks already running keep the ones they started with.
void SetSchedulerHooks(const SchedulerHooks& hooks);
const SchedulerHooks& CurrentSchedulerHooks();

// The account's interval in milliseconds: Duration minutes in 32-bit arithmetic taken as
// unsigned, so a negative Duration gives an interval of weeks.
uint32_t CheckInterval(const MailAccount& account);

// Starts the check of the account that has waited longest past its interval (the first of
// equals in list order), unless a check is running. Called every second.
void RunScheduler();

// Starts the account's check on a new thread, unless it already runs. When no thread can be
// started the account stays idle, and the next tick tries again.
void StartCheck(MailAccount& account);

// At exit: retires every account, asks its check to stop, and returns once every retired
// account has been destroyed. Waits as long as the longest running check takes to notice.
void StopAllChecks();

// Destroys every retired account whose check has ended, keeping the order of the rest.
void ReapRetiredAccounts();
