#include "setting/account_settings.h"

#include "profile/account_profile.h"
#include "profile/profile.h"

namespace {

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

AccountSettingsList LoadAccountSettings(const SecretSeal& seal)
{
    AccountSettingsList list;
    const int32_t count = ReadAccountCount();
    for (int32_t i = 0; i < count; ++i) {
        list.emplace_back();
        LoadAccount(int(i), list.back(), seal);
    }
    return list;
}

bool SaveAccountSettings(const AccountSettingsList& list, const SecretSeal& seal)
{
    const int previousCount = int(ReadAccountCount());
    const int count = SaveSettings(list, seal);
    RemoveSectionsFrom(count, previousCount);
    return LoadAccountSettings(seal) == list;
}
