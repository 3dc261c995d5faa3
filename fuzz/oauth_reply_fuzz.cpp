// libFuzzer target over what a provider or a browser sends during OAuth 2.0: the token
// endpoint's JSON reply and the redirect's request line. The first byte picks which. Besides
// crashes, leaks and hangs it stops on a broken rule: a token is believed only in a whole
// grant, and is then printable text without blanks; nothing read carries a control character.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mail/oauth/sign_in_request.h"
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

bool HasControl(const std::string& text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    }
    return false;
}

void Check(bool rule)
{
    if (!rule)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) {
        RedirectQuery query;
        if (ReadRedirectRequest(text, "/", query))
            Check(!HasControl(query.code) && !HasControl(query.state) && !HasControl(query.error) &&
                  !HasControl(query.description));
        return 0;
    }
    const TokenResponse reply = ReadTokenResponse(text);
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
    return 0;
}
