// Checks on real threads against a scripted server; under ThreadSanitizer also race-free sharing.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <new>

#include "mail/uid_reconcile.h"
#include "profile/account_secrets.h"
#include "mail_test_helpers.h"

namespace {

// The owner window: each notice, with the watched account's running mark when it was posted.
struct Recorder {
    struct Notice { WindowHandle owner; int command; int32_t color; bool workerSet; };
    std::mutex lock;
    std::vector<Notice> notices;
    std::atomic<MailAccount*> watched{nullptr};

    std::vector<Notice> Notices()
    {
        std::lock_guard<std::mutex> guard(lock);
        return notices;
    }
    bool WaitForNotices(size_t count) { return WaitUntil([&] { return Notices().size() >= count; }); }
};

class CheckThreadsTest : public ::testing::Test {
protected:
    CheckThreadsTest() { Restart(); }
    void Restart(uint32_t now = 0)
    {
        SchedulerHooks hooks;
        auto recorder = this->recorder = std::make_shared<Recorder>();
        if (now)
            hooks.check.tickCount = [now] { return now; };
        hooks.check.target.post = [recorder](WindowHandle owner, int command, int32_t color) {
            MailAccount* account = recorder->watched.load();
            const bool workerSet = account && account->worker.load();
            std::lock_guard<std::mutex> guard(recorder->lock);
            recorder->notices.push_back({owner, command, color, workerSet});
        };
        environment = hooks.check;
        scheduler = std::make_unique<Scheduler>(hooks);
    }
    void TearDown() override
    {
        recorder->watched = nullptr;
        const AccountList& accounts = scheduler->Accounts();
        const auto running = [](const std::unique_ptr<MailAccount>& account) { return account->worker.load(); };
        if (!WaitUntil([&] { return std::none_of(accounts.begin(), accounts.end(), running); })) {  // the exit would wait
            scheduler.release();
            FAIL() << "a check never ended";
        }
    }
    MailAccount& NewAccount(uintptr_t owner) { return AddAccount(*scheduler, server.Port(), 0, owner); }

    FakePop3Server server{{"uid-1", "uid-2"}};
    std::shared_ptr<Recorder> recorder;
    CheckEnvironment environment;  // the hooks' own, for a worker run directly
    std::unique_ptr<Scheduler> scheduler;
};

// A password copied from another machine fails its account without a word to the server.
TEST_F(CheckThreadsTest, EveryCheckIsAnnouncedAndStampedAndAnAllocationFailureEndsOnlyItsCheck)
{
    for (const int failure : {0, 1, 2}) {
        server.Script("PASS ", FakePop3Server::Say(failure == 1 ? "-ERR no\r\n" : "+OK\r\n"));
        Restart(777);
        MailAccount& account = NewAccount(0x100);
        account.Color = -1;
        const int connections = server.Connections();
        if (failure == 2)
            account.UnreadableSecrets = kSecretPassword;
        recorder->watched = &account;
        scheduler->RunScheduler();
        ASSERT_TRUE(recorder->WaitForNotices(2));
        const std::vector<Recorder::Notice> n = recorder->Notices();
        ASSERT_EQ(n.size(), 2u);
        EXPECT_TRUE(n[0].command == ID_CHECK_STARTED && n[1].command == ID_CHECK_FINISHED && n[0].owner == account.ownerWnd &&
                    n[1].owner == account.ownerWnd && n[0].color == -1 && n[1].color == -1) << "wrong notice, owner or colour";
        EXPECT_TRUE(n[0].workerSet && !n[1].workerSet) << "finished was posted while the check still counted as running";
        EXPECT_TRUE(account.lastCheckTick == 777u && NewUidCount(account) == (failure == 0 ? 2u : 0u)) << "not stamped or listed";
        EXPECT_TRUE(failure != 2 || (account.lastFailure == kSecretUnreadable && server.Connections() == connections));
        recorder->watched = nullptr;
    }

    Restart(4242);
    MailAccount& account = NewAccount(0x600);
    account.Security = kSecurityTls;
    account.seenUids = {"uid-1"};
    environment.tls = [](TcpClient&) -> std::unique_ptr<TlsLayer> { throw std::bad_alloc(); };
    account.worker = true;
    CheckWorker(account, environment);
    EXPECT_TRUE(account.lastFailure == "out of memory" && !account.worker && account.seenUids == UidSet{"uid-1"} &&
                account.newUids.empty() && account.lastCheckTick == 4242u) << account.lastFailure;
    const std::vector<Recorder::Notice> n = recorder->Notices();
    EXPECT_TRUE(n.size() == 2 && n[0].command == ID_CHECK_STARTED && n[1].command == ID_CHECK_FINISHED);
}

// A stop mid-batch or mid-listing leaves the sets.
TEST_F(CheckThreadsTest, StopEndsACheckAtOnce)
{
    for (const bool atOnce : {false, true}) {
        FakePop3Server big(std::vector<std::string>(10000, "u"));
        big.Script("UIDL 1", FakePop3Server::Silence());
        big.Script("UIDL", FakePop3Server::Say("-ERR by number\r\n"));  // batches on a new connection
        if (atOnce) {
            big.Script("CAPA", FakePop3Server::Say("-ERR\r\n"));
            big.Script("UIDL", FakePop3Server::Reply{"+OK\r\n1 a\r\n", false, true});
        }
        MailAccount stopped;
        stopped.newUids = {"old"};
        auto check = std::async(std::launch::async, [&] { return CheckAgainst(stopped, big, 20000).reason; });
        const auto sent = [&](const char* command) { return big.ReceivedBytes().find(command) != std::string::npos; };
        ASSERT_TRUE(WaitUntil([&] { return sent(atOnce ? "UIDL\r\n" : "UIDL 2\r\n"); }));
        const auto stopAt = Clock::now();
        stopped.stopRequested = 1;
        EXPECT_TRUE(check.get() == "stopped" && stopped.newUids == UidSet{"old"}) << "not stopped, or the sets changed";
        EXPECT_LT(Clock::now() - stopAt, std::chrono::seconds(2)) << "the stop did not end the wait";
        // Replies left unread may turn the close into a reset that discards the goodbye.
        EXPECT_TRUE(!atOnce || WaitUntil([&] { return sent("QUIT\r\n"); }));
        EXPECT_FALSE(sent("UIDL 9999\r\n"));
    }
}

TEST_F(CheckThreadsTest, SchedulerWorkerAndAcknowledgementsShareAccountsSafely)
{
    NewAccount(0x500);
    NewAccount(0x501);
    const auto end = Clock::now() + std::chrono::seconds(20);
    for (int round = 0; round < 20000 && recorder->Notices().size() < 12 && Clock::now() < end; ++round) {
        scheduler->RunScheduler();
        for (auto& account : scheduler->Accounts())
            MarkSeen(*account), NewUidCount(*account);
        scheduler->ReapRetiredAccounts();
        server.SetUids(round % 2 ? std::vector<std::string>{"u1", "u2", "u3"} : std::vector<std::string>{"u1"});
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    scheduler->StopAllChecks();
    ASSERT_TRUE(recorder->WaitForNotices(12));
    const std::vector<Recorder::Notice> n = recorder->Notices();
    for (size_t i = 0; i + 1 < n.size(); i += 2)
        EXPECT_TRUE(n[i].command == ID_CHECK_STARTED && n[i + 1].command == ID_CHECK_FINISHED && n[i].owner == n[i + 1].owner)
            << "two checks at once at notice " << i;
}

}  // namespace
