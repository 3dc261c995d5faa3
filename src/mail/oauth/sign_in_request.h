#pragma once
// The texts of an authorization-code sign-in with PKCE (RFC 7636) and of a token refresh, and
// the reading of the browser's redirect to our loopback listener (RFC 8252).
#include <string>

#include "profile/oauth_provider.h"

// What one sign-in keeps secret until its end: the state value that ties the redirect to it,
// and the PKCE verifier.
struct SignInSecrets {
    std::string state;
    std::string verifier;
};

// 32 random bytes each, base64url: 43 characters. False when the system gave no random bytes.
bool NewSignInSecrets(SignInSecrets& secrets);

// The S256 challenge: base64url of the verifier's SHA-256.
std::string PkceChallenge(const std::string& verifier);

// application/x-www-form-urlencoded: everything but letters, digits and "-._~" as %XX.
std::string FormEncode(const std::string& text);

// The page the browser opens. loginHint (the account's login name; may be empty) saves the
// user typing it again.
std::string AuthorizationUrl(const OAuthEndpoints& endpoints, const std::string& redirectUri,
                             const SignInSecrets& secrets, const std::string& loginHint);

// The token request bodies: the code exchange and a refresh.
std::string CodeExchangeBody(const OAuthEndpoints& endpoints, const std::string& code, const std::string& redirectUri,
                             const std::string& verifier);
std::string RefreshBody(const OAuthEndpoints& endpoints, const std::string& refreshToken);

// What the browser brought back in the redirect's query.
struct RedirectQuery {
    std::string code;
    std::string state;
    std::string error;        // the provider's refusal ("access_denied", ...)
    std::string description;  // its own words, when it gave some
};

// Reads the request line "GET /path?query HTTP/1.1". False for anything else (another path,
// another method, a request for the browser's icon).
bool ReadRedirectRequest(const std::string& requestLine, const std::string& path, RedirectQuery& query);
