// The scheduling rules, with the test's clock and thread starts that only record.
#include "mail/scheduler.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "debug_capture.h"
#include "mail_test_helpers.h"

namespace {

constexpr uint32_t kMinute = 60000;
constexpr uint32_t kMax = 0xFFFFFFFFu;
constexpr uint32_t kHeld = 71582u * kMinute;  // the longest interval the tick arithmetic serves

class SchedulerTest : public ::testing::Test {
protected:
    SchedulerHooks FakeHooks()
    {
        SchedulerHooks fake;
        fake.check.tickCount = [this] { return clock; };
        fake.startThread = [this](std::function<void()>) {
            starts += threadsAvailable;
            return threadsAvailable;
        };
        fake.sleep = [this](uint32_t) {  // each wait of the exit: every retired check ends
            for (const auto& account : scheduler.RetiredAccounts())
                account->worker = false;
        };
        return fake;
    }

    MailAccount& AddAccount(int32_t duration, std::optional<uint32_t> lastCheckTick = std::nullopt)
    {
        MailAccount& account = ::AddAccount(scheduler, 110, duration);
        account.checkedOnce = lastCheckTick.has_value();
        account.lastCheckTick = lastCheckTick.value_or(0);
        return account;
    }

    // One tick at the given time; the index of the account it started, or -1.
    int TickAt(uint32_t now)
    {
        clock = now;
        const int before = starts;
        scheduler.RunScheduler();
        for (size_t i = 0; i < scheduler.Accounts().size() && starts > before; ++i)
            if (CheckRunning(*scheduler.Accounts()[i]))
                return int(i);
        return -1;
    }

    void FinishCheck(int index)
    {
        MailAccount& account = *scheduler.Accounts()[size_t(index)];
        account.lastCheckTick = clock;
        account.checkedOnce = true;
        account.worker = false;
    }

    uint32_t clock = 0;
    bool threadsAvailable = true;
    int starts = 0;
    Scheduler scheduler{FakeHooks()};
};

TEST_F(SchedulerTest, FirstChecksFollowTheStartInListOrderThenTheLongestWaitingGoesFirst)
{
    for (const int32_t duration : {10080, 0, 0})  // a week, two minutes after boot: still checked at once
        AddAccount(duration);
    std::vector<int> order;
    for (uint32_t now = 2 * kMinute; order.size() < 7; now += 1000) {
        const int started = TickAt(now);
        ASSERT_GE(started, 0);
        EXPECT_EQ(TickAt(now + 500), -1);  // the others wait for the running check
        scheduler.StartCheck(*scheduler.Accounts()[size_t(started)]);  // and it never starts twice
        order.push_back(started);
        FinishCheck(started);
    }
    EXPECT_TRUE(order == std::vector<int>({0, 1, 2, 1, 2, 1, 2}) && starts == 7) << starts << " thread starts";
}

TEST_F(SchedulerTest, AnAccountIsDueStrictlyAfterItsIntervalHeldToWhatThirtyTwoBitsServe)
{
    const struct { int32_t duration; uint32_t lastCheck, now; bool due; } cases[] = {
        {5, 1000, 1000 + 5 * kMinute, false}, {5, 1000, 1001 + 5 * kMinute, true},  // strictly after
        {0, 500, 500, false},  // not in the millisecond its check ended
        {1, kMax - 1000, kMinute - 1001, false}, {1, kMax - 1000, kMinute - 1000, true},  // across the wrap
        {71583, 0, 13000, false},  // its product would wrap to 12.7 s
        {71583, 0, kHeld, false}, {71583, 0, kHeld + 1, true}, {INT32_MAX, 5, kHeld + 6, true},
        {-1, 0, 30u * 24 * 60 * kMinute, false}, {INT32_MIN, 0, kHeld + 1, true},  // negative: held too
    };
    for (const auto& c : cases) {
        scheduler.Accounts().clear();
        AddAccount(c.duration, c.lastCheck);
        EXPECT_EQ(TickAt(c.now), c.due ? 0 : -1) << c.duration << " at " << c.now;
    }
}

// The window wakes only when NextCheckWait says, and every wake-up starts a check.
TEST_F(SchedulerTest, WokenOnlyWhenACheckIsDueItStartsTheSameChecksOneWakeUpEach)
{
    EXPECT_EQ(scheduler.NextCheckWait(), std::nullopt);  // no account: no timer
    AddAccount(5).Address = "";  // never checked: no reason to wake
    EXPECT_EQ(scheduler.NextCheckWait(), std::nullopt);
    for (const int32_t duration : {2, 1})
        AddAccount(duration);
    const uint32_t start = kMax - 90 * 1000;  // the tick count wraps on the way
    clock = start;
    std::vector<std::pair<int, uint32_t>> checks;  // account, seconds since the start
    while (checks.size() < 6) {
        const std::optional<uint32_t> wait = scheduler.NextCheckWait();
        ASSERT_TRUE(wait.has_value());
        const int started = TickAt(clock + *wait);
        ASSERT_GE(started, 0) << "a wake-up that starts nothing";
        EXPECT_EQ(scheduler.NextCheckWait(), std::nullopt) << "no timer while a check runs";
        checks.push_back({started, (clock - start) / 1000});
        clock += 3000;  // each check takes three seconds
        FinishCheck(started);
    }
    // First checks in list order a second apart, then each account as its interval passes.
    EXPECT_EQ(checks, (std::vector<std::pair<int, uint32_t>>{{1, 1}, {2, 5}, {2, 68}, {1, 124}, {2, 131}, {2, 194}}));

    threadsAvailable = false;  // an account that stays due is tried again a second later
    clock += 200 * 1000;
    EXPECT_EQ(TickAt(clock), -1);
    EXPECT_EQ(scheduler.NextCheckWait(), kShortestSchedulerWait);
}

TEST_F(SchedulerTest, AnAccountWithoutServerOrLoginOrKnownSecurityOrProtocolIsPassedOverAndSaidSoOnce)
{
    DebugCapture trace;
    AddAccount(0).Address = "";
    AddAccount(0).Account = "";
    MailAccount& neither = AddAccount(0);
    neither.Address = neither.Account = "";
    AddAccount(0).Security = kSecurityUnknown;
    AddAccount(0).Protocol = kProtocolUnknown;
    AddAccount(5);
    EXPECT_EQ(TickAt(1000), 5);
    FinishCheck(5);
    for (uint32_t now = 2000; now < 6000; now += 1000)
        EXPECT_EQ(TickAt(now), -1);
    EXPECT_EQ(trace.Text(), "POP0 is never checked: no server address\nPOP1 is never checked: no login name\n"
                            "POP2 is never checked: no server address\nPOP3 is never checked: unknown Security value\n"
                            "POP4 is never checked: unknown Protocol value\n");
    // Whoever opens a session for it anyway gets no conversation, only the reason.
    const CheckOutcome outcome = OpenMailSession(*scheduler.Accounts()[3], nullptr)->RunCheck();
    EXPECT_TRUE(outcome.result == CheckOutcome::Result::Failed && outcome.reason == "unknown Security value") << outcome.reason;
}

TEST_F(SchedulerTest, AfterAResumeEveryAccountIsDueAndFailuresAreRetriedEveryTwoSecondsForAWhile)
{
    for (int i = 0; i < 3; ++i)
        AddAccount(60, 1000);  // just checked
    MailAccount& running = *scheduler.Accounts()[0];
    running.worker = true;  // its worker replaces its connection
    scheduler.Accounts()[2]->stopRequested = kStopForExit;
    clock = 5000;
    scheduler.ResumeChecks();
    EXPECT_EQ(running.stopRequested.load(), kStopToReconnect);
    EXPECT_EQ(scheduler.Accounts()[2]->stopRequested.load(), kStopForExit) << "an exit is never taken back";
    running.worker = false;  // its reconnect done: not due again
    running.stopRequested = 0;

    EXPECT_EQ(TickAt(6000), 1);
    scheduler.Accounts()[1]->lastFailure = "server unreachable";
    FinishCheck(1);
    EXPECT_EQ(TickAt(7000), 2);
    FinishCheck(2);
    EXPECT_EQ(TickAt(8000), -1);
    EXPECT_EQ(TickAt(8001), 1);  // 2 s after its failed check ended
    FinishCheck(1);
    EXPECT_EQ(TickAt(5000 + 120000), -1) << "two minutes after the resume a failure waits its interval";
}

}  // namespace
