// The account dialog's Test against the scripted server, with a stand-in for TLS that passes
// the bytes through and gives the verdict and certificate it is told.
#include <gtest/gtest.h>

#include "fake_pop3_server.h"
#include "mail/oauth/base64.h"
#include "mail/oauth/sasl_oauth.h"
#include "setting/account_test.h"

namespace {

class StandInTls : public TlsLayer {
public:
    StandInTls(TcpClient& tcp, TlsResult verdict) : tcp(tcp), verdict(verdict) {}
    TlsResult Handshake(const TlsOptions&) override { return verdict; }
    std::string CertificateDescription() const override { return "CN=home"; }
    CertificateSummary Certificate() const override
    {
        return {"CN=home", "CN=home", "2026-01-01 00:00 UTC", "2027-01-01 00:00 UTC", "5E:0A"};
    }
    bool Send(const std::string& bytes) override { return tcp.Send(bytes); }
    LineResult ReadLine(std::string& line, size_t maxLength) override { return tcp.ReadLine(line, maxLength); }
    void Close() override {}

private:
    TcpClient& tcp;
    TlsResult verdict;
};

AccountTestReport TryAccount(const FakePop3Server& server, TlsResult verdict)
{
    AccountSettings account;
    account.Account = "me";
    account.Address = "127.0.0.1";
    account.Port = server.Port();
    account.Security = kSecurityTls;
    return TestAccount(account, nullptr, [verdict](TcpClient& tcp) { return std::make_unique<StandInTls>(tcp, verdict); },
                       HttpsPoster(), 5000, 5000);
}

TEST(SettingTestButton, SaysWhatTheCheckFoundAndHandsOverOnlyACertificateItRefused)
{
    // A good test and a refused login against a real server: win_setting.
    FakePop3Server server({"a", "b", "c"});
    const AccountTestReport report = TryAccount(server, TlsResult::NameMismatch);
    EXPECT_FALSE(report.connected);
    EXPECT_EQ(report.text, "certificate name mismatch");
    ASSERT_TRUE(report.certificateRefused);
    EXPECT_EQ(CertificateText(report.certificate),
              "Subject: CN=home\r\nIssued by: CN=home\r\nValid from 2026-01-01 00:00 UTC until 2027-01-01 00:00 UTC\r\n"
              "SHA-256: 5E:0A");
    // A handshake that never got a certificate has nothing to trust.
    EXPECT_FALSE(TryAccount(server, TlsResult::HandshakeFailed).certificateRefused);
    EXPECT_EQ(OutcomeText(CheckOutcome{CheckOutcome::Result::Listed, {"x"}, ""}, 0), "Connected: 1 message");
    EXPECT_EQ(OutcomeText(CheckOutcome{CheckOutcome::Result::EmptyMailbox, {}, ""}, 1), "Connected: 0 unread messages");
}

// An account that signs in is tried with a fresh access token, never without one; a refresh
// token the provider rotated goes back to the dialog, which stores it with the account.
TEST(SettingTestButton, AnAccountThatSignsInIsTriedWithAFreshTokenAndKeepsARotatedOne)
{
    FakePop3Server server({"a"});
    server.Script("CAPA", FakePop3Server::Say("+OK\r\nSASL XOAUTH2\r\n.\r\n"));
    server.Script("AUTH ", FakePop3Server::Say("+OK signed in\r\n"));
    AccountSettings account;
    account.Account = "me";
    account.Address = "127.0.0.1";
    account.Port = server.Port();
    account.Auth = kAuthOAuth;
    account.OAuthProvider = "custom";
    account.TokenUrl = "https://idp.test/token";
    std::vector<std::string> posted;
    const HttpsPoster https = [&](const std::string&, const std::string& body, const std::string&,
                                  const std::atomic<int32_t>*) {
        posted.push_back(body);
        return HttpsReply{true, 200, R"({"access_token":"fresh","token_type":"Bearer","refresh_token":"rotated"})", ""};
    };
    EXPECT_EQ(TestAccount(account, nullptr, nullptr, https, 5000, 5000).text, "not signed in: press Sign in... first");
    EXPECT_TRUE(posted.empty() && server.ReceivedBytes().empty());
    account.RefreshToken = "old";
    const AccountTestReport report = TestAccount(account, nullptr, nullptr, https, 5000, 5000);
    EXPECT_TRUE(report.connected) << report.text;
    EXPECT_EQ(report.rotatedRefreshToken, "rotated");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_NE(posted[0].find("refresh_token=old"), std::string::npos) << posted[0];
    EXPECT_NE(server.ReceivedBytes().find("AUTH XOAUTH2 " + Base64(XOAuth2Response("me", "fresh"))), std::string::npos);
}

}  // namespace
