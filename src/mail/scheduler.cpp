#include "mail/scheduler.h"

#include <chrono>
#include <thread>
#include <utility>

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

}  // namespace

SchedulerHooks::SchedulerHooks() : startThread(StartDetachedThread), sleep(SleepFor)
{
}

uint32_t CheckInterval(const MailAccount& account)
{
    // Unsigned throughout: the product wraps modulo 2^32 instead of overflowing.
    return static_cast<uint32_t>(account.Duration) * 60000u;
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
        if (IsRunning(*account))
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
    uint32_t longestWait = 0;
    for (const auto& account : accounts) {
        const uint32_t wait = now - account->lastCheckTick;  // modulo 2^32: survives the wrap
        if (wait > CheckInterval(*account) && wait > longestWait) {
            chosen = account.get();
            longestWait = wait;
        }
    }
    if (chosen)
        StartCheck(*chosen);
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

void Scheduler::StopAllChecks()
{
    for (auto& account : accounts) {
        account->stopRequested.store(1);
        retiredAccounts.push_back(std::move(account));
    }
    accounts.clear();

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
