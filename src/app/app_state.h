#pragma once
// Process-wide state shared by the subsystems. Touched by the user-interface thread only;
// check workers reach their account through the pointer they were started with.
#include "settings/mail_account.h"

// Every configured account; position i was loaded from section POP<i>.
extern AccountList accounts;
// Accounts waiting for their check to end before they are destroyed (only during exit).
extern AccountList retiredAccounts;
