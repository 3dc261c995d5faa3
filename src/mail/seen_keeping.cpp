#include "mail/seen_keeping.h"

#include <mutex>

#include "mail/seen_store.h"
#include "platform/debug_channel.h"

namespace {

// The folder is part of an IMAP account's key: the same login has other UIDs in another one.
std::string ImapFolder(const MailAccount& account)
{
    return account.Protocol == kProtocolImap ? account.Folder : std::string();
}

}  // namespace

void RestoreSeenUids(MailAccount& account)
{
    if (account.seenFolder.empty())
        return;
    LoadedSeen loaded = SeenStore(account.seenFolder).Load(account.Address, account.Port, account.Account, ImapFolder(account));
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
    if (!SeenStore(account.seenFolder).Save(account.Address, account.Port, account.Account, seen, ImapFolder(account)))
        DebugWrite("Seen UIDs of " + account.Address + " not saved\n");
}
