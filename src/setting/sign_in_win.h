#pragma once
// Signing an account in with OAuth 2.0: the authorization code with PKCE and a state value,
// the provider's page in the system's browser, the redirect to a listener on 127.0.0.1 at a
// port chosen now, a wait of at most 5 minutes that the user can cancel, and the code exchanged
// for tokens at the token endpoint.
#include <windows.h>

#include <string>

#include "profile/account_settings.h"

struct SignInResult {
    bool signedIn = false;
    std::string refreshToken;  // when signed in
    std::string message;       // what to tell the user: the refusal in the provider's words
};

// account holds the sign-in values, the login name (a hint for the provider's page) and the
// trust file (it applies to the token endpoint too).
SignInResult SignIn(HWND owner, const AccountSettings& account);
