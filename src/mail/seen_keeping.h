#pragma once
// An account's seen UIDs kept between runs, for accounts whose seenFolder is set: restored
// once at start-up, written again whenever the seen set changes (from either thread).
#include "mail/mail_account.h"

// Fills the account's seen set from its file. A missing, damaged or foreign file is traced on
// the debug channel and leaves the set empty.
void RestoreSeenUids(MailAccount& account);

// Writes the account's seen set; does nothing when its UIDs are not kept. The set is copied
// under the account's lock and written outside it, so a check is never held up by the disk.
void KeepSeenUids(MailAccount& account);
