#include "mail/oauth/token_client.h"

#include "mail/oauth/sign_in_request.h"
#include "mail/oauth/token_response.h"
#include "platform/debug_channel.h"

namespace {

TokenGrant Failed(std::string reason)
{
    TokenGrant grant;
    grant.reason = std::move(reason);
    return grant;
}

TokenGrant Request(const HttpsPoster& https, const std::string& tokenUrl, const std::string& body,
                   const std::string& trustFile, const std::atomic<int32_t>* stopFlag)
{
    if (!https) {
        DebugWrite("HTTPS is not available in this build\n");
        return Failed("HTTPS is not available in this build");
    }
    if (tokenUrl.empty())
        return Failed("no token endpoint");
    DebugWrite("Token request to " + tokenUrl + "\n");
    const HttpsReply reply = https(tokenUrl, body, trustFile, stopFlag);
    if (!reply.delivered) {
        DebugWrite("Token request failed: " + reply.failure + "\n");
        return Failed("token endpoint: " + reply.failure);
    }
    const TokenResponse response = ReadTokenResponse(reply.body);
    TokenGrant grant;
    switch (response.result) {
    case TokenResponse::Result::Granted:
        if (reply.status != 200)
            break;
        DebugWrite(response.refreshToken.empty() ? "Token granted\n" : "Token granted with a new refresh token\n");
        grant.result = TokenGrant::Result::Granted;
        grant.accessToken = response.accessToken;
        grant.refreshToken = response.refreshToken;
        grant.expiresInSeconds = response.expiresInSeconds;
        return grant;
    case TokenResponse::Result::Refused:
        DebugWrite("Token refused: " + response.error + "\n");
        if (response.error == "invalid_grant") {
            grant.result = TokenGrant::Result::SignInExpired;
            grant.reason = kSignInExpired;
            return grant;
        }
        return Failed(response.description.empty() ? response.error : response.error + ": " + response.description);
    case TokenResponse::Result::Malformed: break;
    }
    DebugWrite("Token reply unreadable (HTTP " + std::to_string(reply.status) + ")\n");
    return Failed("token endpoint: bad reply (HTTP " + std::to_string(reply.status) + ")");
}

}  // namespace

TokenGrant RefreshAccessToken(const HttpsPoster& https, const OAuthEndpoints& endpoints,
                              const std::string& refreshToken, const std::string& trustFile,
                              const std::atomic<int32_t>* stopFlag)
{
    if (refreshToken.empty()) {
        DebugWrite("Not signed in\n");
        TokenGrant grant;
        grant.result = TokenGrant::Result::SignInExpired;
        grant.reason = "not signed in: sign in in Setting.exe";
        return grant;
    }
    return Request(https, endpoints.tokenUrl, RefreshBody(endpoints, refreshToken), trustFile, stopFlag);
}

TokenGrant ExchangeCode(const HttpsPoster& https, const OAuthEndpoints& endpoints, const std::string& code,
                        const std::string& redirectUri, const std::string& verifier, const std::string& trustFile,
                        const std::atomic<int32_t>* stopFlag)
{
    return Request(https, endpoints.tokenUrl, CodeExchangeBody(endpoints, code, redirectUri, verifier), trustFile,
                   stopFlag);
}
