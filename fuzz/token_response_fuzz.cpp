// libFuzzer target over the token endpoint's reply, the one thing a provider sends that the
// notifier reads. Besides crashes, leaks and hangs it stops on a broken rule: a token is
// believed only in a whole grant, and is then printable text without blanks; an error is
// named, and neither it nor its description carries a control character.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_rules.h"
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const TokenResponse reply = ReadTokenResponse(std::string(reinterpret_cast<const char*>(data), size));
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
