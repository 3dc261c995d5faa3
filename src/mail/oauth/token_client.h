#pragma once
// Requests to the OAuth 2.0 token endpoint: a refresh before a check, the code exchange at the
// end of a sign-in. Nothing secret is traced: the trace names the endpoint and the outcome.
#include <cstdint>
#include <string>

#include "platform/https_post.h"
#include "profile/oauth_provider.h"

// Said of an account whose refresh token the provider no longer takes.
constexpr char kSignInExpired[] = "sign-in expired: sign in again in Setting.exe";

struct TokenGrant {
    enum class Result {
        Granted,
        SignInExpired,  // invalid_grant: only a new sign-in helps
        Failed,         // the endpoint could not be reached, refused otherwise, or answered nonsense
    };
    Result result = Result::Failed;
    std::string accessToken;
    std::string refreshToken;      // a new one when the provider rotates it; else empty
    int64_t expiresInSeconds = 0;  // 0: not said
    std::string reason;            // when not granted: for the user, in the provider's words where it gave some
};

// stopFlag (may be null) ends the wait for the endpoint, as it ends a check's other waits.
TokenGrant RefreshAccessToken(const HttpsPoster& https, const OAuthEndpoints& endpoints,
                              const std::string& refreshToken, const std::string& trustFile,
                              const std::atomic<int32_t>* stopFlag);

TokenGrant ExchangeCode(const HttpsPoster& https, const OAuthEndpoints& endpoints, const std::string& code,
                        const std::string& redirectUri, const std::string& verifier, const std::string& trustFile,
                        const std::atomic<int32_t>* stopFlag);
