// Checks on real threads against a scripted loopback server: what the owner window is told,
// when, and that exit neither hangs nor leaves an account behind. Under ThreadSanitizer this
// also shows that the scheduler, the worker and the user's acknowledgements share the
// accounts without a race.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/app_state.h"
#include "debug_capture.h"
#include "fake_pop3_server.h"
#include "mail/scheduler.h"
#include "mail/uid_reconcile.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Notice {
    WindowHandle owner;
    int command;
    int32_t color;
    bool workerSet;  // the account's mark when the notice was posted (watched account only)
};

// Stands in for the owner window: records what the workers post and show.
class Recorder {
public:
    CheckTarget Target(const std::shared_ptr<Recorder>& self)
    {
        CheckTarget target;
        target.ownerExists = [self](WindowHandle owner) { return owner != self->closedWindow; };
        target.post = [self](WindowHandle owner, int command, int32_t color) {
            self->Post(owner, command, color);
        };
        target.showMessage = [self](const char* text) {
            std::lock_guard<std::mutex> guard(self->lock);
            self->messages.push_back(text);
        };
        return target;
    }

    // Whose mark Post may read: an account the test keeps alive until its checks end.
    void Watch(MailAccount* account) { watched = account; }

    bool WaitForNotices(size_t count, int timeoutMs)
    {
        std::unique_lock<std::mutex> guard(lock);
        return arrived.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                [&] { return notices.size() >= count; });
    }
    std::vector<Notice> Notices()
    {
        std::lock_guard<std::mutex> guard(lock);
        return notices;
    }
    std::vector<std::string> Messages()
    {
        std::lock_guard<std::mutex> guard(lock);
        return messages;
    }

    WindowHandle closedWindow = reinterpret_cast<WindowHandle>(0xdead);

private:
    void Post(WindowHandle owner, int command, int32_t color)
    {
        MailAccount* account = watched.load();
        const bool workerSet = account && owner == account->ownerWnd && account->worker.load();
        std::lock_guard<std::mutex> guard(lock);
        notices.push_back(Notice{owner, command, color, workerSet});
        arrived.notify_all();
    }

    std::atomic<MailAccount*> watched{nullptr};
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<Notice> notices;
    std::vector<std::string> messages;
};

// Polls until done() holds or timeoutMs has passed.
template <typename Predicate>
bool WaitUntil(Predicate done, int timeoutMs)
{
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

WindowHandle Window(uintptr_t id)
{
    return reinterpret_cast<WindowHandle>(id);
}

class CheckThreadsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Listening());
        hooks.check.target = recorder->Target(recorder);
        SetSchedulerHooks(hooks);
    }

    void TearDown() override
    {
        recorder->Watch(nullptr);
        StopAllChecks();
        // Every started check has finished before the server and the hooks go away.
        EXPECT_TRUE(WaitUntil([&] { return EveryStartFinished(); }, 10000));
        SetSchedulerHooks(SchedulerHooks());
    }

    bool EveryStartFinished()
    {
        int open = 0;
        for (const Notice& notice : recorder->Notices())
            open += notice.command == ID_CHECK_STARTED ? 1 : -1;
        return open == 0;
    }

    void UseHooks() { SetSchedulerHooks(hooks); }

    MailAccount& AddAccount(WindowHandle owner, int32_t color, int32_t duration = 0)
    {
        accounts.push_back(std::make_unique<MailAccount>(owner));
        MailAccount& account = *accounts.back();
        account.Account = "kim";
        account.Password = "secret";
        account.Address = "127.0.0.1";
        account.Port = server.Port();
        account.Color = color;
        account.Duration = duration;
        return account;
    }

    static bool Idle(const MailAccount& account) { return !account.worker.load(); }

    FakePop3Server server{{"uid-1", "uid-2"}};
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    SchedulerHooks hooks;
};

TEST_F(CheckThreadsTest, CheckIsAnnouncedBeforeAndAfterWithTheAccountColour)
{
    const uint32_t now = 3600000;
    hooks.check.tickCount = [now] { return now; };
    UseHooks();
    MailAccount& account = AddAccount(Window(0x100), -1, 5);
    recorder->Watch(&account);

    RunScheduler();
    ASSERT_TRUE(recorder->WaitForNotices(2, 10000));
    const std::vector<Notice> notices = recorder->Notices();
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[0].command, ID_CHECK_STARTED);
    EXPECT_EQ(notices[1].command, ID_CHECK_FINISHED);
    for (const Notice& notice : notices) {
        EXPECT_EQ(notice.owner, Window(0x100));
        EXPECT_EQ(notice.color, -1);
    }
    EXPECT_TRUE(notices[0].workerSet);
    EXPECT_FALSE(notices[1].workerSet) << "finished was posted while the check still counted as running";

    // The mark is clear once finished arrives, and it published the check's results.
    EXPECT_TRUE(Idle(account));
    EXPECT_EQ(account.lastCheckTick, now);
    EXPECT_EQ(NewUidCount(account), 2u);
}

TEST_F(CheckThreadsTest, FailedCheckIsStillAnnouncedAndStamped)
{
    server.Script("PASS", FakePop3Server::Say("-ERR wrong password\r\n"));
    hooks.check.tickCount = [] { return 777u; };
    UseHooks();
    MailAccount& account = AddAccount(Window(0x200), 3);
    recorder->Watch(&account);

    RunScheduler();
    ASSERT_TRUE(recorder->WaitForNotices(2, 10000));
    const std::vector<Notice> notices = recorder->Notices();
    EXPECT_EQ(notices[0].command, ID_CHECK_STARTED);
    EXPECT_EQ(notices[1].command, ID_CHECK_FINISHED);
    EXPECT_EQ(notices[1].color, 3);
    EXPECT_TRUE(Idle(account));
    // The next attempt comes an interval after this one, not at the next tick.
    EXPECT_EQ(account.lastCheckTick, 777u);
    EXPECT_EQ(NewUidCount(account), 0u);
}

TEST_F(CheckThreadsTest, CheckForAClosedWindowIsSkippedSilently)
{
    MailAccount& account = AddAccount(recorder->closedWindow, 1);
    account.lastCheckTick = 5;

    StartCheck(account);
    ASSERT_TRUE(WaitUntil([&] { return Idle(account); }, 10000));
    EXPECT_TRUE(recorder->Notices().empty());
    EXPECT_EQ(account.lastCheckTick, 5u);
    EXPECT_EQ(server.Connections(), 0);
}

// The only test here whose sockets fail: the message is shown once per process.
TEST_F(CheckThreadsTest, SocketFailureIsTracedEachTimeButShownOnce)
{
    DebugCapture capture;
    hooks.check.initSockets = [] { return false; };
    UseHooks();
    MailAccount& account = AddAccount(Window(0x300), 2);

    for (int attempt = 0; attempt < 3; ++attempt) {
        RunScheduler();  // still due: the failed attempts leave the check time alone
        ASSERT_TRUE(WaitUntil([&] { return Idle(account); }, 10000));
    }
    int traced = 0;
    for (const std::string& write : capture.Writes())
        traced += write == "Win Sock Init Fale";
    EXPECT_EQ(traced, 3);
    EXPECT_EQ(recorder->Messages(), std::vector<std::string>{"Win Sock Init Fale"});
    EXPECT_TRUE(recorder->Notices().empty());
    EXPECT_EQ(account.lastCheckTick, 0u);
    EXPECT_EQ(server.Connections(), 0);
}

TEST_F(CheckThreadsTest, ExitDuringACheckOfASilentServerStopsItAndDestroysEveryAccount)
{
    server.Script("", FakePop3Server::Silence());  // accepts, then never greets
    AddAccount(Window(0x400), 4);
    AddAccount(Window(0x401), 5, 60);

    RunScheduler();
    ASSERT_TRUE(recorder->WaitForNotices(1, 10000));
    ASSERT_TRUE(WaitUntil([&] { return server.Connections() == 1; }, 10000));

    const auto start = Clock::now();
    StopAllChecks();
    const auto tookMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    std::cout << "exit during a check took " << tookMs << " ms\n";

    EXPECT_TRUE(accounts.empty());
    EXPECT_TRUE(retiredAccounts.empty());
    // The session notices the stop within a tenth of a second; this bound only catches a hang.
    EXPECT_LT(tookMs, 5000);
    ASSERT_TRUE(recorder->WaitForNotices(2, 10000));
    EXPECT_EQ(recorder->Notices()[1].command, ID_CHECK_FINISHED);
    EXPECT_EQ(recorder->Notices()[1].color, 4);
}

TEST_F(CheckThreadsTest, SchedulerWorkerAndAcknowledgementsShareAccountsSafely)
{
    AddAccount(Window(0x500), 0);
    AddAccount(Window(0x501), 1);
    const std::vector<std::string> shorter{"uid-1", "uid-2"};
    const std::vector<std::string> longer{"uid-1", "uid-2", "uid-3"};

    // The user-interface thread's part, as the character window's timers would play it.
    const auto end = Clock::now() + std::chrono::seconds(20);
    for (int round = 0; round < 20000 && recorder->Notices().size() < 12 && Clock::now() < end; ++round) {
        RunScheduler();
        for (auto& account : accounts) {
            MarkSeen(*account);
            NewUidCount(*account);
        }
        ReapRetiredAccounts();
        server.SetUids(round % 2 ? longer : shorter);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    StopAllChecks();
    // A check stopped by the exit still announces its end, just after its account is gone.
    ASSERT_TRUE(WaitUntil([&] { return EveryStartFinished(); }, 10000));

    ASSERT_GE(recorder->Notices().size(), 12u);
    // One check at a time: every start is followed by its own finish before the next start.
    const std::vector<Notice> notices = recorder->Notices();
    for (size_t i = 0; i + 1 < notices.size(); i += 2) {
        EXPECT_EQ(notices[i].command, ID_CHECK_STARTED) << i;
        EXPECT_EQ(notices[i + 1].command, ID_CHECK_FINISHED) << i;
        EXPECT_EQ(notices[i].owner, notices[i + 1].owner) << i;
    }
}

}  // namespace
