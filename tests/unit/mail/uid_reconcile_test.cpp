#include "mail/uid_reconcile.h"

#include <gtest/gtest.h>

#include <random>

// The life of a mailbox over several checks and acknowledgements.
TEST(UidReconcile, NewSeenAndForgottenOverSeveralChecks)
{
    MailAccount account;
    struct Step {
        UidSet listed;
        bool acknowledgeFirst;
        UidSet newUids;
        UidSet seenUids;
    };
    const Step steps[] = {
        {{"a", "b", "c"}, false, {"a", "b", "c"}, {}},
        {{"a", "b", "d"}, true, {"d"}, {"a", "b"}},      // c left and is forgotten; d arrived
        {{"a", "b", "d"}, false, {"d"}, {"a", "b"}},     // the same listing changes nothing
        {{"a", "b"}, false, {}, {"a", "b"}},             // new mail that left is no longer new
        {{"b"}, false, {}, {"b"}},
        {{"a", "b"}, false, {"a"}, {"b"}},               // acknowledged, left, back: new again
        {{"b\r\n"}, true, {"b\r\n"}, {}},                // the line end makes another UID
        {{}, false, {}, {}},
    };
    for (const Step& step : steps) {
        if (step.acknowledgeFirst)
            MarkSeen(account);
        ReconcileUids(account, step.listed);
        EXPECT_EQ(account.newUids, step.newUids);
        EXPECT_EQ(account.seenUids, step.seenUids);
        EXPECT_EQ(NewUidCount(account), step.newUids.size());
    }
    account.newUids = {"x"};
    account.seenUids = {"y"};
    ClearUids(account);
    EXPECT_TRUE(account.newUids.empty() && account.seenUids.empty());
}

// Whatever the order of listings and acknowledgements, after each listing the two sets split
// the listing between them, and only an acknowledgement makes a UID seen.
TEST(UidReconcile, InvariantsHoldOverRandomHistories)
{
    std::mt19937 random(7);
    MailAccount account;
    for (int step = 0; step < 2000; ++step) {
        if (random() % 3 == 0) {
            const UidSet before = account.newUids;
            MarkSeen(account);
            ASSERT_TRUE(account.newUids.empty());
            for (const auto& uid : before)
                ASSERT_TRUE(account.seenUids.count(uid));
            continue;
        }
        UidSet listed;
        for (int i = random() % 12; i > 0; --i)
            listed.insert(std::string(1, char('a' + random() % 16)));
        const UidSet oldSeen = account.seenUids;
        ReconcileUids(account, listed);

        UidSet together = account.newUids;
        together.insert(account.seenUids.begin(), account.seenUids.end());
        ASSERT_EQ(together, listed);
        ASSERT_EQ(together.size(), account.newUids.size() + account.seenUids.size());
        for (const auto& uid : account.seenUids)
            ASSERT_TRUE(oldSeen.count(uid));
    }
}
