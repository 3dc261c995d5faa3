// The account dialog's Test against the scripted server, with a stand-in for TLS that passes
// the bytes through and gives the verdict and certificate it is told.
#include <gtest/gtest.h>

#include "fake_pop3_server.h"
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
                       5000, 5000);
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

}  // namespace
