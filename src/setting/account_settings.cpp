#include "setting/account_settings.h"

#include "profile/account_profile.h"
#include "profile/profile.h"

namespace {

// An empty password is stored as an empty "CryptPassward", and loading then falls back to the
// plain "Passward" key, which is never written. After a removal that key can belong to the
// account that used to live in the section; "00" decodes to the empty password and wins.
void KeepEmptyPasswordEmpty(int index)
{
    const std::string section = AccountSection(index);
    if (!ReadProfileText(section, "Passward").empty())
        WriteProfileText(section, "CryptPassward", "00");
}

// The sections of accounts that were removed, passwords included, up to the count saved before.
void RemoveSectionsFrom(int first, int previousCount)
{
    ProfileStore* store = CurrentProfileStore();
    for (int i = first; store && i < previousCount; ++i)
        store->RemoveSection(AccountSection(i));
}

}  // namespace

AccountSettings NewAccountSettings()
{
    AccountSettings settings;
    settings.Duration = 10;
    settings.Color = 7;
    settings.Security = kSecurityTls;
    settings.Port = kDefaultPop3sPort;
    return settings;
}

AccountSettingsList LoadAccountSettings()
{
    AccountSettingsList list;
    const int32_t count = ReadAccountCount();
    for (int32_t i = 0; i < count; ++i) {
        list.emplace_back();
        LoadAccount(int(i), list.back());
    }
    return list;
}

bool SaveAccountSettings(const AccountSettingsList& list)
{
    const int previousCount = int(ReadAccountCount());
    const int count = SaveSettings(list);
    RemoveSectionsFrom(count, previousCount);
    for (int i = 0; i < count; ++i) {
        if (list[size_t(i)].Password.empty())
            KeepEmptyPasswordEmpty(i);
    }
    return LoadAccountSettings() == list;
}
