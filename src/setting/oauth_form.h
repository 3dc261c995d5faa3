#pragma once
// The sign-in values of an account as the OAuth dialog edits them, and their checks.
#include <string>

#include "profile/account_settings.h"

struct OAuthForm {
    bool on = false;            // "Auth" 1
    std::string provider;       // "microsoft", "google" or "custom"
    std::string clientId;       // empty: this build's default for the provider, where it has one
    std::string clientSecret;   // empty: keep the stored one
    std::string authorizeUrl;   // "custom" only
    std::string tokenUrl;
    std::string scope;
};

OAuthForm OAuthFormFromSettings(const AccountSettings& settings);

// A sentence saying what is wrong, or empty text when the form is acceptable.
std::string CheckOAuthForm(const OAuthForm& form);

// The form's values into settings; a sign-in made for other endpoints or another client no
// longer holds, so its refresh token goes.
void ApplyOAuthForm(const OAuthForm& form, AccountSettings& settings);

// The sign-in values (Auth, provider, client, endpoints, secrets) of from, into to.
void CopySignIn(const AccountSettings& from, AccountSettings& to);
