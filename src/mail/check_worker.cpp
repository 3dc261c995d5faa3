#include "mail/check_worker.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

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

// The user hears of a socket failure once per process; the debug channel hears of each one.
std::atomic<bool> socketErrorShown{false};

void ReportSocketFailure(const CheckTarget& target)
{
    DebugWrite(kSocketInitFailed);
    if (!socketErrorShown.exchange(true))
        target.showMessage(kSocketInitFailed);
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

CheckEnvironment::CheckEnvironment()
    : tickCount(TickCount), initSockets(InitSockets), tls(SystemTls()), https(SystemHttps()),
      storeRefreshToken(StoreRotatedRefreshToken)
{
}

int CheckWorker(MailAccount& account, const CheckEnvironment& environment)
{
    const CheckTarget& target = environment.target;
    if (!environment.initSockets()) {
        // The account stays due (its check time is untouched), so the next tick tries again.
        ReportSocketFailure(target);
        EndCheck(account);
        return 0;
    }
    if (!target.ownerExists(account.ownerWnd)) {
        EndCheck(account);
        return 0;
    }

    // Kept for the last notification, which comes after the account may be gone.
    const WindowHandle owner = account.ownerWnd;
    const int32_t color = account.Color;

    std::unique_ptr<MailSession> session = OpenMailSession(account, &account.stopRequested, &account.memory);
    session->UseTls(environment.tls);
    target.post(owner, ID_CHECK_STARTED, color);
    CheckOutcome outcome;
    // A secret copied from another user or machine: the server is not even asked.
    if (NeedsUnreadableSecret(account)) {
        DebugWrite(std::string(kSecretUnreadable) + "\n");
        outcome.reason = kSecretUnreadable;
    } else if (account.Auth == kAuthOAuth) {
        outcome = RunTokenCheck(account, environment, session);
    } else {
        outcome = session->RunCheck();
    }
    const bool seenChanged = ApplyCheckOutcome(account, std::move(outcome));
    // Every check that ran is stamped, whatever its outcome: the next one comes an interval
    // after the end of this one.
    account.lastCheckTick = environment.tickCount();
    account.checkedOnce = true;
    session.reset();  // closes the connection
    // Written here rather than by the window: the exit waits for this thread, so the last
    // change before an exit is never lost.
    if (seenChanged)
        KeepSeenUids(account);
    if (account.stopRequested.load())
        DebugWrite("Check ended at exit\n");

    EndCheck(account);
    target.post(owner, ID_CHECK_FINISHED, color);
    return 0;
}
