// The POP3 login with an OAuth 2.0 access token against the scripted server.
#include <gtest/gtest.h>

#include <algorithm>

#include "debug_capture.h"
#include "mail/oauth/base64.h"
#include "mail/oauth/sasl_oauth.h"
#include "session_helpers.h"

namespace {

using Result = CheckOutcome::Result;
using Server = FakePop3Server;

CheckOutcome CheckWithToken(Server& server, const std::string& token)
{
    AccountSettings settings;
    settings.Account = "me@example.com";
    settings.Address = "127.0.0.1";
    settings.Port = server.Port();
    settings.Auth = kAuthOAuth;
    Pop3Session session(settings, nullptr, nullptr, 5000, 5000);
    session.UseAccessToken(token);
    return session.RunCheck();
}

// The mechanism the server offers, the initial response while the command fits in 255 bytes and
// after the empty challenge beyond; never USER or PASS, never the token in the trace. The server
// pipelines, but nothing is sent ahead of a reply after a token login.
TEST(Pop3TokenLogin, SignsInWithTheOfferedMechanismAndKeepsTheTokenOutOfTheTrace)
{
    const std::string longToken(200, 't');
    struct Case {
        const char* sasl;
        std::string token;
        std::string expected;  // what the server must receive after CAPA
    } cases[] = {
        {"SASL PLAIN XOAUTH2 OAUTHBEARER", "ya29.short",
         "AUTH XOAUTH2 " + Base64(XOAuth2Response("me@example.com", "ya29.short")) + "\nSTAT"},
        {"SASL OAUTHBEARER", "ya29.short", "AUTH OAUTHBEARER " + Base64(OAuthBearerResponse("me@example.com", "ya29.short", "127.0.0.1", 0))},
        {"SASL XOAUTH2", longToken, "AUTH XOAUTH2\n" + Base64(XOAuth2Response("me@example.com", longToken)) + "\n"},
    };
    for (Case& c : cases) {
        Server server({"uid-1"});
        server.Script("CAPA", Server::Say(std::string("+OK\r\nUIDL\r\nPIPELINING\r\n") + c.sasl + "\r\n.\r\n"));
        server.Script("AUTH ", Server::Say("+OK signed in\r\n"));
        server.Script("AUTH XOAUTH2", Server::Say("+ \r\n"));
        server.Script(Base64(XOAuth2Response("me@example.com", longToken)), Server::Say("+OK signed in\r\n"));
        if (std::string(c.sasl) == "SASL OAUTHBEARER")  // the port is part of the response
            c.expected = "AUTH OAUTHBEARER " +
                         Base64(OAuthBearerResponse("me@example.com", "ya29.short", "127.0.0.1", server.Port()));
        DebugCapture trace;
        const CheckOutcome outcome = CheckWithToken(server, c.token);
        EXPECT_EQ(outcome.result, Result::Listed) << c.sasl << ": " << outcome.reason;
        std::string received = server.ReceivedBytes();
        received.erase(std::remove(received.begin(), received.end(), '\r'), received.end());
        EXPECT_NE(received.find(c.expected), std::string::npos) << received;
        EXPECT_EQ(received.find("USER"), std::string::npos);
        EXPECT_EQ(server.Waits(), c.token == longToken ? 8 : 7) << "each command waits for its reply";
        EXPECT_EQ(trace.Text().find(c.token.substr(0, 8)), std::string::npos) << trace.Text();
        EXPECT_EQ(trace.Text().find(c.expected.substr(16, 20)), std::string::npos) << "the encoded token is traced";
    }
}

// A refusal, plain or after a challenge that explains it, asks the caller for a fresh token.
TEST(Pop3TokenLogin, ARefusedTokenFailsTheCheckAndSaysSo)
{
    for (const bool challenge : {false, true}) {
        Server server({"uid-1"});
        server.Script("CAPA", Server::Say("+OK\r\nSASL OAUTHBEARER\r\n.\r\n"));
        server.Script("AUTH ", Server::Say(challenge ? "+ eyJzdGF0dXMiOiJpbnZhbGlkX3Rva2VuIn0=\r\n" : "-ERR expired\r\n"));
        server.Script("AQ==", Server::Say("-ERR [AUTH] invalid token\r\n"));
        const CheckOutcome outcome = CheckWithToken(server, "stale");
        EXPECT_TRUE(outcome.result == Result::Failed && outcome.tokenRefused && outcome.reason == "token refused");
        EXPECT_EQ(server.ReceivedBytes().find("AQ==") != std::string::npos, challenge) << server.ReceivedBytes() << outcome.reason;
        EXPECT_EQ(server.ReceivedBytes().find("STAT"), std::string::npos);
    }
    Server server({"uid-1"});
    const CheckOutcome outcome = CheckWithToken(server, "");
    EXPECT_TRUE(outcome.result == Result::Failed && !outcome.tokenRefused);
    EXPECT_EQ(server.ReceivedBytes().find("AUTH"), std::string::npos) << "no token, no login";
}

}  // namespace
