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

void ReconcileUids(MailAccount& account, UidSet listed)
{
    std::lock_guard<std::mutex> guard(account.uidLock);
    KeepOnly(account.newUids, listed);   // a new message that left the server is no longer new
    KeepOnly(account.seenUids, listed);  // an acknowledged message that left is forgotten
    for (const auto& uid : account.seenUids)
        listed.erase(uid);
    account.newUids.merge(listed);
}

void ClearUids(MailAccount& account)
{
    std::lock_guard<std::mutex> guard(account.uidLock);
    account.newUids.clear();
    account.seenUids.clear();
}

void MarkSeen(MailAccount& account)
{
    std::lock_guard<std::mutex> guard(account.uidLock);
    account.seenUids.merge(account.newUids);
    account.newUids.clear();  // merge leaves behind UIDs already seen; the sets share none
}

size_t NewUidCount(MailAccount& account)
{
    std::lock_guard<std::mutex> guard(account.uidLock);
    return account.newUids.size();
}
