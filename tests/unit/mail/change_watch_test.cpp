// Accounts whose server tells of changes: the worker stays connected, on real threads, against
// sessions that a test script drives; under ThreadSanitizer also race-free sharing.
#include "mail/change_watch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <thread>

#include "mail/scheduler.h"
#include "mail/uid_reconcile.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Predicate>
bool WaitUntil(Predicate done)
{
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (!done() && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return done();
}

// One account's server and what its sessions did.
struct FakeMailbox {
    std::mutex lock;
    std::condition_variable changed;
    UidSet uids{"a"};
    bool canPush = true;
    int refusals = 0;     // the next checks that fail, as if the server were unreachable
    int changes = 0;      // bumped by every change the server tells of
    int drops = 0;        // bumped whenever the server drops every open connection
    int opens = 0, closes = 0;
    uint32_t refreshMs = 0;
    std::chrono::milliseconds closeTakes{0};

    void Change(UidSet now)
    {
        std::lock_guard<std::mutex> guard(lock);
        uids = std::move(now);
        ++changes;
        changed.notify_all();
    }
    void Drop()
    {
        std::lock_guard<std::mutex> guard(lock);
        ++drops;
        changed.notify_all();
    }
    template <typename T>
    T Read(const T& field)
    {
        std::lock_guard<std::mutex> guard(lock);
        return field;
    }
};

class FakeSession : public MailSession {
public:
    FakeSession(FakeMailbox& box, const std::atomic<int32_t>& stop) : box(box), stop(stop) {}
    void UseTls(TlsFactory) override {}
    CheckOutcome RunCheck() override
    {
        std::lock_guard<std::mutex> guard(box.lock);
        ++box.opens;
        if (box.refusals > 0) {
            --box.refusals;
            return Failed("server unreachable");
        }
        changesSeen = box.changes;
        dropsSeen = box.drops;
        return Listed();
    }
    bool CanWaitForChanges() const override
    {
        std::lock_guard<std::mutex> guard(box.lock);
        return box.canPush;
    }
    CheckOutcome WaitForChange(uint32_t refreshMs) override
    {
        std::unique_lock<std::mutex> guard(box.lock);
        box.refreshMs = refreshMs;
        for (;;) {
            if (stop.load() != 0)
                return Failed("stopped");
            if (box.drops != dropsSeen)
                return Failed("connection closed");
            if (box.changes != changesSeen) {
                changesSeen = box.changes;
                return Listed();
            }
            box.changed.wait_for(guard, std::chrono::milliseconds(5));
        }
    }
    void Close() override
    {
        std::this_thread::sleep_for(box.Read(box.closeTakes));
        std::lock_guard<std::mutex> guard(box.lock);
        ++box.closes;
    }

private:
    static CheckOutcome Failed(const char* reason)
    {
        CheckOutcome outcome;
        outcome.reason = reason;
        return outcome;
    }
    CheckOutcome Listed() const
    {
        CheckOutcome outcome;
        outcome.result = CheckOutcome::Result::Listed;
        outcome.uids = box.uids;
        return outcome;
    }
    FakeMailbox& box;
    const std::atomic<int32_t>& stop;
    int changesSeen = 0;
    int dropsSeen = 0;
};

std::string LastFailure(MailAccount& account)
{
    std::lock_guard<std::mutex> guard(account.uidLock);
    return account.lastFailure;
}

// Each account's server is the mailbox at its Port; pauses are recorded and end at once.
class ChangeWatchTest : public ::testing::Test {
protected:
    struct Pause {
        uint32_t ms;
        bool failing;  // whether the watched account showed as failing meanwhile
    };

    ChangeWatchTest()
    {
        SchedulerHooks hooks;
        hooks.check.tickCount = [this] { return clock.load(); };
        hooks.check.openSession = [this](MailAccount& account) {
            return std::unique_ptr<MailSession>(new FakeSession(boxes[size_t(account.Port)], account.stopRequested));
        };
        hooks.check.pause = [this](uint32_t ms, const std::atomic<int32_t>& stop) {
            std::lock_guard<std::mutex> guard(lock);
            pauses.push_back({ms, !LastFailure(*watched).empty()});
            return stop.load() == 0;
        };
        // The last notice of a check comes after its account may be gone, and the test with it.
        auto started = this->started;
        hooks.check.target.post = [started](WindowHandle, int command, int32_t) {
            if (command == ID_CHECK_STARTED)
                ++*started;
        };
        scheduler = std::make_unique<Scheduler>(hooks);
    }
    ~ChangeWatchTest() override { scheduler.reset(); }

    MailAccount& AddAccount(int32_t duration = 0)
    {
        scheduler->Accounts().push_back(std::make_unique<MailAccount>());
        MailAccount& account = *scheduler->Accounts().back();
        account.Account = "user";
        account.Address = "127.0.0.1";
        account.Port = int32_t(scheduler->Accounts().size() - 1);
        account.Duration = duration;
        return account;
    }
    FakeMailbox& Box(const MailAccount& account) { return boxes[size_t(account.Port)]; }
    // Starts the account's check on the next tick and waits until it idles.
    bool StartIdling(MailAccount& account)
    {
        watched = &account;
        clock += 1000;
        scheduler->RunScheduler();
        return WaitUntil([&] { return account.idling.load(); });
    }
    std::vector<Pause> Pauses()
    {
        std::lock_guard<std::mutex> guard(lock);
        return pauses;
    }

    std::atomic<uint32_t> clock{1000};
    FakeMailbox boxes[5];
    std::mutex lock;
    std::vector<Pause> pauses;
    std::shared_ptr<std::atomic<int>> started = std::make_shared<std::atomic<int>>(0);
    MailAccount* watched = nullptr;
    std::unique_ptr<Scheduler> scheduler;
};

TEST_F(ChangeWatchTest, ChangesArriveOnTheOpenConnectionWhileOnlyPolledAccountsTakeTurns)
{
    MailAccount& pushed = AddAccount();
    pushed.idleRefreshMs = 45000;
    MailAccount& polled = AddAccount();
    Box(polled).canPush = false;
    ASSERT_TRUE(StartIdling(pushed));
    EXPECT_EQ(NewUidCount(pushed), 1u);

    Box(pushed).Change({"a", "b"});
    ASSERT_TRUE(WaitUntil([&] { return NewUidCount(pushed) == 2; }));
    Box(pushed).Change({"b"});  // "a" was read in another client
    ASSERT_TRUE(WaitUntil([&] { return NewUidCount(pushed) == 1; }));
    EXPECT_EQ(pushed.newUids, UidSet{"b"});

    // The idling account neither blocks the polled one nor is polled itself.
    for (int tick = 0; tick < 3; ++tick) {
        clock += 1000;
        scheduler->RunScheduler();
        ASSERT_TRUE(WaitUntil([&] { return !polled.worker.load(); }));
    }
    EXPECT_EQ(Box(polled).Read(Box(polled).opens), 3);
    EXPECT_EQ(Box(pushed).Read(Box(pushed).opens), 1);
    EXPECT_EQ(Box(pushed).Read(Box(pushed).refreshMs), 45000u);
    EXPECT_EQ(started->load(), 1 + 2 + 3) << "each change is announced like a check";
}

TEST_F(ChangeWatchTest, ALostConnectionIsRetriedAfterGrowingWaitsWhileTheAccountShowsFailing)
{
    MailAccount& account = AddAccount(1);
    ASSERT_TRUE(StartIdling(account));
    {
        std::lock_guard<std::mutex> guard(Box(account).lock);
        Box(account).refusals = 5;
    }
    Box(account).Drop();
    ASSERT_TRUE(WaitUntil([&] { return Box(account).Read(Box(account).opens) == 7; }));
    ASSERT_TRUE(WaitUntil([&] { return LastFailure(account).empty(); }));
    std::vector<uint32_t> waits;
    for (const Pause& pause : Pauses()) {
        waits.push_back(pause.ms);
        EXPECT_TRUE(pause.failing) << pause.ms;
    }
    EXPECT_EQ(waits, (std::vector<uint32_t>{5000, 10000, 20000, 40000, 60000, 60000}));
    EXPECT_TRUE(account.idling.load());

    // A server that no longer offers to tell of changes is polled from then on.
    {
        std::lock_guard<std::mutex> guard(Box(account).lock);
        Box(account).canPush = false;
    }
    clock = 99000;
    Box(account).Drop();
    ASSERT_TRUE(WaitUntil([&] { return !account.worker.load(); }));
    EXPECT_FALSE(account.idling.load());
    EXPECT_EQ(account.lastCheckTick, 99000u);
    EXPECT_EQ(Box(account).Read(Box(account).opens), 8);
}

TEST_F(ChangeWatchTest, AResumeReplacesTheConnectionAtOnceAndRetriesEveryTwoSeconds)
{
    MailAccount& account = AddAccount(60);
    ASSERT_TRUE(StartIdling(account));
    {
        std::lock_guard<std::mutex> guard(Box(account).lock);
        Box(account).refusals = 2;  // the network is not back yet
    }
    scheduler->ResumeChecks();
    ASSERT_TRUE(WaitUntil([&] { return Box(account).Read(Box(account).opens) == 4; }));
    ASSERT_TRUE(WaitUntil([&] { return LastFailure(account).empty(); }));
    std::vector<uint32_t> waits;
    for (const Pause& pause : Pauses())
        waits.push_back(pause.ms);
    EXPECT_EQ(waits, (std::vector<uint32_t>{0, 2000, 2000}));
    EXPECT_EQ(account.stopRequested.load(), 0);
    EXPECT_TRUE(account.idling.load());
}

TEST_F(ChangeWatchTest, TheExitEndsEveryIdlingConnectionPolitelyAndPromptly)
{
    for (int i = 0; i < 5; ++i) {
        MailAccount& account = AddAccount();
        Box(account).closeTakes = std::chrono::milliseconds(300);
        ASSERT_TRUE(StartIdling(account));
    }
    const auto stopAt = Clock::now();
    scheduler->StopAllChecks();
    EXPECT_LT(Clock::now() - stopAt, std::chrono::seconds(2));
    EXPECT_TRUE(scheduler->RetiredAccounts().empty());
    for (FakeMailbox& box : boxes)
        EXPECT_EQ(box.Read(box.closes), 1);
}

TEST(ReconnectDelaysTest, GrowToTheIntervalAndAfterAResumeStartAtOnceThenEveryTwoSecondsForAWhile)
{
    ReconnectDelays delays(3600000);
    std::vector<uint32_t> waits;
    for (int i = 0; i < 4; ++i)
        waits.push_back(delays.Next(0));
    delays.Resumed(1000);
    for (const uint32_t now : {1000u, 2000u, 120999u, 121000u, 122000u})
        waits.push_back(delays.Next(now));
    EXPECT_EQ(waits, (std::vector<uint32_t>{5000, 10000, 20000, 40000, 0, 2000, 2000, 5000, 10000}));
    ReconnectDelays shortInterval(0);  // an account checked every second still waits 5 s
    EXPECT_EQ(shortInterval.Next(0), 5000u);
    EXPECT_EQ(shortInterval.Next(0), 5000u);
}

TEST(IdleRefreshTest, AbsentOrNonsenseMeansTenMinutesAndTheRestIsHeldToTheSafeRange)
{
    EXPECT_EQ(IdleRefreshMs(""), 600000u);
    EXPECT_EQ(IdleRefreshMs("-5"), 600000u);
    EXPECT_EQ(IdleRefreshMs("10"), 30000u);
    EXPECT_EQ(IdleRefreshMs("300"), 300000u);
    EXPECT_EQ(IdleRefreshMs("3600"), 1740000u);
}

}  // namespace
