#include "mail/check_worker.h"

#include <atomic>
#include <memory>
#include <new>
#include <mutex>
#include <string>
#include <utility>

#include "mail/seen_keeping.h"
#include "mail/uid_reconcile.h"
#include "platform/debug_channel.h"
#include "platform/tcp_client.h"
#include "platform/tick_count.h"

namespace {

const char kSocketInitFailed[] = "Win Sock Init Fale";
// Said of a failed check whose session gave no reason of its own.
const char kCheckFailed[] = "check failed";

// Said of a check that ran out of memory: a hostile server can ask for a great deal.
const char kOutOfMemory[] = "out of memory";

// The user hears of a socket failure once per process; the debug channel hears of each one.
std::atomic<bool> socketErrorShown{false};

// Whether this failure is the one the user is told of. The box itself comes after the check
// has ended, so that no exit waits for a box nobody answers.
bool TraceSocketFailure()
{
    DebugWrite(kSocketInitFailed);
    return !socketErrorShown.exchange(true);
}

// Clearing the mark is the worker's last access to the account; the release publishes the
// check time and the sets to whoever next sees the mark clear (and may destroy the account).
void EndCheck(MailAccount& account)
{
    account.worker.store(false, std::memory_order_release);
}

void RecordFailure(MailAccount& account, std::string reason)
{
    std::lock_guard<std::mutex> guard(account.uidLock);
    account.lastFailure = std::move(reason);
}

}  // namespace

bool ApplyCheckOutcome(MailAccount& account, CheckOutcome outcome)
{
    if (outcome.result == CheckOutcome::Result::Failed) {
        RecordFailure(account, outcome.reason.empty() ? kCheckFailed : std::move(outcome.reason));
        return false;
    }
    RecordFailure(account, std::string());
    if (outcome.result == CheckOutcome::Result::Listed)
        return ReconcileUids(account, std::move(outcome.uids));
    return ClearUids(account);
}

CheckEnvironment::CheckEnvironment() : tickCount(TickCount), initSockets(InitSockets), tls(SystemTls())
{
}

namespace {

// The conversation and what it found. An allocation that fails anywhere in it ends this
// check as failed, with the sets as they were; the program and the other accounts go on.
bool RunSession(MailAccount& account, const CheckEnvironment& environment, const CheckTarget& target,
                WindowHandle owner, int32_t color)
{
    bool started = false;
    try {
        std::unique_ptr<MailSession> session =
            OpenMailSession(account, &account.stopRequested, &account.memory);
        session->UseTls(environment.tls);
        target.post(owner, ID_CHECK_STARTED, color);
        started = true;
        CheckOutcome outcome = session->RunCheck();
        session.reset();  // closes the connection
        return ApplyCheckOutcome(account, std::move(outcome));
    } catch (const std::bad_alloc&) {
        if (!started)
            target.post(owner, ID_CHECK_STARTED, color);
        DebugWrite("Check ended: out of memory\n");
        CheckOutcome failed;
        failed.reason = kOutOfMemory;
        return ApplyCheckOutcome(account, std::move(failed));
    }
}

}  // namespace

int CheckWorker(MailAccount& account, const CheckEnvironment& environment)
{
    const CheckTarget& target = environment.target;
    if (!environment.initSockets()) {
        // The account stays due (its check time is untouched), so the next run tries again; the
        // window hears of the end, which sets that run.
        const bool tellUser = TraceSocketFailure();
        const WindowHandle owner = account.ownerWnd;
        const int32_t color = account.Color;
        EndCheck(account);
        target.post(owner, ID_CHECK_FINISHED, color);
        // The account may be gone from here on; the target is the worker's own copy.
        if (tellUser)
            target.showMessage(kSocketInitFailed);
        return 0;
    }
    if (!target.ownerExists(account.ownerWnd)) {
        EndCheck(account);
        return 0;
    }

    // Kept for the last notification, which comes after the account may be gone.
    const WindowHandle owner = account.ownerWnd;
    const int32_t color = account.Color;

    const bool seenChanged = RunSession(account, environment, target, owner, color);
    // Every check that ran is stamped, whatever its outcome: the next one comes an interval
    // after the end of this one.
    account.lastCheckTick = environment.tickCount();
    account.checkedOnce = true;
    // Written here rather than by the window: the exit waits for this thread, so the last
    // change before an exit is never lost.
    if (seenChanged) {
        try {
            KeepSeenUids(account);
        } catch (const std::bad_alloc&) {
            DebugWrite("Seen UIDs not saved: out of memory\n");
        }
    }
    if (account.stopRequested.load())
        DebugWrite("Check ended at exit\n");

    EndCheck(account);
    target.post(owner, ID_CHECK_FINISHED, color);
    return 0;
}
