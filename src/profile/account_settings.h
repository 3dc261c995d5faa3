#pragma once
// One account as the profile stores it: plain, copyable values. A missing section reads as
// empty texts and zero numbers on the default port.
#include <cstdint>
#include <string>

constexpr int32_t kDefaultPop3Port = 110;
constexpr int32_t kDefaultPop3sPort = 995;
constexpr int32_t kDefaultImapPort = 143;
constexpr int32_t kDefaultImapsPort = 993;

// Which conversation an account's server speaks ("Protocol"). Any other stored value reads as
// kProtocolUnknown, and such an account is never checked.
constexpr int32_t kProtocolPop3 = 0;
constexpr int32_t kProtocolImap = 1;
constexpr int32_t kProtocolUnknown = -1;
constexpr char kDefaultFolder[] = "INBOX";

// How a connection is protected ("Security"): plain text, STLS on the plain port, or TLS from
// the first byte.
constexpr int32_t kSecurityNone = 0;
constexpr int32_t kSecurityStls = 1;
constexpr int32_t kSecurityTls = 2;
// A stored value that is none of the above: the account is never checked, since guessing
// could send the password in clear.
constexpr int32_t kSecurityUnknown = -1;

// The port a server listens on for this protocol and protection when the account names none.
inline int32_t DefaultPort(int32_t security, int32_t protocol = kProtocolPop3)
{
    if (protocol == kProtocolImap)
        return security == kSecurityTls ? kDefaultImapsPort : kDefaultImapPort;
    return security == kSecurityTls ? kDefaultPop3sPort : kDefaultPop3Port;
}

// How an account logs in ("Auth"): with its password, or with an OAuth 2.0 access token got
// from its refresh token.
constexpr int32_t kAuthPassword = 0;
constexpr int32_t kAuthOAuth = 1;

// The protected values, as bits of AccountSettings::UnreadableSecrets.
constexpr uint32_t kSecretPassword = 1;
constexpr uint32_t kSecretClientSecret = 2;
constexpr uint32_t kSecretRefreshToken = 4;

struct AccountSettings {
    std::string Account;   // login name
    std::string Address;   // POP3 server: a host name or an address
    std::string Password;  // the bytes as decoded from the profile
    int32_t Duration = 0;  // minutes from the end of one check to the next
    int32_t Color = 0;     // envelope colour index; -1 keeps the tray icon still
    int32_t Port = kDefaultPop3Port;
    int32_t Security = kSecurityNone;
    std::string TrustFile;    // CA certificates replacing the system's roots; or empty
    std::string Fingerprint;  // the server certificate's SHA-256 in hex; or empty
    int32_t Protocol = kProtocolPop3;
    std::string Folder = kDefaultFolder;  // the IMAP folder watched, in UTF-8 as typed
    int32_t Auth = kAuthPassword;
    std::string OAuthProvider;  // "microsoft", "google" or "custom"
    std::string ClientId;
    std::string ClientSecret;  // protected at rest; empty for a client without one
    std::string AuthorizeUrl;  // "custom" only: the presets know their own endpoints
    std::string TokenUrl;
    std::string Scope;
    std::string RefreshToken;  // protected at rest; never in clear
    // The protected values that were stored but could not be opened (the profile came from
    // another user or machine): they read as empty, and an account that needs one fails.
    uint32_t UnreadableSecrets = 0;

    bool operator==(const AccountSettings& other) const
    {
        return Account == other.Account && Address == other.Address && Password == other.Password &&
               Duration == other.Duration && Color == other.Color && Port == other.Port &&
               Security == other.Security && TrustFile == other.TrustFile && Fingerprint == other.Fingerprint &&
               Protocol == other.Protocol && Folder == other.Folder &&
               Auth == other.Auth && OAuthProvider == other.OAuthProvider && ClientId == other.ClientId &&
               ClientSecret == other.ClientSecret && AuthorizeUrl == other.AuthorizeUrl &&
               TokenUrl == other.TokenUrl && Scope == other.Scope && RefreshToken == other.RefreshToken &&
               UnreadableSecrets == other.UnreadableSecrets;
    }
    bool operator!=(const AccountSettings& other) const { return !(*this == other); }
};
