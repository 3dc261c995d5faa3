#pragma once
// The accounts as the settings program edits them: plain copyable values, loaded and saved
// with the notifier's own profile rules (settings/account_profile.h).
#include <cstdint>
#include <string>
#include <vector>

#include "settings/mail_account.h"

struct AccountSettings {
    std::string Account;   // login name
    std::string Address;   // POP3 server
    std::string Password;  // bytes as stored; never shown
    int32_t Duration = 10;
    int32_t Color = 7;     // red: the envelope as drawn
    int32_t Port = kDefaultPop3Port;

    bool operator==(const AccountSettings& other) const;
    bool operator!=(const AccountSettings& other) const { return !(*this == other); }
};

using AccountSettingsList = std::vector<AccountSettings>;

// Every account of the current profile, read as the notifier reads them at start-up.
AccountSettingsList LoadAccountSettings();

// Writes "POP_COUNT" and one section per account as the notifier's SaveSettings does, and
// makes sure each section loads back with the password it was given. The store reports no
// failures, so the profile is read back: false when it does not hold what was written.
bool SaveAccountSettings(const AccountSettingsList& list);
