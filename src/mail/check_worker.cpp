#include "mail/check_worker.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <utility>

#include "mail/change_watch.h"
#include "mail/seen_keeping.h"
#include "mail/token_check.h"
#include "mail/uid_reconcile.h"
#include "platform/debug_channel.h"
#include "platform/tcp_client.h"
#include "platform/tick_count.h"
#include "profile/account_secrets.h"

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

std::unique_ptr<MailSession> OpenAccountSession(MailAccount& account)
{
    return OpenMailSession(account, &account.stopRequested, &account.memory);
}

// Sleeps in short steps so that the exit, or a resume, is never kept waiting.
bool PauseUnlessStopped(uint32_t ms, const std::atomic<int32_t>& stopFlag)
{
    const int64_t end = SteadyNowMs() + ms;
    for (;;) {
        if (stopFlag.load() != 0)
            return false;
        const int64_t left = end - SteadyNowMs();
        if (left <= 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min<int64_t>(left, 50)));
    }
}

// What every check that ran does with its outcome, under the account's lock where it touches
// the sets.
void ApplyAndStamp(MailAccount& account, CheckOutcome outcome, const CheckEnvironment& environment)
{
    const bool seenChanged = ApplyCheckOutcome(account, std::move(outcome));
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
}

// The check and, where its session can wait, the changes after it. An allocation that fails
// anywhere in them ends the check as failed, with the sets as they were; the program and the
// other accounts go on.
void RunAndWatch(MailAccount& account, const CheckEnvironment& environment, WindowHandle owner, int32_t color)
{
    try {
        std::unique_ptr<MailSession> session = RunOneCheck(account, environment);
        if (session && session->CanWaitForChanges() && account.stopRequested.load() == 0) {
            // The check is over, but the thread and its connection stay to hear of changes;
            // from here the account no longer counts as a running check.
            account.idling.store(true, std::memory_order_release);
            TraceCounts(account);
            environment.target.post(owner, ID_CHECK_FINISHED, color);
            WatchForChanges(account, std::move(session), environment);
            account.idling.store(false, std::memory_order_release);
        }
        if (session)
            session->Close();
    } catch (const std::bad_alloc&) {
        account.idling.store(false, std::memory_order_release);
        DebugWrite("Check ended: out of memory\n");
        CheckOutcome failed;
        failed.reason = kOutOfMemory;
        ApplyAndStamp(account, std::move(failed), environment);
    }
}

// The check proper, signed in as the account says.
CheckOutcome RunSessionCheck(MailAccount& account, const CheckEnvironment& environment,
                             std::unique_ptr<MailSession>& session)
{
    // A secret copied from another user or machine: the server is not even asked.
    if (NeedsUnreadableSecret(account)) {
        DebugWrite(std::string(kSecretUnreadable) + "\n");
        CheckOutcome outcome;
        outcome.reason = kSecretUnreadable;
        return outcome;
    }
    if (account.Auth == kAuthOAuth)
        return RunTokenCheck(account, environment, session);
    return session->RunCheck();
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

CheckEnvironment::CheckEnvironment()
    : tickCount(TickCount), initSockets(InitSockets), tls(SystemTls()), https(SystemHttps()),
      storeRefreshToken(StoreRotatedRefreshToken), openSession(OpenAccountSession), pause(PauseUnlessStopped)
{
}

std::unique_ptr<MailSession> RunOneCheck(MailAccount& account, const CheckEnvironment& environment)
{
    std::unique_ptr<MailSession> session = environment.openSession(account);
    session->UseTls(environment.tls);
    environment.target.post(account.ownerWnd, ID_CHECK_STARTED, account.Color);
    CheckOutcome outcome = RunSessionCheck(account, environment, session);
    const bool good = outcome.result != CheckOutcome::Result::Failed;
    // A check cut short for the exit or a resume found nothing: "stopped" is not the server's
    // fault, and the account keeps what it showed.
    if (good || account.stopRequested.load() == 0)
        ApplyAndStamp(account, std::move(outcome), environment);
    if (!good)
        session.reset();  // closes the connection
    return session;
}

void ApplyChange(MailAccount& account, CheckOutcome outcome, const CheckEnvironment& environment)
{
    environment.target.post(account.ownerWnd, ID_CHECK_STARTED, account.Color);
    ApplyAndStamp(account, std::move(outcome), environment);
    TraceCounts(account);
    environment.target.post(account.ownerWnd, ID_CHECK_FINISHED, account.Color);
}

void TraceCounts(MailAccount& account)
{
    std::string line;
    {
        std::lock_guard<std::mutex> guard(account.uidLock);
        line = "Mailbox changed: new=" + std::to_string(account.newUids.size()) +
               " seen=" + std::to_string(account.seenUids.size()) + "\n";
    }
    DebugWrite(line);
}

bool TakeReconnectRequest(MailAccount& account)
{
    int32_t expected = kStopToReconnect;
    return account.stopRequested.compare_exchange_strong(expected, 0);
}

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

    RunAndWatch(account, environment, owner, color);
    // The computer resumed while the check ran: its answer may be stale, so it is due again.
    if (TakeReconnectRequest(account))
        account.checkedOnce = false;
    if (account.stopRequested.load())
        DebugWrite("Check ended at exit\n");

    EndCheck(account);
    target.post(owner, ID_CHECK_FINISHED, color);
    return 0;
}
