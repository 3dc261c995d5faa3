// The scheduling rules, with the test's clock and thread starts that only record.
#include "mail/scheduler.h"

#include <gtest/gtest.h>

#include <vector>

#include "debug_capture.h"

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

    // A never-checked account unless lastCheckTick is given.
    void AddAccount(int32_t duration, const uint32_t* lastCheckTick = nullptr, const char* address = "h",
                    const char* login = "u")
    {
        scheduler.Accounts().push_back(std::make_unique<MailAccount>());
        MailAccount& account = *scheduler.Accounts().back();
        account.Duration = duration;
        account.Address = address;
        account.Account = login;
        account.checkedOnce = lastCheckTick != nullptr;
        account.lastCheckTick = lastCheckTick ? *lastCheckTick : 0;
    }

    // One tick at the given time; the index of the account it started, or -1.
    int TickAt(uint32_t now)
    {
        clock = now;
        const int before = starts;
        scheduler.RunScheduler();
        for (size_t i = 0; i < scheduler.Accounts().size() && starts > before; ++i)
            if (scheduler.Accounts()[i]->worker)
                return int(i);
        return -1;
    }

    // Ends the account's check now, as its worker does.
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
    EXPECT_EQ(TickAt(1000), -1);  // no accounts: nothing starts
    for (const int32_t duration : {10080, 0, 0})  // a week, two minutes after boot: still checked at once
        AddAccount(duration);
    threadsAvailable = false;  // a thread that cannot start leaves the account idle and due
    EXPECT_EQ(TickAt(kMinute), -1);
    threadsAvailable = true;
    std::vector<int> order;
    for (uint32_t now = 2 * kMinute; order.size() < 7; now += 1000) {
        const int started = TickAt(now);
        ASSERT_GE(started, 0);
        EXPECT_EQ(TickAt(now + 500), -1);  // the others wait for the running check
        scheduler.StartCheck(*scheduler.Accounts()[size_t(started)]);  // and it never starts twice
        order.push_back(started);
        FinishCheck(started);
    }
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 1, 2, 1, 2}));
    EXPECT_EQ(starts, 7);
}

TEST_F(SchedulerTest, AnAccountIsDueStrictlyAfterItsIntervalHeldToWhatThirtyTwoBitsServe)
{
    const struct {
        int32_t duration;
        uint32_t lastCheck, now;
        bool due;
    } cases[] = {
        {5, 1000, 1000 + 5 * kMinute, false}, {5, 1000, 1001 + 5 * kMinute, true},  // strictly after
        {0, 500, 500, false},  // not in the millisecond its check ended
        {1, kMax - 1000, kMinute - 1001, false}, {1, kMax - 1000, kMinute - 1000, true},  // across the wrap
        {71583, 0, 13000, false},  // its product would wrap to 12.7 s
        {71583, 0, kHeld, false}, {71583, 0, kHeld + 1, true}, {INT32_MAX, 5, kHeld + 6, true},
        {-1, 0, 30u * 24 * 60 * kMinute, false}, {INT32_MIN, 0, kHeld + 1, true},  // negative: held too
    };
    for (const auto& c : cases) {
        scheduler.Accounts().clear();
        AddAccount(c.duration, &c.lastCheck);
        EXPECT_EQ(TickAt(c.now), c.due ? 0 : -1) << c.duration << " at " << c.now;
    }
}

TEST_F(SchedulerTest, AnAccountWithoutServerOrLoginOrKnownProtocolIsPassedOverAndSaidSoOnce)
{
    DebugCapture trace;
    for (const auto& [address, login] : {std::pair{"", "u"}, {"h", ""}, {"", ""}, {"h", "u"}})
        AddAccount(0, nullptr, address, login);
    AddAccount(0, nullptr, "h", "u");
    scheduler.Accounts()[4]->Protocol = kProtocolUnknown;
    EXPECT_EQ(TickAt(1000), 3);
    scheduler.Accounts()[3]->Duration = 5;
    FinishCheck(3);
    for (uint32_t now = 2000; now < 6000; now += 1000)
        EXPECT_EQ(TickAt(now), -1);
    EXPECT_EQ(trace.Text(), "POP0 is never checked: it has no server address\n"
                            "POP1 is never checked: it has no login name\n"
                            "POP2 is never checked: it has no server address\n"
                            "POP4 is never checked: its protocol is unknown\n");
}

}  // namespace
