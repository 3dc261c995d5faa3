#include "mail/uid_reconcile.h"

#include <iterator>
#include <mutex>

namespace {

// Removes from set every UID that keep does not hold.
void KeepOnly(UidSet& set, const UidSet& keep)
{
    for (auto it = set.begin(); it != set.end();)
        it = keep.count(*it) ? std::next(it) : set.erase(it);
}

}  // namespace

bool ReconcileUids(MailAccount& account, UidSet listed)
{
    std::lock_guard<std::mutex> guard(account.uidLock);
    const size_t seenBefore = account.seenUids.size();
    KeepOnly(account.newUids, listed);   // a new message that left the server is no longer new
    KeepOnly(account.seenUids, listed);  // an acknowledged message that left is forgotten
    for (const auto& uid : account.seenUids)
        listed.erase(uid);
    account.newUids.merge(listed);
    return account.seenUids.size() != seenBefore;
}

bool ClearUids(MailAccount& account)
{
    std::lock_guard<std::mutex> guard(account.uidLock);
    const bool forgotten = !account.seenUids.empty();
    account.newUids.clear();
    account.seenUids.clear();
    return forgotten;
}

bool MarkSeen(MailAccount& account)
{
    std::lock_guard<std::mutex> guard(account.uidLock);
    const bool acknowledged = !account.newUids.empty();
    account.seenUids.merge(account.newUids);
    account.newUids.clear();  // merge leaves behind UIDs already seen; the sets share none
    return acknowledged;
}

size_t NewUidCount(MailAccount& account)
{
    std::lock_guard<std::mutex> guard(account.uidLock);
    return account.newUids.size();
}
