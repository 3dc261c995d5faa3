#include "profile/oauth_provider.h"

// Default client IDs that a packager built in (CMake cache values); empty when none.
#ifndef ZANTOLI_MICROSOFT_CLIENT_ID
#define ZANTOLI_MICROSOFT_CLIENT_ID ""
#endif
#ifndef ZANTOLI_GOOGLE_CLIENT_ID
#define ZANTOLI_GOOGLE_CLIENT_ID ""
#endif
#ifndef ZANTOLI_GOOGLE_CLIENT_SECRET
#define ZANTOLI_GOOGLE_CLIENT_SECRET ""
#endif

namespace {

std::string EitherOf(const std::string& own, const char* builtIn)
{
    return own.empty() ? std::string(builtIn) : own;
}

}  // namespace

OAuthEndpoints EndpointsFor(const AccountSettings& account, bool imap)
{
    OAuthEndpoints endpoints;
    endpoints.clientId = account.ClientId;
    endpoints.clientSecret = account.ClientSecret;
    if (account.OAuthProvider == "microsoft") {
        endpoints.authorizeUrl = "https://login.microsoftonline.com/common/oauth2/v2.0/authorize";
        endpoints.tokenUrl = "https://login.microsoftonline.com/common/oauth2/v2.0/token";
        endpoints.scope = imap ? "offline_access https://outlook.office.com/IMAP.AccessAsUser.All"
                               : "offline_access https://outlook.office.com/POP.AccessAsUser.All";
        endpoints.clientId = EitherOf(account.ClientId, ZANTOLI_MICROSOFT_CLIENT_ID);
        endpoints.pop3Server = endpoints.imapServer = "outlook.office365.com";
    } else if (account.OAuthProvider == "google") {
        endpoints.authorizeUrl = "https://accounts.google.com/o/oauth2/v2/auth";
        endpoints.tokenUrl = "https://oauth2.googleapis.com/token";
        endpoints.scope = "https://mail.google.com/";
        endpoints.askOfflineAccess = true;
        endpoints.clientId = EitherOf(account.ClientId, ZANTOLI_GOOGLE_CLIENT_ID);
        // The built-in secret belongs to the built-in client only.
        if (account.ClientId.empty())
            endpoints.clientSecret = EitherOf(account.ClientSecret, ZANTOLI_GOOGLE_CLIENT_SECRET);
        endpoints.pop3Server = "pop.gmail.com";
        endpoints.imapServer = "imap.gmail.com";
    } else {
        endpoints.authorizeUrl = account.AuthorizeUrl;
        endpoints.tokenUrl = account.TokenUrl;
        endpoints.scope = account.Scope;
    }
    return endpoints;
}
