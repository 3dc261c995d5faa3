#include "profile/account_profile.h"

#include <cstdio>

#include "platform/debug_channel.h"
#include "profile/account_secrets.h"
#include "profile/profile.h"

namespace {

const char kGlobal[] = "GLOBAL";

int32_t PortFromText(const std::string& text, int32_t defaultPort)
{
    const int32_t port = TextToInt(text);
    return port >= 1 && port <= 65535 ? port : defaultPort;
}

// Only the exact stored forms count: a damaged value read by atoi rules could turn an STLS
// account into a plain one that sends the password in clear. Absent is plain text.
int32_t SecurityFromText(const std::string& text)
{
    if (text.empty() || text == "0")
        return kSecurityNone;
    if (text == "1")
        return kSecurityStls;
    if (text == "2")
        return kSecurityTls;
    return kSecurityUnknown;
}

// Nothing stored is POP3, as every account was before IMAP; a value other than the two known
// ones is kept as unknown, so that the account is never checked rather than guessed at.
int32_t ProtocolFromText(const std::string& text)
{
    if (text.empty() || text == "0")
        return kProtocolPop3;
    return text == "1" ? kProtocolImap : kProtocolUnknown;
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

void LoadAccount(int index, AccountSettings& account, const SecretSeal& seal)
{
    const std::string section = AccountSection(index);
    account.Account = ReadProfileText(section, "Account");
    account.Address = ReadProfileText(section, "Address");
    account.Duration = TextToInt(ReadProfileText(section, "Duration"));
    LoadPassword(section, account, seal);
    account.Color = TextToInt(ReadProfileText(section, "COLOR"));
    account.Security = SecurityFromText(ReadProfileText(section, "Security"));
    account.Protocol = ProtocolFromText(ReadProfileText(section, "Protocol"));
    account.Port = PortFromText(ReadProfileText(section, "Port"), DefaultPort(account.Security, account.Protocol));
    account.Folder = ReadProfileText(section, "Folder");
    if (account.Folder.empty())
        account.Folder = kDefaultFolder;
    account.TrustFile = ReadProfileText(section, "TrustFile");
    account.Fingerprint = ReadProfileText(section, "Fingerprint");
    LoadSignIn(section, account, seal);
}

void SaveAccountCount(int32_t count)
{
    WriteProfileNumber(kGlobal, "POP_COUNT", count);
}

void SaveAccount(int index, const AccountSettings& account, const SecretSeal& seal)
{
    const std::string section = AccountSection(index);
    WriteProfileText(section, "Account", account.Account);
    WriteProfileText(section, "Address", account.Address);
    WriteProfileNumber(section, "Duration", account.Duration);
    SaveSecrets(section, account, seal);
    WriteProfileNumber(section, "COLOR", account.Color);
    WriteUnlessDefault(section, "Security", std::to_string(account.Security),
                       account.Security == kSecurityNone);
    // An unknown protocol is left as the user stored it.
    if (account.Protocol != kProtocolUnknown)
        WriteUnlessDefault(section, "Protocol", std::to_string(account.Protocol),
                           account.Protocol == kProtocolPop3);
    // The default port follows the protocol and the protection: 995 for POP3 over TLS.
    WriteUnlessDefault(section, "Port", std::to_string(account.Port),
                       account.Port == DefaultPort(account.Security, account.Protocol));
    WriteUnlessDefault(section, "Folder", account.Folder, account.Folder == kDefaultFolder);
    WriteUnlessDefault(section, "TrustFile", account.TrustFile, account.TrustFile.empty());
    WriteUnlessDefault(section, "Fingerprint", account.Fingerprint, account.Fingerprint.empty());
    SaveSignIn(section, account);
}

int SaveSettings(const std::vector<AccountSettings>& accounts, const SecretSeal& seal)
{
    const int count = int(accounts.size());
    SaveAccountCount(count);
    for (int i = 0; i < count; ++i)
        SaveAccount(i, accounts[size_t(i)], seal);
    return count;
}
