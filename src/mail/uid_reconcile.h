#pragma once
// Which messages count as new. An account keeps two UID sets: newUids (on the server, not yet
// acknowledged) and seenUids (acknowledged, still on the server). The check worker brings them
// in line with the server's list while the user-interface thread acknowledges and counts, so
// each operation below holds the account's lock for its whole length. A null lock means the
// caller has the sets to itself.
#include <cstddef>
#include <mutex>

#include "mail/uid_set.h"
#include "settings/mail_account.h"

// Brings both sets in line with current, the server's full list: UIDs that left the server are
// forgotten, listed UIDs not acknowledged are new. current is consumed. A null set pointer
// counts as an empty set that is left alone. Returns 1.
int ReconcileUids(UidSet* newUids, UidSet* seenUids, std::mutex* lock, UidSet& current);

// Empties both sets (the mailbox is empty). A null set pointer is skipped.
void ClearUids(UidSet* newUids, UidSet* seenUids, std::mutex* lock);

// The user acknowledged everything: every new UID becomes seen.
void MarkSeen(MailAccount& account);

// The number of new UIDs, read consistently with the worker's changes.
size_t NewUidCount(MailAccount& account);
