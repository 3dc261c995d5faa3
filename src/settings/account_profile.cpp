#include "settings/account_profile.h"

#include <cstdio>

#include "platform/debug_channel.h"
#include "settings/password_codec.h"
#include "settings/profile.h"

namespace {

const char kGlobal[] = "GLOBAL";

int32_t PortFromText(const std::string& text)
{
    const int32_t port = TextToInt(text);
    return port >= 1 && port <= 65535 ? port : kDefaultPop3Port;
}

}  // namespace

std::string AccountSection(int index)
{
    char name[24];
    std::snprintf(name, sizeof name, "POP%d", index);
    return name;
}

int32_t ReadAccountCount()
{
    const int32_t count = TextToInt(ReadProfileText(kGlobal, "POP_COUNT"));
    if (count > kMaxAccounts) {
        char note[96];
        std::snprintf(note, sizeof note, "POP_COUNT %d is too large; loading %d accounts\n", int(count),
                      int(kMaxAccounts));
        DebugWrite(note);
        return kMaxAccounts;
    }
    return count;
}

void LoadAccount(int index, AccountSettings& account)
{
    const std::string section = AccountSection(index);
    account.Account = ReadProfileText(section, "Account");
    account.Address = ReadProfileText(section, "Address");
    account.Duration = TextToInt(ReadProfileText(section, "Duration"));
    account.Password = ReadProfileText(section, "Passward");
    const std::string& crypt = ReadProfileText(section, "CryptPassward");
    if (!crypt.empty())
        account.Password = DecodePassword(crypt);
    account.Color = TextToInt(ReadProfileText(section, "COLOR"));
    account.Port = PortFromText(ReadProfileText(section, "Port"));
}

void SaveAccountCount(int32_t count)
{
    WriteProfileNumber(kGlobal, "POP_COUNT", count);
}

void SaveAccount(int index, const AccountSettings& account)
{
    const std::string section = AccountSection(index);
    WriteProfileText(section, "Account", account.Account);
    WriteProfileText(section, "Address", account.Address);
    WriteProfileNumber(section, "Duration", account.Duration);
    WriteProfileText(section, "CryptPassward", EncodePassword(account.Password));
    WriteProfileNumber(section, "COLOR", account.Color);
    // The default port is not written, so profiles without the key stay as they were; but a
    // port stored earlier is overwritten, or going back to 110 would silently keep the old one.
    if (account.Port != kDefaultPop3Port || !ReadProfileText(section, "Port").empty())
        WriteProfileNumber(section, "Port", account.Port);
}

int SaveSettings(const std::vector<AccountSettings>& accounts)
{
    const int count = int(accounts.size());
    SaveAccountCount(count);
    for (int i = 0; i < count; ++i)
        SaveAccount(i, accounts[size_t(i)]);
    return count;
}
