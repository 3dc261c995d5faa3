// Checks on real threads against a scripted loopback server: what the owner window is told and
// when, and that a stop or the exit neither hangs nor leaves an account behind. Under
// ThreadSanitizer this also shows that the scheduler, the worker and the user's
// acknowledgements share the accounts without a race.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <thread>

#include "debug_capture.h"
#include "mail/scheduler.h"
#include "mail/uid_reconcile.h"
#include "session_helpers.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Notice {
    WindowHandle owner;
    int command;
    int32_t color;
    bool workerSet;  // the watched account's mark when the notice was posted
};

// Stands in for the owner window: records what the workers post and show.
struct Recorder {
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<Notice> notices;
    std::vector<std::string> messages;
    std::atomic<MailAccount*> watched{nullptr};
    WindowHandle closedWindow = reinterpret_cast<WindowHandle>(0xdead);

    std::vector<Notice> Notices()
    {
        std::lock_guard<std::mutex> guard(lock);
        return notices;
    }
    bool WaitForNotices(size_t count)
    {
        std::unique_lock<std::mutex> guard(lock);
        return arrived.wait_for(guard, std::chrono::seconds(10), [&] { return notices.size() >= count; });
    }
};

template <typename Predicate>
bool WaitUntil(Predicate done)
{
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (!done() && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return done();
}

class CheckThreadsTest : public ::testing::Test {
protected:
    // A clock standing at now, or the real one.
    std::unique_ptr<Scheduler> MakeScheduler(uint32_t now = 0, bool socketsWork = true)
    {
        SchedulerHooks hooks;
        auto recorder = this->recorder;
        if (now)
            hooks.check.tickCount = [now] { return now; };
        hooks.check.initSockets = [socketsWork] { return socketsWork; };
        hooks.check.target.ownerExists = [recorder](WindowHandle owner) { return owner != recorder->closedWindow; };
        hooks.check.target.post = [recorder](WindowHandle owner, int command, int32_t color) {
            MailAccount* account = recorder->watched.load();
            const bool workerSet = account && account->worker.load();
            std::lock_guard<std::mutex> guard(recorder->lock);
            recorder->notices.push_back(Notice{owner, command, color, workerSet});
            recorder->arrived.notify_all();
        };
        hooks.check.target.showMessage = [recorder](const char* text) {
            std::lock_guard<std::mutex> guard(recorder->lock);
            recorder->messages.push_back(text);
        };
        return std::make_unique<Scheduler>(hooks);
    }
    void TearDown() override
    {
        recorder->watched = nullptr;
        const bool idle = WaitUntil([&] {
            for (const auto& account : scheduler->Accounts())
                if (account->worker.load())
                    return false;
            return true;
        });
        if (!idle) {  // the exit would wait for good: report it and leave the scheduler be
            ADD_FAILURE() << "a check never ended";
            scheduler.release();
            return;
        }
        scheduler.reset();
        // Every started check has announced its end before the server goes away.
        EXPECT_TRUE(WaitUntil([&] {
            int open = 0;
            for (const Notice& notice : recorder->Notices())
                open += notice.command == ID_CHECK_STARTED ? 1 : -1;
            return open == 0;
        }));
    }

    MailAccount& AddAccount(WindowHandle owner, int32_t color, int32_t duration = 0)
    {
        scheduler->Accounts().push_back(std::make_unique<MailAccount>(owner));
        MailAccount& account = *scheduler->Accounts().back();
        account.Address = "127.0.0.1";
        account.Port = server.Port();
        account.Color = color;
        account.Duration = duration;
        return account;
    }

    FakePop3Server server{{"uid-1", "uid-2"}};
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    std::unique_ptr<Scheduler> scheduler = MakeScheduler();
};

TEST_F(CheckThreadsTest, EveryCheckIsAnnouncedBeforeAndAfterWithTheAccountColourAndStamped)
{
    for (const bool loginRefused : {false, true}) {
        SCOPED_TRACE(loginRefused ? "refused" : "accepted");
        server.Script("PASS ", FakePop3Server::Say(loginRefused ? "-ERR no\r\n" : "+OK\r\n"));
        recorder = std::make_shared<Recorder>();
        scheduler = MakeScheduler(777);
        MailAccount& account = AddAccount(reinterpret_cast<WindowHandle>(0x100), -1);
        recorder->watched = &account;

        scheduler->RunScheduler();
        ASSERT_TRUE(recorder->WaitForNotices(2));
        const std::vector<Notice> notices = recorder->Notices();
        ASSERT_EQ(notices.size(), 2u);
        EXPECT_EQ(notices[0].command, ID_CHECK_STARTED);
        EXPECT_EQ(notices[1].command, ID_CHECK_FINISHED);
        for (const Notice& notice : notices)
            EXPECT_TRUE(notice.owner == account.ownerWnd && notice.color == -1);
        EXPECT_TRUE(notices[0].workerSet);
        EXPECT_FALSE(notices[1].workerSet) << "finished was posted while the check still counted as running";
        // A failed check is stamped too: the next attempt comes an interval later.
        EXPECT_EQ(account.lastCheckTick, 777u);
        EXPECT_EQ(NewUidCount(account), loginRefused ? 0u : 2u);
        recorder->watched = nullptr;
    }
}

TEST_F(CheckThreadsTest, ClosedWindowOrFailingSocketsSkipTheCheckAndLeaveTheAccountDue)
{
    MailAccount& closed = AddAccount(recorder->closedWindow, 1);
    scheduler->StartCheck(closed);
    ASSERT_TRUE(WaitUntil([&] { return !closed.worker.load(); }));

    DebugCapture capture;
    scheduler = MakeScheduler(0, false);
    MailAccount& account = AddAccount(reinterpret_cast<WindowHandle>(0x300), 2);
    for (int attempt = 0; attempt < 3; ++attempt) {
        scheduler->RunScheduler();  // still due each time
        ASSERT_TRUE(WaitUntil([&] { return !account.worker.load(); }));
    }
    EXPECT_EQ(capture.Text(), "Win Sock Init Fale" "Win Sock Init Fale" "Win Sock Init Fale");
    EXPECT_EQ(recorder->messages, std::vector<std::string>{"Win Sock Init Fale"});  // once per process
    EXPECT_TRUE(recorder->Notices().empty());
    EXPECT_EQ(account.lastCheckTick, 0u);
    EXPECT_EQ(server.Connections(), 0);
}

TEST_F(CheckThreadsTest, StopEndsACheckAtOnceAndExitWaitsForIt)
{
    // Silent in the middle of a batch of UIDL commands, or of the whole listing: the stop ends
    // the wait, the goodbye still goes out, and the sets stay. The batches stay within their
    // bound: not every command went out ahead of the replies.
    std::vector<std::string> uids;
    for (int n = 1; n <= 10000; ++n)
        uids.push_back("u" + std::to_string(n));
    for (const bool atOnce : {false, true}) {
        FakePop3Server big(uids);
        big.Script("UIDL 3000", FakePop3Server::Silence());
        if (atOnce) {
            big.Script("CAPA", FakePop3Server::Say("-ERR\r\n"));
            big.Script("UIDL", FakePop3Server::Reply{"+OK\r\n1 a\r\n", false, true});
        }
        MailAccount stopped;
        stopped.newUids = {"old"};
        auto check = std::async(std::launch::async, [&] { return CheckAgainst(stopped, big, 20000).reason; });
        ASSERT_TRUE(WaitUntil([&] { return big.ReceivedBytes().find(atOnce ? "UIDL\r\n" : "UIDL 3000\r\n") != std::string::npos; }));
        const auto stopAt = Clock::now();
        stopped.stopRequested = 1;
        EXPECT_EQ(check.get(), "stopped");
        EXPECT_LT(Clock::now() - stopAt, std::chrono::seconds(2)) << "the stop did not end the wait";
        EXPECT_EQ(stopped.newUids, UidSet{"old"});
        EXPECT_TRUE(WaitUntil([&] { return !big.Commands().empty() && big.Commands().back() == "QUIT"; }));
        EXPECT_EQ(big.ReceivedBytes().find("UIDL 9999\r\n"), std::string::npos);
    }

    // Silent from the start: the exit stops the running check and destroys every account.
    server.Script("", FakePop3Server::Silence());
    AddAccount(reinterpret_cast<WindowHandle>(0x400), 4);
    AddAccount(reinterpret_cast<WindowHandle>(0x401), 5, 60);
    scheduler->RunScheduler();
    ASSERT_TRUE(WaitUntil([&] { return server.Connections() == 1; }));
    scheduler->StopAllChecks();
    EXPECT_TRUE(scheduler->Accounts().empty() && scheduler->RetiredAccounts().empty());
    ASSERT_TRUE(recorder->WaitForNotices(2));
    EXPECT_EQ(recorder->Notices()[1].command, ID_CHECK_FINISHED);
}

TEST_F(CheckThreadsTest, SchedulerWorkerAndAcknowledgementsShareAccountsSafely)
{
    AddAccount(reinterpret_cast<WindowHandle>(0x500), 0);
    AddAccount(reinterpret_cast<WindowHandle>(0x501), 1);
    const auto end = Clock::now() + std::chrono::seconds(20);
    // The user-interface thread's part, as the character window's timers play it.
    for (int round = 0; round < 20000 && recorder->Notices().size() < 12 && Clock::now() < end; ++round) {
        scheduler->RunScheduler();
        for (auto& account : scheduler->Accounts()) {
            MarkSeen(*account);
            NewUidCount(*account);
        }
        scheduler->ReapRetiredAccounts();
        server.SetUids(round % 2 ? std::vector<std::string>{"u1", "u2", "u3"} : std::vector<std::string>{"u1"});
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    scheduler->StopAllChecks();
    ASSERT_TRUE(recorder->WaitForNotices(12));
    // One check at a time: every start is followed by its own finish before the next start.
    const std::vector<Notice> notices = recorder->Notices();
    for (size_t i = 0; i + 1 < notices.size(); i += 2) {
        EXPECT_EQ(notices[i].command, ID_CHECK_STARTED) << i;
        EXPECT_EQ(notices[i + 1].command, ID_CHECK_FINISHED) << i;
        EXPECT_EQ(notices[i].owner, notices[i + 1].owner) << i;
    }
}

}  // namespace
