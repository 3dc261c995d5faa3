#include "mail/change_watch.h"

#include <algorithm>
#include <string>
#include <utility>

#include "mail/scheduler.h"
#include "platform/debug_channel.h"
#include "profile/profile.h"

namespace {

constexpr uint32_t kFirstReconnectMs = 5000;

constexpr int32_t kShortestIdleRefreshS = 30;
// Servers may end an IDLE after 30 minutes of silence; a minute less is safe.
constexpr int32_t kLongestIdleRefreshS = 1740;

bool Exiting(const MailAccount& account)
{
    return account.stopRequested.load() == kStopForExit;
}

void TraceLoss(const CheckOutcome& outcome, uint32_t waitMs)
{
    DebugWrite("Connection lost (" + outcome.reason + "), reconnecting in " + std::to_string(waitMs / 1000) + " s\n");
}

// Replaces a lost connection: attempts with growing waits until one gives a good check, whose
// session it returns (its outcome applied); null at the exit.
std::unique_ptr<MailSession> Reconnect(MailAccount& account, ReconnectDelays& delays, const CheckEnvironment& environment)
{
    for (;;) {
        if (!environment.pause(delays.Next(environment.tickCount()), account.stopRequested)) {
            if (!TakeReconnectRequest(account))
                return nullptr;
            delays.Resumed(environment.tickCount());
            continue;
        }
        std::unique_ptr<MailSession> session = RunOneCheck(account, environment);
        environment.target.post(account.ownerWnd, ID_CHECK_FINISHED, account.Color);
        if (Exiting(account)) {
            if (session)
                session->Close();
            return nullptr;
        }
        if (TakeReconnectRequest(account)) {
            delays.Resumed(environment.tickCount());
            continue;
        }
        if (session) {
            TraceCounts(account);
            return session;
        }
    }
}

}  // namespace

ReconnectDelays::ReconnectDelays(uint32_t intervalMs) : longest(std::max(intervalMs, kFirstReconnectMs))
{
}

void ReconnectDelays::Resumed(uint32_t now)
{
    resumed = true;
    attemptAtOnce = true;
    resumeTick = now;
    next = kFirstReconnectMs;
}

uint32_t ReconnectDelays::Next(uint32_t now)
{
    if (attemptAtOnce) {
        attemptAtOnce = false;
        return 0;
    }
    if (resumed && now - resumeTick < kResumeRetryWindowMs)
        return kResumeRetryMs;
    resumed = false;
    const uint32_t wait = next;
    next = next > longest / 2 ? longest : next * 2;
    return wait;
}

uint32_t IdleRefreshMs(const std::string& text)
{
    const int32_t seconds = TextToInt(text);
    if (seconds <= 0)
        return kDefaultIdleRefreshMs;
    return uint32_t(std::clamp(seconds, kShortestIdleRefreshS, kLongestIdleRefreshS)) * 1000u;
}

void WatchForChanges(MailAccount& account, std::unique_ptr<MailSession> session, const CheckEnvironment& environment)
{
    while (session) {
        // A server that refused to wait (or stopped offering to) is polled from here.
        if (!session->CanWaitForChanges()) {
            DebugWrite("The server no longer tells of changes: polled from now on\n");
            session->Close();
            return;
        }
        CheckOutcome outcome = session->WaitForChange(account.idleRefreshMs);
        if (outcome.result != CheckOutcome::Result::Failed) {
            ApplyChange(account, std::move(outcome), environment);
            continue;
        }
        if (Exiting(account)) {
            session->Close();
            return;
        }
        // Not a lost connection: nothing to retry, and nothing failing for the user.
        if (account.memory.waitRefused) {
            DebugWrite("The server refuses to tell of changes: polled from now on\n");
            session->Close();
            return;
        }
        session.reset();
        ReconnectDelays delays(CheckInterval(account));
        if (TakeReconnectRequest(account)) {
            delays.Resumed(environment.tickCount());
        } else {
            // While the connection is down the account is failing, as a polled one would be.
            TraceLoss(outcome, kFirstReconnectMs);
            environment.target.post(account.ownerWnd, ID_CHECK_STARTED, account.Color);
            ApplyCheckOutcome(account, std::move(outcome));
            environment.target.post(account.ownerWnd, ID_CHECK_FINISHED, account.Color);
        }
        session = Reconnect(account, delays, environment);
    }
}
