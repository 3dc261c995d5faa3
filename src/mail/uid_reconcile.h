#pragma once
// Which messages count as new. An account keeps two UID sets: newUids (on the server, not yet
// acknowledged) and seenUids (acknowledged, still on the server). The check worker brings them
// in line with the server's list while the user-interface thread acknowledges and counts, so
// each operation below holds the account's lock for its whole length.
#include <cstddef>

#include "mail/mail_account.h"
#include "mail/uid_set.h"

// Brings both sets in line with listed, the server's full list: UIDs that left the server are
// forgotten, listed UIDs not acknowledged are new. True when seen UIDs were forgotten.
bool ReconcileUids(MailAccount& account, UidSet listed);

// Empties both sets (the mailbox is empty). True when seen UIDs were forgotten.
bool ClearUids(MailAccount& account);

// The user acknowledged everything: every new UID becomes seen. True when any did.
bool MarkSeen(MailAccount& account);

// The number of new UIDs, read consistently with the worker's changes.
size_t NewUidCount(MailAccount& account);
