// The IMAP login of an account that signs in with an OAuth 2.0 access token: AUTHENTICATE
// XOAUTH2, or OAUTHBEARER where the server offers only that, with the initial response where
// the server takes one (SASL-IR).
#include "mail/imap/imap_session.h"
#include "mail/oauth/sasl_oauth.h"
#include "platform/debug_channel.h"

namespace {

constexpr char kTokenRefused[] = "token refused";
constexpr char kNoToken[] = "no access token";
// Untagged data that may come before the answer, as with any command.
constexpr size_t kMaxResponses = 10000;

void Trace(const char* judged, const std::string& reply)
{
    DebugWrite(std::string(judged) + "\nMSG: " + reply + "\n");
}

}  // namespace

bool ImapSession::LoginWithToken(const std::string& tag)
{
    if (accessToken.empty()) {
        Trace("Bad Connection", kNoToken);
        return Fail(kNoToken);
    }
    const TokenLogin login =
        ChooseTokenLogin(capabilities.count("AUTH=XOAUTH2"), capabilities.count("AUTH=OAUTHBEARER"), account.Account,
                         accessToken, account.Address, account.Port);
    const std::string command = tag + " AUTHENTICATE " + login.mechanism;
    const std::string& response = login.initialResponse;
    // The token is a password for its lifetime: the trace shows stars.
    if (capabilities.count("SASL-IR")) {
        DebugWrite(command + " ****\r\n\n");
        if (!stream->Send(command + " " + response + "\r\n"))
            return OutOfStep("Send failed", "connection failed");
    } else {
        bool refused = false;
        if (!SendCommand(command + "\r\n") || !AwaitContinuation(tag, "AUTHENTICATE refused", &refused))
            return false;
        DebugWrite("****\r\n\n");
        if (!stream->Send(response + "\r\n"))
            return OutOfStep("Send failed", "connection failed");
    }
    return AwaitAuthentication(tag, login.challengeAnswer);
}

// A refusal may come first as a challenge that explains it; the client answers it and then
// hears the NO.
bool ImapSession::AwaitAuthentication(const std::string& tag, const std::string& challengeAnswer)
{
    ImapResponse response;
    bool challenged = false;
    for (size_t count = 0; count < kMaxResponses; ++count) {
        if (!ReadResponse(response))
            return false;
        if (response.kind == ImapResponse::Kind::Continuation) {
            if (challenged)
                return OutOfStep("+ " + response.text, "bad reply");
            challenged = true;
            Trace("Command Normal End", "+ " + response.text);
            if (!SendCommand(challengeAnswer + "\r\n"))
                return false;
            continue;
        }
        if (response.kind != ImapResponse::Kind::Tagged) {
            if (!TakeUntagged(response))
                return false;
            continue;
        }
        if (response.tag != tag)
            return OutOfStep(response.tag + " " + response.text, "bad reply");
        const ImapCondition done = ReadCondition(response.text);
        if (done.status != ImapStatus::Ok) {
            Trace("Bad Connection", tag + " " + response.text);
            tokenRefused = true;
            return Fail(std::string(kTokenRefused) + (done.text.empty() ? "" : ": " + done.text));
        }
        Trace("Command Normal End", tag + " " + response.text);
        loggedIn = true;
        capabilitiesStale = DataName(done.code) != "CAPABILITY";
        if (!capabilitiesStale)
            capabilities = ReadCapabilities(done.code);
        return true;
    }
    return OutOfStep("Too many responses", "bad reply");
}
