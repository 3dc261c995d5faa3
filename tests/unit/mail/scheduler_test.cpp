// The scheduling rules, with a clock the test sets and thread starts that only record: a
// "check" runs until the test ends it the way a worker would.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include "app/app_state.h"
#include "mail/scheduler.h"

namespace {

constexpr uint32_t kMinute = 60000;
constexpr uint32_t kHour = 60 * kMinute;

class SchedulerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SchedulerHooks fake;
        fake.check.tickCount = [this] { return clock; };
        fake.startThread = [this](std::function<void()> body) {
            if (!threadsAvailable)
                return false;
            pendingBodies.push_back(std::move(body));
            return true;
        };
        fake.sleep = [this](uint32_t ms) {
            sleeps.push_back(ms);
            if (onSleep)
                onSleep();
        };
        SetSchedulerHooks(fake);
    }

    void TearDown() override
    {
        for (auto& account : accounts)
            account->worker = false;
        accounts.clear();
        retiredAccounts.clear();
        SetSchedulerHooks(SchedulerHooks());
    }

    MailAccount& AddAccount(int32_t duration, uint32_t lastCheckTick = 0)
    {
        accounts.push_back(std::make_unique<MailAccount>());
        accounts.back()->Duration = duration;
        accounts.back()->lastCheckTick = lastCheckTick;
        return *accounts.back();
    }

    // One scheduler tick at the given time; returns the index of the account it started, or -1.
    int TickAt(uint32_t now)
    {
        clock = now;
        const size_t startsBefore = pendingBodies.size();
        std::vector<bool> runningBefore = Running();
        RunScheduler();
        const std::vector<bool> runningAfter = Running();
        int started = -1;
        for (size_t i = 0; i < accounts.size(); ++i) {
            if (runningAfter[i] && !runningBefore[i]) {
                EXPECT_EQ(started, -1) << "more than one check started in one tick";
                started = static_cast<int>(i);
            }
        }
        EXPECT_EQ(pendingBodies.size() - startsBefore, started >= 0 ? 1u : 0u);
        return started;
    }

    // Ends the account's check at the current time, as its worker does.
    void FinishCheck(int index)
    {
        accounts[index]->lastCheckTick = clock;
        accounts[index]->worker = false;
    }

    std::vector<bool> Running() const
    {
        std::vector<bool> running;
        for (const auto& account : accounts)
            running.push_back(account->worker.load());
        return running;
    }

    uint32_t clock = 0;
    bool threadsAvailable = true;
    std::vector<std::function<void()>> pendingBodies;  // never run: the test plays the worker
    std::vector<uint32_t> sleeps;
    std::function<void()> onSleep;
};

TEST_F(SchedulerTest, WithNoAccountsNothingStartsAndExitDoesNotSleep)
{
    EXPECT_EQ(TickAt(0), -1);
    EXPECT_EQ(TickAt(kHour), -1);
    EXPECT_EQ(TickAt(std::numeric_limits<uint32_t>::max()), -1);
    StopAllChecks();
    EXPECT_TRUE(sleeps.empty());
    EXPECT_TRUE(pendingBodies.empty());
}

TEST_F(SchedulerTest, AccountsStartOnePerTickInListOrderAfterBoot)
{
    AddAccount(5);
    AddAccount(5);
    uint32_t now = kHour;

    EXPECT_EQ(TickAt(now), 0);
    // The second account is due as well, but waits while the first check runs.
    EXPECT_EQ(TickAt(now += 1000), -1);
    EXPECT_EQ(TickAt(now += 1000), -1);
    FinishCheck(0);
    const uint32_t firstEnded = now;
    EXPECT_EQ(TickAt(now += 1000), 1);
    FinishCheck(1);

    // The interval counts from the end of the check, and "due" means strictly past it.
    EXPECT_EQ(TickAt(firstEnded + 5 * kMinute), -1);
    EXPECT_EQ(TickAt(firstEnded + 5 * kMinute + 1), 0);
}

TEST_F(SchedulerTest, AccountsWithoutIntervalTakeTurnsLongestWaitingFirst)
{
    AddAccount(0);
    AddAccount(0);
    AddAccount(0);
    std::vector<int> order;
    uint32_t now = 10;
    for (int tick = 0; tick < 7; ++tick) {
        const int started = TickAt(now);
        ASSERT_GE(started, 0) << "tick " << tick;
        order.push_back(started);
        FinishCheck(started);
        now += 1;
    }
    // Ties (the two never checked) go to the first in the list; afterwards the one whose
    // check ended earliest.
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 0, 1, 2, 0}));
}

TEST_F(SchedulerTest, AnAccountIsNotDueInTheMillisecondItsCheckEnded)
{
    AddAccount(0);
    ASSERT_EQ(TickAt(500), 0);
    FinishCheck(0);
    EXPECT_EQ(TickAt(500), -1);
    EXPECT_EQ(TickAt(501), 0);
}

TEST_F(SchedulerTest, IntervalIsThirtyTwoBitUnsigned)
{
    auto interval = [](int32_t duration) {
        MailAccount account;
        account.Duration = duration;
        return CheckInterval(account);
    };
    EXPECT_EQ(interval(5), 5 * kMinute);
    EXPECT_EQ(interval(-1), 0u - kMinute);  // about seven weeks
    EXPECT_EQ(interval(71583), 12704u);     // 4294980000 wrapped past 2^32
    EXPECT_EQ(interval(std::numeric_limits<int32_t>::min()), 0u);
    EXPECT_EQ(interval(std::numeric_limits<int32_t>::max()), uint32_t(uint64_t(0x7fffffff) * kMinute));
}

TEST_F(SchedulerTest, NegativeDurationIsPracticallyNeverDue)
{
    AddAccount(-1);
    EXPECT_EQ(TickAt(kHour), -1);
    EXPECT_EQ(TickAt(30u * 24 * kHour), -1);
    EXPECT_EQ(TickAt(0u - kMinute), -1);
    EXPECT_EQ(TickAt(0u - kMinute + 1), 0);
}

TEST_F(SchedulerTest, TickCountWrapDoesNotDisturbIntervals)
{
    const uint32_t beforeWrap = std::numeric_limits<uint32_t>::max() - 1000;
    AddAccount(1, beforeWrap);         // ended 1001 ms before the wrap
    AddAccount(1, beforeWrap - 5000);  // ended 5 s earlier still

    EXPECT_EQ(TickAt(std::numeric_limits<uint32_t>::max()), -1);
    EXPECT_EQ(TickAt(kMinute - 6001), -1);  // the second at exactly its interval
    // Both due past the wrap: the one that ended earlier has waited longer.
    EXPECT_EQ(TickAt(kMinute - 1000), 1);
    FinishCheck(1);
    EXPECT_EQ(TickAt(kMinute), 0);
}

TEST_F(SchedulerTest, AThreadThatCannotStartLeavesTheAccountDue)
{
    MailAccount& account = AddAccount(0);
    threadsAvailable = false;
    EXPECT_EQ(TickAt(100), -1);
    EXPECT_FALSE(account.worker);
    EXPECT_EQ(account.lastCheckTick, 0u);
    threadsAvailable = true;
    EXPECT_EQ(TickAt(1100), 0);
}

TEST_F(SchedulerTest, StartCheckDoesNotStartARunningAccountTwice)
{
    MailAccount& account = AddAccount(0);
    StartCheck(account);
    StartCheck(account);
    EXPECT_TRUE(account.worker);
    EXPECT_EQ(pendingBodies.size(), 1u);
}

TEST_F(SchedulerTest, ExitRetiresEveryAccountAndWaitsForRunningChecks)
{
    AddAccount(0);
    AddAccount(0);
    AddAccount(0);
    ASSERT_EQ(TickAt(100), 0);
    // A second check running at once cannot happen through the scheduler, but exit must
    // wait for every one.
    StartCheck(*accounts[2]);
    MailAccount* first = accounts[0].get();
    MailAccount* third = accounts[2].get();

    onSleep = [&] {
        EXPECT_TRUE(accounts.empty());
        if (sleeps.size() == 1) {
            // The idle account went at the first reap; the running ones wait, in order, asked to stop.
            ASSERT_EQ(retiredAccounts.size(), 2u);
            EXPECT_EQ(retiredAccounts[0].get(), first);
            EXPECT_EQ(retiredAccounts[1].get(), third);
            EXPECT_EQ(first->stopRequested.load(), 1);
            EXPECT_EQ(third->stopRequested.load(), 1);
        }
        if (sleeps.size() == 2)
            third->worker = false;
        if (sleeps.size() == 3) {
            ASSERT_EQ(retiredAccounts.size(), 1u);
            first->worker = false;
        }
    };
    StopAllChecks();
    EXPECT_TRUE(accounts.empty());
    EXPECT_TRUE(retiredAccounts.empty());
    EXPECT_EQ(sleeps, (std::vector<uint32_t>{100, 100, 100}));
}

TEST_F(SchedulerTest, ExitWithIdleAccountsReturnsWithoutWaiting)
{
    AddAccount(5);
    AddAccount(5);
    StopAllChecks();
    EXPECT_TRUE(accounts.empty());
    EXPECT_TRUE(retiredAccounts.empty());
    EXPECT_TRUE(sleeps.empty());
}

TEST_F(SchedulerTest, ReapDestroysEndedChecksAndKeepsTheOrderOfTheRest)
{
    ReapRetiredAccounts();  // nothing retired: nothing happens
    std::vector<MailAccount*> stillRunning;
    for (int i = 0; i < 5; ++i) {
        retiredAccounts.push_back(std::make_unique<MailAccount>());
        const bool running = i % 2 == 0;
        retiredAccounts.back()->worker = running;
        if (running)
            stillRunning.push_back(retiredAccounts.back().get());
    }
    ReapRetiredAccounts();
    ASSERT_EQ(retiredAccounts.size(), stillRunning.size());
    for (size_t i = 0; i < stillRunning.size(); ++i)
        EXPECT_EQ(retiredAccounts[i].get(), stillRunning[i]);
    for (auto& account : retiredAccounts)
        account->worker = false;
    ReapRetiredAccounts();
    EXPECT_TRUE(retiredAccounts.empty());
}

}  // namespace
