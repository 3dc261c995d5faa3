#pragma once
// The accounts as the settings program edits them, loaded and saved with the notifier's own
// profile rules (settings/account_profile.h).
#include <vector>

#include "platform/secret_seal.h"
#include "profile/account_settings.h"

using AccountSettingsList = std::vector<AccountSettings>;

// What the dialog offers for an account the user adds: every ten minutes, in red (the
// envelope as drawn), over TLS on its usual port.
AccountSettings NewAccountSettings();

// Every account of the current profile, read as the notifier reads them at start-up.
AccountSettingsList LoadAccountSettings(const SecretSeal& seal = UserSecretSeal());

// Writes "POP_COUNT" and one section per account as the notifier's SaveSettings does (secrets
// protected, the reversible password forms removed), and removes the sections of accounts that
// no longer exist. The store reports no
// failures, so the profile is read back: false when it does not hold what was written.
bool SaveAccountSettings(const AccountSettingsList& list, const SecretSeal& seal = UserSecretSeal());
