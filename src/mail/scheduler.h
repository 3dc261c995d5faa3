#pragma once
// When each account is checked: at most one check runs at a time, over all accounts, each on
// a thread of its own that nobody waits for. An account whose worker stays connected to hear
// of changes (`idling`) is not polled and does not count as a running check. Everything here
// runs on the user-interface thread, on the accounts the scheduler owns.
#include <cstdint>
#include <functional>
#include <optional>
#include <set>

#include "mail/check_worker.h"
#include "mail/mail_account.h"

// The program's surroundings as the scheduler sees them.
struct SchedulerHooks {
    // The clock, the socket start-up and the notification target, handed on to each worker.
    CheckEnvironment check;
    // Runs body on a new thread that nobody waits for; false when no thread could start.
    std::function<bool(std::function<void()> body)> startThread;
    // Waits the given number of milliseconds (the exit polls with it).
    std::function<void(uint32_t ms)> sleep;

    SchedulerHooks();
};

// The shortest wait between two runs of the scheduler. An account that stays due (no thread
// could start, no sockets) is tried again about every second, and the first checks come about a
// second after the start, each about a second after the one before.
constexpr uint32_t kShortestSchedulerWait = 1000;

// The longest Duration the 32-bit tick arithmetic can serve: the wait since a check is taken
// modulo 2^32 ms, so a longer interval would wrap into a short one. 71582 minutes leave the
// scheduler, woken when the account is due, about 47 s to see it due before its wait wraps.
constexpr int32_t kLongestDuration = 71582;

// After a resume from sleep the network may take a while to answer: for two minutes a failed
// check is tried again 2 s after it ended.
constexpr uint32_t kResumeRetryMs = 2000;
constexpr uint32_t kResumeRetryWindowMs = 120000;

// The account's interval in milliseconds: Duration minutes, where a Duration that is negative
// or beyond kLongestDuration is held at kLongestDuration.
uint32_t CheckInterval(const MailAccount& account);

// Why the account can never be checked, in a few words for the debug channel and the tray's
// tooltip ("no server address", "unknown Security value"), or null when it can. Such an
// account keeps its place in the list but is passed over, and no session is opened for it.
const char* WhyNeverChecked(const AccountSettings& account);

class Scheduler {
public:
    explicit Scheduler(SchedulerHooks hooks = SchedulerHooks());
    // Stops every check first: no worker outlives its account.
    ~Scheduler();
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;

    // Every configured account, in profile order; position i was loaded from section POP<i>.
    AccountList& Accounts() { return accounts; }
    const AccountList& Accounts() const { return accounts; }
    // Accounts waiting for their check to end before they are destroyed (only during exit).
    const AccountList& RetiredAccounts() const { return retiredAccounts; }

    // Starts the check of the due account that has waited longest since its last check (the
    // first of equals in list order), unless a check is running. An account never checked is
    // due at once and counts as waiting since the start, so the first checks follow the start
    // in list order. Called when NextCheckWait says.
    void RunScheduler();

    // How long RunScheduler may wait: the milliseconds until the earliest due time of the
    // accounts it checks, at least kShortestSchedulerWait. None while a check runs (its end is
    // the next moment to ask again) and when no account can be checked.
    std::optional<uint32_t> NextCheckWait() const;

    // Starts the account's check on a new thread, unless it already runs. When no thread can
    // be started the account stays idle, and the next run tries again.
    void StartCheck(MailAccount& account);

    // The computer has resumed from sleep: every worker drops its connection and checks again
    // at once, and every other account is due at once.
    void ResumeChecks();

    // At exit: retires every account, asks its check to stop, and returns once every retired
    // account has been destroyed. Waits as long as the longest running check takes to notice.
    void StopAllChecks();

    // Destroys every retired account whose check has ended, keeping the order of the rest.
    void ReapRetiredAccounts();

private:
    bool AnyCheckRunning() const;
    // Whether the account can be checked; says once per account on the debug channel why not.
    bool Checkable(size_t index);
    // The account's interval, shortened while checks fail just after a resume.
    uint32_t DueInterval(MailAccount& account, uint32_t now) const;

    const SchedulerHooks hooks;
    AccountList accounts;
    AccountList retiredAccounts;
    std::set<const MailAccount*> passedOverReported;
    bool resumed = false;
    uint32_t resumeTick = 0;
};
