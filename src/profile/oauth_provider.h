#pragma once
// Where an OAuth 2.0 account signs in: the two providers' published endpoints and scopes, or
// the account's own ("custom"). A build may carry default client IDs for the presets.
#include <string>

#include "profile/account_settings.h"

struct OAuthEndpoints {
    std::string authorizeUrl;
    std::string tokenUrl;
    std::string scope;
    // Google hands out a refresh token only when asked for offline access.
    bool askOfflineAccess = false;
    std::string clientId;      // the account's, or this build's default for the preset
    std::string clientSecret;  // likewise
    // The mail server of the preset, offered when the user picks it; empty for "custom".
    std::string pop3Server;
    std::string imapServer;
};

// The endpoints for the account's provider; imap picks the IMAP scope where they differ.
// An unknown provider gives the account's own values, as "custom" does.
OAuthEndpoints EndpointsFor(const AccountSettings& account, bool imap);
