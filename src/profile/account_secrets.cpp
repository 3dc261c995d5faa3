#include "profile/account_secrets.h"

#include <string>

#include "profile/password_codec.h"
#include "profile/profile.h"
#include "profile/protected_value.h"

namespace {

const char kProtectedPassword[] = "ProtectedPassward";

struct SecretKey {
    uint32_t bit;
    const char* key;
    std::string AccountSettings::*field;
};

const SecretKey kSecrets[] = {
    {kSecretPassword, kProtectedPassword, &AccountSettings::Password},
    {kSecretClientSecret, "ClientSecret", &AccountSettings::ClientSecret},
    {kSecretRefreshToken, "RefreshToken", &AccountSettings::RefreshToken},
};

// False when no protected value is stored.
bool LoadSecret(const std::string& section, const SecretKey& secret, AccountSettings& account,
                const SecretSeal& seal)
{
    account.UnreadableSecrets &= ~secret.bit;
    (account.*secret.field).clear();
    const ProtectedRead read = ReadProtectedValue(section, secret.key, seal, account.*secret.field);
    if (read == ProtectedRead::Unreadable)
        account.UnreadableSecrets |= secret.bit;
    return read != ProtectedRead::Absent;
}

}  // namespace

void LoadPassword(const std::string& section, AccountSettings& account, const SecretSeal& seal)
{
    if (LoadSecret(section, kSecrets[0], account, seal))
        return;
    account.Password = ReadProfileText(section, "Passward");
    const std::string& crypt = ReadProfileText(section, "CryptPassward");
    if (!crypt.empty())
        account.Password = DecodePassword(crypt);
}

void LoadSignIn(const std::string& section, AccountSettings& account, const SecretSeal& seal)
{
    // Another value reads as the password: a damaged one must not send a token request.
    account.Auth = TextToInt(ReadProfileText(section, "Auth")) == kAuthOAuth ? kAuthOAuth : kAuthPassword;
    account.OAuthProvider = ReadProfileText(section, "OAuthProvider");
    account.ClientId = ReadProfileText(section, "ClientId");
    account.AuthorizeUrl = ReadProfileText(section, "AuthorizeUrl");
    account.TokenUrl = ReadProfileText(section, "TokenUrl");
    account.Scope = ReadProfileText(section, "Scope");
    LoadSecret(section, kSecrets[1], account, seal);
    LoadSecret(section, kSecrets[2], account, seal);
}

bool SaveSecrets(const std::string& section, const AccountSettings& account, const SecretSeal& seal)
{
    bool sealed = true;
    for (const SecretKey& secret : kSecrets) {
        const std::string& value = account.*secret.field;
        if ((account.UnreadableSecrets & secret.bit) && value.empty())
            continue;
        sealed = WriteProtectedValue(section, secret.key, value, seal) && sealed;
    }
    if (sealed) {
        RemoveProfileValue(section, "Passward");
        RemoveProfileValue(section, "CryptPassward");
    }
    return sealed;
}

void SaveSignIn(const std::string& section, const AccountSettings& account)
{
    WriteUnlessDefault(section, "Auth", std::to_string(account.Auth), account.Auth == kAuthPassword);
    WriteUnlessDefault(section, "OAuthProvider", account.OAuthProvider, account.OAuthProvider.empty());
    WriteUnlessDefault(section, "ClientId", account.ClientId, account.ClientId.empty());
    WriteUnlessDefault(section, "AuthorizeUrl", account.AuthorizeUrl, account.AuthorizeUrl.empty());
    WriteUnlessDefault(section, "TokenUrl", account.TokenUrl, account.TokenUrl.empty());
    WriteUnlessDefault(section, "Scope", account.Scope, account.Scope.empty());
}

bool NeedsUnreadableSecret(const AccountSettings& account)
{
    const uint32_t needed =
        account.Auth == kAuthOAuth ? kSecretClientSecret | kSecretRefreshToken : kSecretPassword;
    return (account.UnreadableSecrets & needed) != 0;
}
