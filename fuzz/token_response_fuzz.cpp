// libFuzzer target over the token endpoint's reply, the one thing a provider sends that the
// notifier reads: the JSON reader on its own, and the token client's verdict on the reply's
// status and body. Besides crashes, leaks and hangs it stops on a broken rule: a token is
// believed only in a whole grant with status 200, and is then printable text without blanks;
// an error is named, and neither it, its description nor the reason the user sees carries a
// control character; only "invalid_grant" ends the sign-in.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_rules.h"
#include "mail/oauth/token_client.h"
#include "mail/oauth/token_response.h"

namespace {

bool IsTokenText(const std::string& text)
{
    for (const char c : text) {
        if (c < 0x21 || c > 0x7E)
            return false;
    }
    return !text.empty();
}

void CheckReader(const TokenResponse& reply)
{
    switch (reply.result) {
    case TokenResponse::Result::Granted:
        Check(IsTokenText(reply.accessToken) && (reply.refreshToken.empty() || IsTokenText(reply.refreshToken)));
        Check(reply.expiresInSeconds >= 0 && reply.expiresInSeconds <= 365LL * 24 * 3600);
        break;
    case TokenResponse::Result::Refused:
        Check(!reply.error.empty() && !HasControl(reply.error) && !HasControl(reply.description));
        Check(reply.accessToken.empty() && reply.refreshToken.empty());
        break;
    case TokenResponse::Result::Malformed:
        Check(reply.accessToken.empty() && reply.refreshToken.empty());
        break;
    }
}

// The reply as the token client judges it; the first byte picks the HTTP status.
void CheckClient(const std::string& body, const TokenResponse& reply)
{
    static const int kStatuses[] = {200, 400, 401, 503};
    const int status = kStatuses[body.empty() ? 0 : static_cast<unsigned char>(body[0]) % 4];
    const HttpsPoster endpoint = [&](const std::string&, const std::string&, const std::string&,
                                     const std::atomic<int32_t>*) { return HttpsReply{true, status, body, ""}; };
    OAuthEndpoints endpoints;
    endpoints.tokenUrl = "https://idp.test/token";
    const TokenGrant grant = RefreshAccessToken(endpoint, endpoints, "refresh", "", nullptr);
    const bool granted = status == 200 && reply.result == TokenResponse::Result::Granted;
    Check((grant.result == TokenGrant::Result::Granted) == granted);
    Check(granted ? grant.accessToken == reply.accessToken && grant.reason.empty()
                  : grant.accessToken.empty() && !grant.reason.empty() && !HasControl(grant.reason));
    Check((grant.result == TokenGrant::Result::SignInExpired) ==
          (reply.result == TokenResponse::Result::Refused && reply.error == "invalid_grant"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    const TokenResponse reply = ReadTokenResponse(body);
    CheckReader(reply);
    CheckClient(body, reply);
    return 0;
}
