// Accounts whose server tells of changes, on real threads against sessions the test drives.
#include "mail/change_watch.h"

#include <gtest/gtest.h>

#include <condition_variable>

#include "mail/uid_reconcile.h"
#include "mail_test_helpers.h"

namespace {

using Result = CheckOutcome::Result;

// One account's server and what its sessions did.
struct FakeMailbox {
    std::mutex lock;
    std::condition_variable changed;
    UidSet uids{"a"};
    bool canPush = true;
    bool refusesWaiting = false;  // the next wait is refused, as a server refuses IDLE
    int refusals = 0;     // the next checks that fail, as if the server were unreachable
    int changes = 0;      // bumped by every change the server tells of
    int drops = 0;        // bumped whenever the server drops every open connection
    std::atomic<int> opens{0}, closes{0};
    std::atomic<uint32_t> refreshMs{0};

    template <typename Edit>
    void Update(Edit edit)
    {
        std::lock_guard<std::mutex> guard(lock);
        edit();
        changed.notify_all();
    }
    void Change(UidSet now) { Update([&] { uids = std::move(now); ++changes; }); }
};

class FakeSession : public MailSession {
public:
    FakeSession(FakeMailbox& box, MailAccount& account) : box(box), account(account) {}
    void UseTls(TlsFactory) override {}
    CheckOutcome RunCheck() override
    {
        std::lock_guard<std::mutex> guard(box.lock);
        ++box.opens;
        if (box.refusals > 0) {
            --box.refusals;
            return {Result::Failed, {}, "server unreachable", false};
        }
        changesSeen = box.changes;
        dropsSeen = box.drops;
        return {Result::Listed, box.uids, "", false};
    }
    bool CanWaitForChanges() const override
    {
        std::lock_guard<std::mutex> guard(box.lock);
        return box.canPush && !account.memory.waitRefused;
    }
    CheckOutcome WaitForChange(uint32_t refreshMs) override
    {
        std::unique_lock<std::mutex> guard(box.lock);
        box.refreshMs = refreshMs;
        for (;;) {
            if (account.stopRequested.load() != 0)
                return {Result::Failed, {}, "stopped", false};
            if (box.refusesWaiting) {
                account.memory.waitRefused = true;
                return {Result::Failed, {}, "IDLE refused", false};
            }
            if (box.drops != dropsSeen)
                return {Result::Failed, {}, "connection closed", false};
            if (box.changes != changesSeen) {
                changesSeen = box.changes;
                return {Result::Listed, box.uids, "", false};
            }
            box.changed.wait_for(guard, std::chrono::milliseconds(5));
        }
    }
    void Close() override { ++box.closes; }

private:
    FakeMailbox& box;
    MailAccount& account;
    int changesSeen = 0, dropsSeen = 0;
};

// Each account's server is the mailbox at its Port; pauses are recorded and end at once.
class ChangeWatchTest : public ::testing::Test {
protected:
    ChangeWatchTest()
    {
        SchedulerHooks hooks;
        hooks.check.tickCount = [this] { return clock.load(); };
        hooks.check.openSession = [this](MailAccount& account) {
            return std::unique_ptr<MailSession>(new FakeSession(Box(account), account));
        };
        hooks.check.pause = [this](uint32_t ms, const std::atomic<int32_t>& stop) {
            std::lock_guard<std::mutex> guard(lock);
            waits.push_back(ms);
            pausesNotFailing += LastFailure(*watched).empty();
            return stop.load() == 0;
        };
        // The last notice of a check comes after its account may be gone, and the test with it.
        hooks.check.target.post = [started = started](WindowHandle, int command, int32_t) {
            *started += command == ID_CHECK_STARTED;
        };
        scheduler = std::make_unique<Scheduler>(hooks);
    }

    MailAccount& NewAccount(int32_t duration = 0)
    {
        return AddAccount(*scheduler, int32_t(scheduler->Accounts().size()), duration);
    }
    FakeMailbox& Box(const MailAccount& account) { return boxes[size_t(account.Port)]; }
    bool StartIdling(MailAccount& account)
    {
        watched = &account;
        clock += 1000;
        scheduler->RunScheduler();
        return WaitUntil([&] { return account.idling.load(); });
    }
    std::vector<uint32_t> Waits()
    {
        std::lock_guard<std::mutex> guard(lock);
        return waits;
    }

    std::atomic<uint32_t> clock{1000};
    FakeMailbox boxes[2];
    std::mutex lock;
    std::vector<uint32_t> waits;
    std::atomic<int> pausesNotFailing{0};  // pauses while the watched account showed no failure
    std::shared_ptr<std::atomic<int>> started = std::make_shared<std::atomic<int>>(0);
    MailAccount* watched = nullptr;
    std::unique_ptr<Scheduler> scheduler;  // last: its end stops the checks before the rest goes
};

TEST_F(ChangeWatchTest, ChangesArriveOnTheOpenConnectionWhileOnlyPolledAccountsTakeTurns)
{
    MailAccount& pushed = NewAccount();
    pushed.idleRefreshMs = 45000;
    MailAccount& polled = NewAccount();
    Box(polled).canPush = false;
    ASSERT_TRUE(StartIdling(pushed));
    EXPECT_EQ(NewUidCount(pushed), 1u);

    Box(pushed).Change({"a", "b"});
    ASSERT_TRUE(WaitUntil([&] { return NewUidCount(pushed) == 2; }));
    Box(pushed).Change({"b"});  // "a" was read in another client
    ASSERT_TRUE(WaitUntil([&] { return NewUidCount(pushed) == 1; }) && pushed.newUids == UidSet{"b"});

    for (int tick = 0; tick < 3; ++tick) {  // the idling account neither blocks the polled one nor is polled
        clock += 1000;
        scheduler->RunScheduler();
        ASSERT_TRUE(WaitUntil([&] { return !polled.worker.load(); }));
    }
    EXPECT_TRUE(Box(polled).opens == 3 && Box(pushed).opens == 1 && Box(pushed).refreshMs == 45000u)
        << Box(polled).opens << " polled, " << Box(pushed).opens << " pushed, refresh " << Box(pushed).refreshMs;
    EXPECT_EQ(started->load(), 1 + 2 + 3) << "each change is announced like a check";
}

TEST_F(ChangeWatchTest, ALostConnectionIsRetriedAfterGrowingWaitsWhileTheAccountShowsFailing)
{
    MailAccount& account = NewAccount(1);
    FakeMailbox& box = Box(account);
    ASSERT_TRUE(StartIdling(account));
    box.Update([&] { box.refusals = 5, ++box.drops; });
    ASSERT_TRUE(WaitUntil([&] { return box.opens == 7 && LastFailure(account).empty(); })) << box.opens;
    EXPECT_EQ(Waits(), (std::vector<uint32_t>{5000, 10000, 20000, 40000, 60000, 60000}));
    EXPECT_TRUE(pausesNotFailing == 0 && account.idling) << "a pause without the failure shown, or not idling";

    clock = 99000;  // a server that no longer offers to tell of changes is polled from then on
    box.Update([&] { box.canPush = false, ++box.drops; });
    EXPECT_TRUE(WaitUntil([&] { return !account.worker.load(); }) && !account.idling &&
                account.lastCheckTick == 99000u && box.opens == 8) << box.opens;
}

// A refusal to wait is no lost connection: the account is polled from then on.
TEST_F(ChangeWatchTest, AServerThatRefusesToWaitIsPolledQuietly)
{
    MailAccount& account = NewAccount(1);
    FakeMailbox& box = Box(account);
    ASSERT_TRUE(StartIdling(account));
    box.Update([&] { box.refusesWaiting = true, ++box.drops; });
    ASSERT_TRUE(WaitUntil([&] { return !account.worker.load(); }) && Waits().empty() && LastFailure(account).empty() &&
                box.closes == 1) << "a refusal taken for a loss";

    clock += 60001;  // one interval after the check
    scheduler->RunScheduler();
    EXPECT_TRUE(WaitUntil([&] { return box.opens == 2 && !account.worker.load(); }) && !account.idling &&
                box.closes == 2) << box.opens << " opens, " << box.closes << " closes";
}

TEST_F(ChangeWatchTest, AResumeReplacesTheConnectionAtOnceAndRetriesEveryTwoSeconds)
{
    MailAccount& account = NewAccount(60);
    FakeMailbox& box = Box(account);
    ASSERT_TRUE(StartIdling(account));
    box.Update([&] { box.refusals = 2; });  // the network is not back yet
    scheduler->ResumeChecks();
    ASSERT_TRUE(WaitUntil([&] { return box.opens == 4 && LastFailure(account).empty(); })) << box.opens;
    EXPECT_EQ(Waits(), (std::vector<uint32_t>{0, 2000, 2000}));
    EXPECT_TRUE(account.stopRequested == 0 && account.idling);
}

TEST(WatchTimings, ReconnectsGrowAgainTwoMinutesAfterAResumeAndTheIdleRefreshIsHeldToTheSafeRange)
{
    ReconnectDelays delays(3600000);
    delays.Resumed(1000);
    EXPECT_TRUE(delays.Next(1000) == 0 && delays.Next(120999) == 2000 && delays.Next(121000) == 5000 &&
                delays.Next(122000) == 10000) << "the waits after a resume";
    ReconnectDelays shortInterval(0);  // an account checked every second still waits 5 s
    EXPECT_TRUE(shortInterval.Next(0) == 5000u && shortInterval.Next(0) == 5000u);

    for (const auto& [text, ms] : {std::pair<const char*, uint32_t>{"", 600000}, {"-5", 600000}, {"10", 30000},
                                   {"300", 300000}, {"3600", 1740000}})
        EXPECT_EQ(IdleRefreshMs(text), ms) << text;
}

}  // namespace
