#pragma once
// The values of an account beyond the server and its schedule: how it logs in, and its
// secrets, which are kept sealed for the current user.
#include <string>

#include "platform/secret_seal.h"
#include "profile/account_settings.h"

// The password: the protected value first; where none is stored, the older reversible forms
// ("CryptPassward" over "Passward"), so that a profile written before keeps working.
void LoadPassword(const std::string& section, AccountSettings& account, const SecretSeal& seal);

// "Auth", the OAuth 2.0 client and endpoints, and the protected client secret and refresh token.
void LoadSignIn(const std::string& section, AccountSettings& account, const SecretSeal& seal);

// Stores the secrets protected and removes the reversible password forms. A secret that was
// unreadable and was not given again keeps its stored value. False when one could not be
// sealed; the reversible forms then stay, so that nothing is lost.
bool SaveSecrets(const std::string& section, const AccountSettings& account, const SecretSeal& seal);

// "Auth" and the OAuth 2.0 values, each only when set or stored before.
void SaveSignIn(const std::string& section, const AccountSettings& account);

// Said of an account whose login needs a protected value that cannot be opened.
constexpr char kSecretUnreadable[] = "stored password unreadable: enter it again in Setting.exe";

// Whether the account's way of logging in needs a protected value that could not be opened.
bool NeedsUnreadableSecret(const AccountSettings& account);
