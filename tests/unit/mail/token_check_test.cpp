// OAuth 2.0 accounts: the POP3 login with a token, and the check with a stand-in token endpoint.
#include <gtest/gtest.h>

#include "debug_capture.h"
#include "mail/oauth/base64.h"
#include "mail/oauth/sasl_oauth.h"
#include "mail/oauth/token_client.h"
#include "mail_test_helpers.h"

namespace {

using Result = CheckOutcome::Result;
using Server = FakePop3Server;

class TokenCheckTest : public ::testing::Test {
protected:
    TokenCheckTest()
    {
        account.Account = "me@example.com";
        account.Address = "127.0.0.1";
        account.Port = server.Port();
        account.Auth = kAuthOAuth;
        account.OAuthProvider = "custom";
        account.TokenUrl = "https://idp.test/token";
        account.ClientId = "client";
        account.RefreshToken = "refresh-1";
        account.TrustFile = "ca.pem";
        environment.tickCount = [this] { return now; };
        environment.https = [this](const std::string& url, const std::string& body, const std::string& trustFile,
                                    const std::atomic<int32_t>*) {
            requests.push_back(url + " " + body + " " + trustFile);
            if (replies.empty())
                return HttpsReply{true, 400, "{}", ""};
            const std::string reply = replies.front();
            replies.erase(replies.begin());
            return HttpsReply{true, reply.find("error") != std::string::npos ? 400 : 200, reply, ""};
        };
        environment.storeRefreshToken = [this](const MailAccount& a) { stored.push_back(a.RefreshToken); };
        server.Script("CAPA", Server::Say("+OK\r\nSASL XOAUTH2\r\n.\r\n"));
    }
    std::string Check(MailAccount& checked)
    {
        checked.worker = true;
        CheckWorker(checked, environment);
        return LastFailure(checked);
    }
    CheckOutcome CheckWithToken(Server& other, const std::string& token)
    {
        account.Port = other.Port();
        Pop3Session session(account, nullptr, nullptr, 5000, 5000);
        session.UseAccessToken(token);
        return session.RunCheck();
    }
    static std::string Grant(const char* token, const char* refresh = nullptr)
    {
        return std::string(R"({"token_type":"Bearer","expires_in":3600,"access_token":")") + token + "\"" +
               (refresh ? std::string(R"(,"refresh_token":")") + refresh + "\"" : std::string()) + "}";
    }

    Server server{{"uid-1"}};
    MailAccount account;
    std::vector<std::string> replies;  // the token endpoint's, one body per request, in order
    std::vector<std::string> requests;
    CheckEnvironment environment;
    std::vector<std::string> stored;
    uint32_t now = 1000;
    DebugCapture trace;
};

// The initial response while the command fits in 255 bytes, else after the empty challenge; nothing sent ahead.
TEST_F(TokenCheckTest, TokenLoginSignsInWithTheOfferedMechanismKeepsTheTokenOutOfTheTraceAndReportsARefusal)
{
    const std::string longToken(200, 't');
    struct Case { const char* sasl; std::string token, expected; } cases[] = {  // expected: received after CAPA
        {"SASL PLAIN XOAUTH2 OAUTHBEARER", "ya29.short",
         "AUTH XOAUTH2 " + Base64(XOAuth2Response("me@example.com", "ya29.short")) + "\r\nSTAT"},
        {"SASL OAUTHBEARER", "ya29.short", ""},  // the port is part of the response
        {"SASL XOAUTH2", longToken, "AUTH XOAUTH2\r\n" + Base64(XOAuth2Response("me@example.com", longToken)) + "\r\n"},
    };
    for (Case& c : cases) {
        Server server({"uid-1"});
        server.Script("CAPA", Server::Say(std::string("+OK\r\nUIDL\r\nPIPELINING\r\n") + c.sasl + "\r\n.\r\n"));
        server.Script("AUTH ", Server::Say("+OK signed in\r\n"));
        server.Script("AUTH XOAUTH2", Server::Say("+ \r\n"));
        server.Script(Base64(XOAuth2Response("me@example.com", longToken)), Server::Say("+OK signed in\r\n"));
        if (c.expected.empty())
            c.expected = "AUTH OAUTHBEARER " +
                         Base64(OAuthBearerResponse("me@example.com", "ya29.short", "127.0.0.1", server.Port()));
        DebugCapture caseTrace;
        const CheckOutcome outcome = CheckWithToken(server, c.token);
        EXPECT_EQ(outcome.result, Result::Listed) << c.sasl << ": " << outcome.reason;
        const std::string received = server.ReceivedBytes();
        EXPECT_TRUE(received.find(c.expected) != std::string::npos && received.find("USER") == std::string::npos) << received;
        EXPECT_EQ(server.Waits(), c.token == longToken ? 8 : 7) << "each command waits for its reply";
        EXPECT_TRUE(caseTrace.Text().find(c.token.substr(0, 8)) == std::string::npos &&
                    caseTrace.Text().find(c.expected.substr(16, 20)) == std::string::npos) << "token traced: " << caseTrace.Text();
    }

    // A refusal, plain or after a challenge that explains it, asks the caller for a fresh token.
    for (const bool challenge : {false, true}) {
        Server server({"uid-1"});
        server.Script("CAPA", Server::Say("+OK\r\nSASL OAUTHBEARER\r\n.\r\n"));
        server.Script("AUTH ", Server::Say(challenge ? "+ eyJzdGF0dXMiOiJpbnZhbGlkX3Rva2VuIn0=\r\n" : "-ERR expired\r\n"));
        server.Script("AQ==", Server::Say("-ERR [AUTH] invalid token\r\n"));
        const CheckOutcome outcome = CheckWithToken(server, "stale");
        EXPECT_TRUE(outcome.result == Result::Failed && outcome.tokenRefused && outcome.reason == "token refused");
        const std::string sent = server.ReceivedBytes();
        EXPECT_TRUE((sent.find("AQ==") != std::string::npos) == challenge && sent.find("STAT") == std::string::npos) << sent;
    }
    const CheckOutcome outcome = CheckWithToken(server, "");
    EXPECT_TRUE(outcome.result == Result::Failed && !outcome.tokenRefused && server.ReceivedBytes().find("AUTH") == std::string::npos)
        << "no token, yet a login";
}

TEST_F(TokenCheckTest, RefreshesWhenDueStoresARotatedTokenAndRetriesARefusedOneOnce)
{
    replies = {Grant("access-1", "refresh-2")};
    server.Script("AUTH ", Server::Say("+OK\r\n"));
    EXPECT_EQ(Check(account), "");
    EXPECT_EQ(requests, std::vector<std::string>{
        "https://idp.test/token grant_type=refresh_token&refresh_token=refresh-1&client_id=client ca.pem"});
    EXPECT_TRUE(stored == std::vector<std::string>{"refresh-2"} && account.newUids.size() == 1) << "not stored, or not listed";

    now += 3600 * 1000 - 61000;  // still good for more than a minute: no request
    EXPECT_EQ(Check(account), "");
    now += 2000;
    replies = {Grant("access-2")};
    EXPECT_EQ(Check(account), "");
    EXPECT_TRUE(requests.size() == 2 && requests.back().find("refresh_token=refresh-2") != std::string::npos);

    server.Script("AUTH ", Server::Say("-ERR expired\r\n"));  // the held token refused: a refresh, a connection
    server.Script("AUTH XOAUTH2 " + Base64(XOAuth2Response("me@example.com", "access-3")), Server::Say("+OK\r\n"));
    replies = {Grant("access-3")};
    const int connections = server.Connections();
    EXPECT_EQ(Check(account), "");
    EXPECT_TRUE(server.Connections() == connections + 2 && requests.size() == 3 && stored.size() == 1)
        << server.Connections() - connections << " connections, " << requests.size() << " requests, " << stored.size() << " stored";
    const std::string traced = trace.Text();
    EXPECT_TRUE(traced.find("access-") == std::string::npos && traced.find("refresh-") == std::string::npos) << traced;
}

TEST_F(TokenCheckTest, ARefusedGrantFailsUntilTheNextSignInAndNeverFallsBackToAPassword)
{
    account.Password = "secret";
    replies = {R"({"error":"invalid_grant","error_description":"revoked"})"};
    for (int check = 0; check < 2; ++check)
        EXPECT_EQ(Check(account), kSignInExpired);
    EXPECT_TRUE(requests.size() == 1 && server.Connections() == 0) << "a refused grant asked again, or a server asked";

    account.signInExpired = false;  // as after a new sign-in
    replies = {R"({"error":"temporarily_unavailable"})"};
    EXPECT_EQ(Check(account), "temporarily_unavailable");
    EXPECT_TRUE(!account.signInExpired && requests.size() == 2 && server.ReceivedBytes().find("PASS") == std::string::npos)
        << "a password sent, or no new request";
}

}  // namespace
