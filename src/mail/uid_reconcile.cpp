#include "mail/uid_reconcile.h"

#include <iterator>

namespace {

std::unique_lock<std::mutex> LockIfGiven(std::mutex* lock)
{
    return lock ? std::unique_lock<std::mutex>(*lock) : std::unique_lock<std::mutex>();
}

// Removes from set every UID that keep does not hold.
void KeepOnly(UidSet& set, const UidSet& keep)
{
    for (auto it = set.begin(); it != set.end();)
        it = keep.count(*it) ? std::next(it) : set.erase(it);
}

}  // namespace

int ReconcileUids(UidSet* newUids, UidSet* seenUids, std::mutex* lock, UidSet& current)
{
    auto guard = LockIfGiven(lock);
    if (newUids)
        KeepOnly(*newUids, current);  // a new message that left the server is no longer new
    if (seenUids) {
        KeepOnly(*seenUids, current);  // an acknowledged message that left is forgotten
        for (const auto& uid : *seenUids)
            current.erase(uid);
    }
    if (newUids)
        newUids->merge(current);
    return 1;
}

void ClearUids(UidSet* newUids, UidSet* seenUids, std::mutex* lock)
{
    auto guard = LockIfGiven(lock);
    if (newUids)
        newUids->clear();
    if (seenUids)
        seenUids->clear();
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
