#include "mail/uid_reconcile.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// One check's listing reconciled into the account, as the session does it.
void Listing(MailAccount& account, UidSet listed)
{
    ReconcileUids(&account.newUids, &account.seenUids, &account.uidLock, listed);
}

}  // namespace

// The life of a mailbox over several checks and acknowledgements.
TEST(UidReconcile, NewSeenAndForgottenOverSeveralChecks)
{
    MailAccount account;
    Listing(account, {"a", "b", "c"});
    EXPECT_EQ(account.newUids, (UidSet{"a", "b", "c"}));
    EXPECT_TRUE(account.seenUids.empty());
    EXPECT_EQ(NewUidCount(account), 3u);

    MarkSeen(account);
    EXPECT_TRUE(account.newUids.empty());
    EXPECT_EQ(account.seenUids, (UidSet{"a", "b", "c"}));
    EXPECT_EQ(NewUidCount(account), 0u);

    // c left the server and is forgotten; d arrived.
    Listing(account, {"a", "b", "d"});
    EXPECT_EQ(account.seenUids, (UidSet{"a", "b"}));
    EXPECT_EQ(account.newUids, (UidSet{"d"}));

    // The same listing again changes nothing and counts d once.
    Listing(account, {"a", "b", "d"});
    EXPECT_EQ(account.seenUids, (UidSet{"a", "b"}));
    EXPECT_EQ(account.newUids, (UidSet{"d"}));

    // A new message that leaves before it was acknowledged stops being new.
    Listing(account, {"a", "b"});
    EXPECT_TRUE(account.newUids.empty());

    // An acknowledged message that left and comes back is new again.
    Listing(account, {"b"});
    Listing(account, {"a", "b"});
    EXPECT_EQ(account.seenUids, (UidSet{"b"}));
    EXPECT_EQ(account.newUids, (UidSet{"a"}));

    // An empty listing forgets everything.
    Listing(account, {});
    EXPECT_TRUE(account.newUids.empty());
    EXPECT_TRUE(account.seenUids.empty());
}

TEST(UidReconcile, ClearAndMarkSeenEdges)
{
    MailAccount account;
    account.newUids = {"x"};
    account.seenUids = {"y"};
    ClearUids(&account.newUids, nullptr, &account.uidLock);
    EXPECT_TRUE(account.newUids.empty());
    EXPECT_EQ(account.seenUids, (UidSet{"y"}));
    ClearUids(&account.newUids, &account.seenUids, nullptr);
    EXPECT_TRUE(account.seenUids.empty());

    MarkSeen(account);  // nothing new: nothing changes
    EXPECT_TRUE(account.newUids.empty());
    EXPECT_TRUE(account.seenUids.empty());

    // A UID differs from another by its line end, and the order is by unsigned bytes.
    Listing(account, {"abc", "abc\r\n", "\xff", "a"});
    EXPECT_EQ(account.newUids.size(), 4u);
    EXPECT_EQ(*account.newUids.rbegin(), "\xff");
    MarkSeen(account);
    Listing(account, {"abc\r\n"});
    EXPECT_EQ(account.seenUids, (UidSet{"abc\r\n"}));
    EXPECT_TRUE(account.newUids.empty());
}

// Whatever the order of listings and acknowledgements, after each listing the two sets split
// the listing between them, and they never share a UID.
TEST(UidReconcile, InvariantsHoldOverRandomHistories)
{
    std::mt19937 random(7);
    MailAccount account;
    for (int step = 0; step < 2000; ++step) {
        if (random() % 3 == 0) {
            const size_t before = account.newUids.size() + account.seenUids.size();
            MarkSeen(account);
            ASSERT_TRUE(account.newUids.empty());
            ASSERT_EQ(account.seenUids.size(), before);
            continue;
        }
        UidSet listed;
        for (int i = random() % 12; i > 0; --i)
            listed.insert(std::string(1, char('a' + random() % 16)));
        const UidSet oldSeen = account.seenUids;
        Listing(account, listed);

        UidSet together = account.newUids;
        together.insert(account.seenUids.begin(), account.seenUids.end());
        ASSERT_EQ(together, listed);
        ASSERT_EQ(together.size(), account.newUids.size() + account.seenUids.size());
        for (const auto& uid : account.seenUids)
            ASSERT_TRUE(oldSeen.count(uid)) << "only an acknowledgement makes a UID seen";
    }
}
