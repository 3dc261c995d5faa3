// The check worker and the user-interface thread share an account's UID sets and its stop
// flag. Run under ThreadSanitizer these tests also show that they do so without a race.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "fake_pop3_server.h"
#include "mail/uid_reconcile.h"
#include "session_helpers.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace

TEST(MailThreads, AcknowledgingWhileTheWorkerReconcilesKeepsTheSetsConsistent)
{
    MailAccount account;
    const UidSet listings[] = {{"a", "b", "c"}, {"b", "c", "d", "e"}, {}, {"a", "e"}};
    std::atomic<bool> done{false};

    std::thread worker([&] {
        for (int i = 0; i < 4000; ++i) {
            UidSet current = listings[i % 4];
            ReconcileUids(&account.newUids, &account.seenUids, &account.uidLock, current);
            if (i % 7 == 0)
                ClearUids(&account.newUids, &account.seenUids, &account.uidLock);
        }
        done = true;
    });
    // Bounded: the worker ends after its fixed number of passes.
    size_t largestCount = 0;
    for (int i = 0; !done && i < 1000000; ++i) {
        largestCount = std::max(largestCount, NewUidCount(account));
        if (i % 3 == 0)
            MarkSeen(account);
    }
    worker.join();
    EXPECT_LE(largestCount, 4u);  // never more than the longest listing

    std::lock_guard<std::mutex> guard(account.uidLock);
    for (const auto& uid : account.newUids)
        EXPECT_EQ(account.seenUids.count(uid), 0u) << uid;
}

// A stop request ends a check at once, whether the server is silent from the start or falls
// silent in the middle of the listing; the goodbye still goes out and the sets stay.
TEST(MailThreads, StopRequestEndsACheckAgainstASilentServer)
{
    const uint32_t longLimitMs = 20000;
    for (const char* silentAt : {"", "UIDL 2"}) {
        SCOPED_TRACE(std::string("silent at \"") + silentAt + "\"");
        FakePop3Server server({"a", "b", "c"});
        server.Script(silentAt, FakePop3Server::Silence());
        MailAccount account;
        account.Account = "me";
        account.newUids = {"old"};

        const auto start = Clock::now();
        auto check = std::async(std::launch::async,
                                [&] { return RunCheckAgainst(account, server, longLimitMs); });
        if (*silentAt)
            ASSERT_TRUE(server.WaitForCommands(5, 10000));
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        account.stopRequested = 1;

        EXPECT_EQ(check.get(), 0);
        EXPECT_LT(MsSince(start), int64_t(longLimitMs / 4)) << "the stop did not end the wait";
        EXPECT_EQ(account.newUids, (UidSet{"old"}));
        if (*silentAt) {
            ASSERT_TRUE(server.WaitForCommands(6, 10000));
            EXPECT_EQ(server.Commands().back(), "QUIT");
        }
    }
}
