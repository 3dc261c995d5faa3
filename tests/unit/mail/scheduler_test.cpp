// The scheduling rules, with a clock the test sets and thread starts that only record: a
// "check" runs until the test ends it the way a worker would.
#include "mail/scheduler.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

constexpr uint32_t kMinute = 60000;
constexpr uint32_t kHour = 60 * kMinute;
constexpr uint32_t kMax = std::numeric_limits<uint32_t>::max();

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
        fake.sleep = [this](uint32_t ms) {
            sleeps.push_back(ms);
            if (onSleep)
                onSleep();
        };
        return fake;
    }
    void TearDown() override
    {
        for (auto& account : scheduler.Accounts())
            account->worker = false;
    }

    MailAccount& AddAccount(int32_t duration, uint32_t lastCheckTick = 0)
    {
        scheduler.Accounts().push_back(std::make_unique<MailAccount>());
        scheduler.Accounts().back()->Duration = duration;
        scheduler.Accounts().back()->lastCheckTick = lastCheckTick;
        return *scheduler.Accounts().back();
    }

    // One tick at the given time; the index of the account it started, or -1.
    int TickAt(uint32_t now)
    {
        clock = now;
        const int startsBefore = starts;
        std::vector<bool> before;
        for (const auto& account : scheduler.Accounts())
            before.push_back(account->worker);
        scheduler.RunScheduler();
        int started = -1;
        for (size_t i = 0; i < before.size(); ++i) {
            if (scheduler.Accounts()[i]->worker && !before[i]) {
                EXPECT_EQ(started, -1) << "more than one check started in one tick";
                started = int(i);
            }
        }
        EXPECT_EQ(starts - startsBefore, started >= 0 ? 1 : 0);
        return started;
    }

    // Ends the account's check now, as its worker does.
    void FinishCheck(int index)
    {
        scheduler.Accounts()[size_t(index)]->lastCheckTick = clock;
        scheduler.Accounts()[size_t(index)]->worker = false;
    }

    uint32_t clock = 0;
    bool threadsAvailable = true;
    int starts = 0;
    std::vector<uint32_t> sleeps;
    std::function<void()> onSleep;
    Scheduler scheduler{FakeHooks()};
};

TEST_F(SchedulerTest, AccountsStartOneAtATimeInListOrderAndAreDueStrictlyAfterTheirInterval)
{
    EXPECT_EQ(TickAt(kHour), -1);  // no accounts: nothing starts
    AddAccount(5);
    AddAccount(5);
    uint32_t now = kHour;
    EXPECT_EQ(TickAt(now), 0);
    EXPECT_EQ(TickAt(now += 1000), -1);  // the second is due too, but waits for the first
    FinishCheck(0);
    const uint32_t firstEnded = now;
    EXPECT_EQ(TickAt(now += 1000), 1);
    FinishCheck(1);
    EXPECT_EQ(TickAt(firstEnded + 5 * kMinute), -1);
    EXPECT_EQ(TickAt(firstEnded + 5 * kMinute + 1), 0);
}

TEST_F(SchedulerTest, AccountsWithoutIntervalTakeTurnsLongestWaitingFirst)
{
    for (int i = 0; i < 3; ++i)
        AddAccount(0);
    std::vector<int> order;
    for (uint32_t now = 10; now < 17; ++now) {
        const int started = TickAt(now);
        ASSERT_GE(started, 0);
        order.push_back(started);
        FinishCheck(started);
    }
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 0, 1, 2, 0}));
    scheduler.Accounts().resize(1);
    EXPECT_EQ(TickAt(16), -1);  // not due in the millisecond its check ended
    EXPECT_EQ(TickAt(17), 0);
}

TEST_F(SchedulerTest, IntervalsAreUnsignedThirtyTwoBitAndSurviveTheTickWrap)
{
    EXPECT_EQ(CheckInterval(AddAccount(71583)), 12704u);  // 4294980000 wrapped past 2^32
    scheduler.Accounts().clear();

    AddAccount(-1);  // an interval of about seven weeks
    EXPECT_EQ(TickAt(30u * 24 * kHour), -1);
    EXPECT_EQ(TickAt(0u - kMinute + 1), 0);
    scheduler.Accounts().clear();

    AddAccount(1, kMax - 1000);  // ended 1001 ms before the wrap
    AddAccount(1, kMax - 6000);  // 5 s earlier still
    EXPECT_EQ(TickAt(kMax), -1);
    EXPECT_EQ(TickAt(kMinute - 6001), -1);  // the second at exactly its interval
    EXPECT_EQ(TickAt(kMinute - 1000), 1);   // both due: the one that has waited longer
    FinishCheck(1);
    EXPECT_EQ(TickAt(kMinute), 0);
}

TEST_F(SchedulerTest, AThreadThatCannotStartLeavesTheAccountDueAndNoCheckStartsTwice)
{
    MailAccount& account = AddAccount(0);
    threadsAvailable = false;
    EXPECT_EQ(TickAt(100), -1);
    EXPECT_FALSE(account.worker);
    threadsAvailable = true;
    EXPECT_EQ(TickAt(1100), 0);
    scheduler.StartCheck(account);
    EXPECT_EQ(starts, 1);
}

TEST_F(SchedulerTest, ExitWaitsForEveryRunningCheckAndReapsInOrder)
{
    for (int i = 0; i < 4; ++i)
        AddAccount(0);
    MailAccount* first = scheduler.Accounts()[0].get();
    MailAccount* third = scheduler.Accounts()[2].get();
    ASSERT_EQ(TickAt(100), 0);
    scheduler.StartCheck(*third);  // the scheduler would not, but exit must wait for all

    onSleep = [&] {
        const AccountList& retired = scheduler.RetiredAccounts();
        EXPECT_TRUE(scheduler.Accounts().empty());
        if (sleeps.size() == 1) {  // the idle ones went at once; the running ones wait, asked to stop
            ASSERT_EQ(retired.size(), 2u);
            EXPECT_EQ(retired[0].get(), first);
            EXPECT_EQ(retired[1].get(), third);
            EXPECT_TRUE(first->stopRequested && third->stopRequested);
            third->worker = false;
        } else if (sleeps.size() == 2) {
            ASSERT_EQ(retired.size(), 1u);
            EXPECT_EQ(retired[0].get(), first);
            first->worker = false;
        }
    };
    scheduler.StopAllChecks();
    EXPECT_TRUE(scheduler.RetiredAccounts().empty());
    EXPECT_EQ(sleeps, (std::vector<uint32_t>{100, 100}));

    AddAccount(5);  // with nothing running, exit does not wait
    scheduler.StopAllChecks();
    EXPECT_TRUE(scheduler.Accounts().empty());
    EXPECT_EQ(sleeps.size(), 2u);
}

}  // namespace
