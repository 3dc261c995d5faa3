#include "mail/seen_keeping.h"

#include <mutex>

#include "mail/seen_store.h"
#include "platform/debug_channel.h"

void RestoreSeenUids(MailAccount& account)
{
    if (account.seenFolder.empty())
        return;
    LoadedSeen loaded = SeenStore(account.seenFolder).Load(account.Address, account.Port, account.Account);
    if (!loaded.problem.empty())
        DebugWrite("Seen UIDs of " + account.Address + " not loaded: " + loaded.problem + "\n");
    std::lock_guard<std::mutex> guard(account.uidLock);
    account.seenUids = std::move(loaded.uids);
}

void KeepSeenUids(MailAccount& account)
{
    if (account.seenFolder.empty())
        return;
    std::lock_guard<std::mutex> fileGuard(account.seenFileLock);
    UidSet seen;
    {
        std::lock_guard<std::mutex> guard(account.uidLock);
        seen = account.seenUids;
    }
    if (!SeenStore(account.seenFolder).Save(account.Address, account.Port, account.Account, seen))
        DebugWrite("Seen UIDs of " + account.Address + " not saved\n");
}
