// The account dialog's Test against the scripted server, with a stand-in for TLS.
#include <gtest/gtest.h>

#include "fake_pop3_server.h"
#include "pass_through_tls.h"
#include "setting/account_test.h"

namespace {

AccountTestReport TryAccount(const FakePop3Server& server, TlsResult verdict)
{
    AccountSettings account;
    account.Account = "me";
    account.Address = "127.0.0.1";
    account.Port = server.Port();
    account.Security = kSecurityTls;
    TlsProbe probe{verdict, "", 0};
    return TestAccount(account, nullptr, [&](TcpClient& tcp) { return std::make_unique<PassThroughTls>(tcp, probe); },
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
