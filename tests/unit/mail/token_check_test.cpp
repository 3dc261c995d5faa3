// The check of an account that signs in with OAuth 2.0, with a stand-in token endpoint and the
// scripted mail server.
#include <gtest/gtest.h>

#include "debug_capture.h"
#include "mail/oauth/base64.h"
#include "mail/oauth/sasl_oauth.h"
#include "mail/oauth/token_client.h"
#include "session_helpers.h"

namespace {

using Server = FakePop3Server;

struct Endpoint {
    std::vector<std::string> replies;  // one body per request, in order
    std::vector<std::string> requests;
    HttpsReply Post(const std::string& url, const std::string& body, const std::string& trustFile)
    {
        requests.push_back(url + " " + body + " " + trustFile);
        HttpsReply reply;
        reply.delivered = true;
        reply.status = replies.empty() || replies.front().find("error") != std::string::npos ? 400 : 200;
        reply.body = replies.empty() ? std::string("{}") : replies.front();
        if (!replies.empty())
            replies.erase(replies.begin());
        return reply;
    }
};

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
        environment.https = [this](const std::string& u, const std::string& b, const std::string& t) {
            return endpoint.Post(u, b, t);
        };
        environment.storeRefreshToken = [this](const MailAccount& a) { stored.push_back(a.RefreshToken); };
        server.Script("CAPA", Server::Say("+OK\r\nSASL XOAUTH2\r\n.\r\n"));
    }
    std::string Check()
    {
        account.worker = true;
        CheckWorker(account, environment);
        std::lock_guard<std::mutex> guard(account.uidLock);
        return account.lastFailure;
    }
    static std::string Grant(const char* token, const char* refresh = nullptr)
    {
        return std::string(R"({"token_type":"Bearer","expires_in":3600,"access_token":")") + token + "\"" +
               (refresh ? std::string(R"(,"refresh_token":")") + refresh + "\"" : std::string()) + "}";
    }

    Server server{{"uid-1"}};
    MailAccount account;
    Endpoint endpoint;
    CheckEnvironment environment;
    std::vector<std::string> stored;
    uint32_t now = 1000;
    DebugCapture trace;
};

// The token is refreshed when none is held or it is about to expire, a rotated refresh token is
// stored at once, and a token the server refuses gets one refresh and one more try.
TEST_F(TokenCheckTest, RefreshesWhenDueStoresARotatedTokenAndRetriesARefusedOneOnce)
{
    endpoint.replies = {Grant("access-1", "refresh-2")};
    server.Script("AUTH ", Server::Say("+OK\r\n"));
    EXPECT_EQ(Check(), "");
    ASSERT_EQ(endpoint.requests.size(), 1u);
    EXPECT_EQ(endpoint.requests[0],
              "https://idp.test/token grant_type=refresh_token&refresh_token=refresh-1&client_id=client ca.pem");
    EXPECT_EQ(stored, std::vector<std::string>{"refresh-2"});
    EXPECT_EQ(account.newUids.size(), 1u);

    now += 3600 * 1000 - 61000;  // still good for more than a minute: no request
    EXPECT_EQ(Check(), "");
    now += 2000;
    endpoint.replies = {Grant("access-2")};
    EXPECT_EQ(Check(), "");
    EXPECT_EQ(endpoint.requests.size(), 2u);
    EXPECT_NE(endpoint.requests[1].find("refresh_token=refresh-2"), std::string::npos);

    // The server refuses the held token: one refresh, one more connection.
    server.Script("AUTH ", Server::Say("-ERR expired\r\n"));
    server.Script("AUTH XOAUTH2 " + Base64(XOAuth2Response("me@example.com", "access-3")), Server::Say("+OK\r\n"));
    endpoint.replies = {Grant("access-3")};
    const int connections = server.Connections();
    EXPECT_EQ(Check(), "");
    EXPECT_EQ(server.Connections(), connections + 2);
    EXPECT_EQ(endpoint.requests.size(), 3u);
    EXPECT_EQ(stored.size(), 1u);
    EXPECT_EQ(trace.Text().find("access-"), std::string::npos) << "a token reached the trace";
    EXPECT_EQ(trace.Text().find("refresh-"), std::string::npos) << "a token reached the trace";
}

TEST_F(TokenCheckTest, ARefusedGrantFailsUntilTheNextSignInAndNeverFallsBackToAPassword)
{
    account.Password = "secret";
    endpoint.replies = {R"({"error":"invalid_grant","error_description":"revoked"})"};
    EXPECT_EQ(Check(), kSignInExpired);
    EXPECT_EQ(Check(), kSignInExpired);
    EXPECT_EQ(endpoint.requests.size(), 1u) << "a refused grant is not asked again";
    EXPECT_EQ(server.Connections(), 0);

    MailAccount other;
    other.Auth = kAuthOAuth;
    other.TokenUrl = "https://idp.test/token";
    other.RefreshToken = "r";
    endpoint.replies = {R"({"error":"temporarily_unavailable"})"};
    other.worker = true;
    CheckWorker(other, environment);
    EXPECT_EQ(other.lastFailure, "temporarily_unavailable");
    EXPECT_FALSE(other.signInExpired);
    EXPECT_EQ(server.ReceivedBytes().find("PASS"), std::string::npos);
}

}  // namespace
