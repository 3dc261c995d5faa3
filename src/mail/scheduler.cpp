#include "mail/scheduler.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "platform/debug_channel.h"
#include "platform/detached_thread.h"

namespace {

void SleepFor(uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool IsRunning(const MailAccount& account)
{
    return account.worker.load(std::memory_order_acquire);
}

// Greater than any wait a 32-bit tick difference can give: an account never checked has
// waited since the start, longer than any account checked since.
constexpr uint64_t kWaitingSinceStart = uint64_t(1) << 32;

// How long the account has waited for the choice of the longest-waiting, or 0 when it is not
// due. Differences are taken modulo 2^32, so they survive the tick count's wrap; an account
// is due strictly after its interval.
uint64_t DueWait(const MailAccount& account, uint32_t now, uint32_t interval)
{
    if (!account.checkedOnce)
        return kWaitingSinceStart;
    const uint32_t wait = now - account.lastCheckTick;
    return wait > interval ? wait : 0;
}

bool LastCheckFailed(MailAccount& account)
{
    std::lock_guard<std::mutex> guard(account.uidLock);
    return !account.lastFailure.empty();
}

// Milliseconds from now until the account is due; 0 when it is due already.
uint32_t TimeUntilDue(const MailAccount& account, uint32_t now, uint32_t interval)
{
    if (DueWait(account, now, interval) > 0)
        return 0;
    // Due strictly after the interval: one millisecond past it.
    return interval - (now - account.lastCheckTick) + 1;
}

}  // namespace

SchedulerHooks::SchedulerHooks() : startThread(StartDetachedThread), sleep(SleepFor)
{
}

uint32_t CheckInterval(const MailAccount& account)
{
    const bool fits = account.Duration >= 0 && account.Duration <= kLongestDuration;
    return static_cast<uint32_t>(fits ? account.Duration : kLongestDuration) * 60000u;
}

const char* WhyNeverChecked(const AccountSettings& account)
{
    // An empty address would reach this very machine, and an empty name can never log in.
    if (account.Address.empty())
        return "no server address";
    if (account.Account.empty())
        return "no login name";
    // Guessing the protection could send the password in clear.
    if (account.Security < kSecurityNone || account.Security > kSecurityTls)
        return "unknown Security value";
    if (account.Protocol != kProtocolPop3 && account.Protocol != kProtocolImap)
        return "unknown Protocol value";
    return nullptr;
}

Scheduler::Scheduler(SchedulerHooks hooks) : hooks(std::move(hooks))
{
}

Scheduler::~Scheduler()
{
    StopAllChecks();
}

bool Scheduler::AnyCheckRunning() const
{
    for (const auto& account : accounts) {
        if (CheckRunning(*account))
            return true;
    }
    return false;
}

void Scheduler::RunScheduler()
{
    // With every mark clear (acquired), each account's last check time is settled.
    if (AnyCheckRunning())
        return;

    const uint32_t now = hooks.check.tickCount();
    MailAccount* chosen = nullptr;
    uint64_t longestWait = 0;
    for (size_t i = 0; i < accounts.size(); ++i) {
        // An idling account's worker stays; its check time is its own while it runs.
        if (IsRunning(*accounts[i]))
            continue;
        const uint64_t wait = DueWait(*accounts[i], now, DueInterval(*accounts[i], now));
        if (wait > longestWait && Checkable(i)) {
            chosen = accounts[i].get();
            longestWait = wait;
        }
    }
    if (chosen)
        StartCheck(*chosen);
}

std::optional<uint32_t> Scheduler::NextCheckWait() const
{
    if (AnyCheckRunning())
        return std::nullopt;
    const uint32_t now = hooks.check.tickCount();
    std::optional<uint32_t> earliest;
    for (const auto& account : accounts) {
        // An idling account is never due: its worker hears of changes itself.
        if (WhyNeverChecked(*account) || IsRunning(*account))
            continue;
        const uint32_t wait = TimeUntilDue(*account, now, DueInterval(*account, now));
        earliest = earliest ? std::min(*earliest, wait) : wait;
    }
    if (!earliest)
        return std::nullopt;
    return std::max(*earliest, kShortestSchedulerWait);
}

uint32_t Scheduler::DueInterval(MailAccount& account, uint32_t now) const
{
    const uint32_t interval = CheckInterval(account);
    if (resumed && now - resumeTick < kResumeRetryWindowMs && LastCheckFailed(account))
        return std::min(interval, kResumeRetryMs);
    return interval;
}

bool Scheduler::Checkable(size_t index)
{
    const MailAccount& account = *accounts[index];
    const char* why = WhyNeverChecked(account);
    if (why && passedOverReported.insert(&account).second)
        DebugWrite("POP" + std::to_string(index) + " is never checked: " + why + "\n");
    return why == nullptr;
}

void Scheduler::StartCheck(MailAccount& account)
{
    if (IsRunning(account))
        return;
    // The mark goes up before the thread exists, so the worker can never clear it first.
    account.worker.store(true, std::memory_order_relaxed);
    MailAccount* target = &account;
    CheckEnvironment environment = hooks.check;
    const bool started = hooks.startThread([target, environment] { CheckWorker(*target, environment); });
    if (!started)
        account.worker.store(false, std::memory_order_relaxed);
}

void Scheduler::ResumeChecks()
{
    DebugWrite("Resumed from sleep: every account is checked again\n");
    resumed = true;
    resumeTick = hooks.check.tickCount();
    for (auto& account : accounts) {
        if (IsRunning(*account)) {
            int32_t expected = 0;  // an exit already asked for stays
            account->stopRequested.compare_exchange_strong(expected, kStopToReconnect);
        } else {
            account->checkedOnce = false;  // written only while no worker runs
        }
    }
}

void Scheduler::StopAllChecks()
{
    for (auto& account : accounts) {
        account->stopRequested.store(kStopForExit);
        retiredAccounts.push_back(std::move(account));
    }
    accounts.clear();
    passedOverReported.clear();

    for (;;) {
        ReapRetiredAccounts();
        if (retiredAccounts.empty())
            return;
        hooks.sleep(100);
    }
}

void Scheduler::ReapRetiredAccounts()
{
    for (auto it = retiredAccounts.begin(); it != retiredAccounts.end();) {
        if (IsRunning(**it))
            ++it;
        else
            it = retiredAccounts.erase(it);
    }
}
