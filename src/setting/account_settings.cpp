#include "setting/account_settings.h"

#include <memory>

#include "settings/account_profile.h"
#include "settings/profile.h"

namespace {

AccountSettings SettingsFromAccount(const MailAccount& account)
{
    AccountSettings settings;
    settings.Account = account.Account;
    settings.Address = account.Address;
    settings.Password = account.Password;
    settings.Duration = account.Duration;
    settings.Color = account.Color;
    settings.Port = account.Port;
    return settings;
}

std::unique_ptr<MailAccount> AccountFromSettings(const AccountSettings& settings)
{
    auto account = std::make_unique<MailAccount>();
    account->Account = settings.Account;
    account->Address = settings.Address;
    account->Password = settings.Password;
    account->Duration = settings.Duration;
    account->Color = settings.Color;
    account->Port = settings.Port;
    return account;
}

// An empty password is stored as an empty "CryptPassward", and loading then falls back to the
// plain "Passward" key, which is never written. After a removal that key can belong to the
// account that used to live in the section; "00" decodes to the empty password and wins.
void KeepEmptyPasswordEmpty(int index)
{
    const std::string section = AccountSection(index);
    if (!ReadProfileText(section, "Passward").empty())
        WriteProfileText(section, "CryptPassward", "00");
}

}  // namespace

bool AccountSettings::operator==(const AccountSettings& other) const
{
    return Account == other.Account && Address == other.Address && Password == other.Password &&
           Duration == other.Duration && Color == other.Color && Port == other.Port;
}

AccountSettingsList LoadAccountSettings()
{
    AccountSettingsList list;
    const int32_t count = ReadAccountCount();
    for (int32_t i = 0; i < count; ++i) {
        MailAccount account;
        LoadAccount(int(i), account);
        list.push_back(SettingsFromAccount(account));
    }
    return list;
}

bool SaveAccountSettings(const AccountSettingsList& list)
{
    AccountList accounts;
    for (const AccountSettings& settings : list)
        accounts.push_back(AccountFromSettings(settings));
    const int count = SaveSettings(accounts);
    for (int i = 0; i < count; ++i) {
        if (list[size_t(i)].Password.empty())
            KeepEmptyPasswordEmpty(i);
    }
    return LoadAccountSettings() == list;
}
