#include "mail/uid_reconcile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>

// Whether seen changed decides when it is written to disk.
TEST(UidReconcile, ListingsAndAcknowledgementsOverRandomHistories)
{
    std::mt19937 random(7);
    MailAccount account;
    for (int step = 0; step < 2000; ++step) {
        if (random() % 3 == 0) {
            UidSet expected = account.seenUids;
            expected.insert(account.newUids.begin(), account.newUids.end());
            const bool anyNew = !account.newUids.empty();
            ASSERT_EQ(MarkSeen(account), anyNew);
            ASSERT_TRUE(account.newUids.empty() && account.seenUids == expected) << "step " << step;
            continue;
        }
        UidSet listed;
        for (int i = random() % 12; i > 0; --i)
            listed.insert(std::string(1, char('a' + random() % 16)));
        UidSet stillSeen;
        std::set_intersection(account.seenUids.begin(), account.seenUids.end(), listed.begin(), listed.end(),
                              std::inserter(stillSeen, stillSeen.end()));
        const bool forgets = stillSeen.size() < account.seenUids.size();
        ASSERT_EQ(ReconcileUids(account, listed), forgets);
        UidSet together = account.newUids;
        together.insert(stillSeen.begin(), stillSeen.end());
        ASSERT_TRUE(account.seenUids == stillSeen && together == listed &&
                    account.newUids.size() + stillSeen.size() == listed.size()) << "step " << step;
    }
}
