// The POP3 login of an account that signs in with an OAuth 2.0 access token: SASL XOAUTH2, or
// OAUTHBEARER where the server offers only that, with AUTH as RFC 5034 gives it.
#include "mail/oauth/sasl_oauth.h"
#include "mail/pop3/pop3_reply.h"
#include "mail/pop3/pop3_session.h"

namespace {

// Commands may be this long, CR LF included; a longer initial response waits for the server's
// empty challenge and travels on a line of its own.
constexpr size_t kMaxCommandLine = 255;

constexpr char kTokenRefused[] = "token refused";
constexpr char kNoToken[] = "no access token";

bool IsOk(const std::string& text)
{
    return text.compare(0, 3, "+OK") == 0;
}

bool IsChallenge(const std::string& text)
{
    return !text.empty() && text[0] == '+' && !IsOk(text);
}

}  // namespace

bool Pop3Session::LoginWithToken()
{
    if (accessToken.empty()) {
        TraceFailure(kNoToken);
        return Fail(kNoToken);
    }
    const TokenLogin login =
        ChooseTokenLogin(capabilities.OffersSasl("XOAUTH2"), capabilities.OffersSasl("OAUTHBEARER"), account.Account,
                         accessToken, account.Address, account.Port);
    const std::string command = "AUTH " + login.mechanism;
    const std::string& response = login.initialResponse;
    std::string line;
    // The token is a password for its lifetime: the trace shows stars.
    if (command.size() + 1 + response.size() + 2 <= kMaxCommandLine) {
        if (!SendCommand(command + " " + response + "\r\n", command + " ****\r\n"))
            return false;
    } else {
        if (!SendCommand(command + "\r\n", command + "\r\n") || !ReadLine(line, kReplyLineLimit, kTokenRefused))
            return false;
        if (!IsChallenge(ReplyText(line))) {
            TraceFailure(ReplyText(line));
            return Fail(IsErrReply(ReplyText(line)) ? "AUTH refused" : "bad reply");
        }
        TraceSuccess(ReplyText(line));
        if (!SendCommand(response + "\r\n", "****\r\n"))
            return false;
    }
    if (!ReadLine(line, kReplyLineLimit, kTokenRefused))
        return false;
    std::string text = ReplyText(line);
    if (IsOk(text)) {
        TraceSuccess(text);
        return true;
    }
    // A refusal may come first as a challenge with the reason; the client answers it and then
    // hears the failure.
    if (IsChallenge(text)) {
        TraceSuccess(text);
        if (!SendCommand(login.challengeAnswer + "\r\n", "\r\n") ||
            !ReadLine(line, kReplyLineLimit, kTokenRefused))
            return false;
        text = ReplyText(line);
    }
    TraceFailure(text);
    tokenRefused = true;
    return Fail(kTokenRefused);
}
