// The account dialog: its form, and its Test against the scripted server with a stand-in for TLS.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "fake_pop3_server.h"
#include "mail/oauth/base64.h"
#include "mail/oauth/sasl_oauth.h"
#include "pass_through_tls.h"
#include "setting/account_form.h"
#include "setting/account_test.h"
#include "stored_account.h"

namespace {

const AccountForm kValid{"  alice ", "\tpop.example.com ", " 995 ", "10080", "", 4, kSecurityTls, "", ""};

TEST(SettingForm, AnEditedAccountKeepsWhatItsFormDoesNotChange)
{
    AccountSettings stored = Account("bob", "secret", 0, -1, 2110, kSecurityStls);
    stored.Address = "10.0.0.1";
    stored.TrustFile = "C:\\ca.pem";
    stored.Fingerprint = "AB:cd";
    stored.UnreadableSecrets = kSecretPassword;
    stored.Protocol = kProtocolImap;
    stored.Folder = "INBOX.Entw\xc3\xbcrfe";
    EXPECT_EQ(SettingsFromForm(FormFromSettings(stored), stored), stored);
    AccountSettings expected = Account("alice", "secret", 10080, 4, 995, kSecurityTls);
    expected.Address = "pop.example.com";
    expected.UnreadableSecrets = kSecretPassword;
    EXPECT_EQ(SettingsFromForm(kValid, stored), expected);
    AccountForm typed = kValid;
    expected.Password = typed.password = "again";
    expected.UnreadableSecrets = 0;  // given again: the copied value is replaced at the next save
    EXPECT_EQ(SettingsFromForm(typed, stored), expected);
}

TEST(SettingForm, AcceptsWhatTheNotifierSendsAndRefusesTheRestWithTheFieldsOwnMessage)
{
    const std::string hex = "0123456789abcdef0123456789ABCDEF0123456789abcdef0123456789abcdef";
    using F = AccountForm;
    using P = FormField;
    struct Case { std::string F::*field; std::string text; P refused; };
    const Case cases[] = {
        {&F::interval, "0", P::None}, {&F::login, std::string(504, 'a'), P::None}, {&F::fingerprint, hex, P::None},
        {&F::password, std::string(504, 'p'), P::None}, {&F::fingerprint, " 01:23 45" + hex.substr(6), P::None},
        {&F::login, "   ", P::Login}, {&F::login, "a\r\nQUIT", P::Login}, {&F::login, std::string(505, 'a'), P::Login},
        {&F::server, "", P::Server}, {&F::server, "pop x.com", P::Server}, {&F::port, "0", P::Port},
        {&F::port, "65536", P::Port}, {&F::port, "11O", P::Port}, {&F::port, "4294967407", P::Port},
        {&F::interval, "5 min", P::Interval}, {&F::interval, "-1", P::Interval}, {&F::interval, "10081", P::Interval},
        {&F::password, "pw\nQUIT", P::Password}, {&F::password, std::string(505, 'p'), P::Password},
        {&F::trustFile, "C:\\ca\r.pem", P::TrustFile}, {&F::fingerprint, hex.substr(1), P::Fingerprint},
    };
    for (const Case& c : cases) {
        AccountForm form = kValid;
        form.*c.field = c.text;
        const FormProblem problem = CheckForm(form);
        EXPECT_EQ(problem.field, c.refused) << '"' << c.text << '"';  // 0 minutes: about every second
        EXPECT_EQ(problem.message.empty(), c.refused == FormField::None);
    }
}

// What a check would refuse later is refused while the user still edits.
TEST(SettingForm, RefusesProtectionSettingsACheckCouldNotUse)
{
    const std::string folder = ::testing::TempDir();
    const std::string pem = folder + "zantoli-form-ca.pem";
    std::ofstream(pem) << "-----BEGIN CERTIFICATE-----\nMAQwAgAA\n-----END CERTIFICATE-----\n";
    const std::string hex(64, 'a');
    struct Case { int32_t security; std::string trustFile, fingerprint; FormField refused; const char* says; } cases[] = {
        {kSecurityStls, " " + pem, hex, FormField::None, ""},
        {kSecurityNone, pem, "", FormField::TrustFile, "needs STLS or TLS"},
        {kSecurityNone, "", hex, FormField::Fingerprint, "needs STLS or TLS"},
        {kSecurityTls, pem + ".missing", "", FormField::TrustFile, "Trust file unusable: not found."},
    };
    for (const Case& c : cases) {
        AccountForm form = kValid;
        form.security = c.security;
        form.trustFile = c.trustFile;
        form.fingerprint = c.fingerprint;
        const FormProblem problem = CheckForm(form);
        EXPECT_EQ(problem.field, c.refused) << c.trustFile << c.fingerprint;
        EXPECT_NE(problem.message.find(c.says), std::string::npos) << problem.message;
    }
    std::remove(pem.c_str());
}

AccountTestReport TryAccount(const FakePop3Server& server, TlsResult verdict)
{
    AccountSettings account = Account("me", "", 0, 0, server.Port(), kSecurityTls);
    account.Address = "127.0.0.1";
    TlsProbe probe{verdict, "", 0};
    return TestAccount(account, nullptr, [&](TcpClient& tcp) { return std::make_unique<PassThroughTls>(tcp, probe); },
                       HttpsPoster(), 5000, 5000);
}

TEST(SettingTestButton, SaysWhatTheCheckFoundHandsOverOnlyARefusedCertificateAndSignsInWithAFreshToken)
{
    // A good test and a refused login against a real server: win_setting.
    FakePop3Server server({"a", "b", "c"});
    const AccountTestReport report = TryAccount(server, TlsResult::NameMismatch);
    EXPECT_EQ(report.text, "certificate name mismatch");
    ASSERT_TRUE(!report.connected && report.certificateRefused);
    EXPECT_EQ(CertificateText(report.certificate),
              "Subject: CN=home\r\nIssued by: CN=home\r\nValid from 2026-01-01 00:00 UTC until 2027-01-01 00:00 UTC\r\n"
              "SHA-256: 5E:0A");
    // A handshake that never got a certificate has nothing to trust.
    EXPECT_FALSE(TryAccount(server, TlsResult::HandshakeFailed).certificateRefused);
    EXPECT_EQ(OutcomeText(CheckOutcome{CheckOutcome::Result::Listed, {"x"}, ""}, 0), "Connected: 1 message");
    EXPECT_EQ(OutcomeText(CheckOutcome{CheckOutcome::Result::EmptyMailbox, {}, ""}, 1), "Connected: 0 unread messages");

    // An account that signs in is tried with a fresh access token, never without one; a refresh
    // token the provider rotated goes back to the dialog, which stores it with the account.
    FakePop3Server signingIn({"a"});
    signingIn.Script("CAPA", FakePop3Server::Say("+OK\r\nSASL XOAUTH2\r\n.\r\n"));
    signingIn.Script("AUTH ", FakePop3Server::Say("+OK signed in\r\n"));
    AccountSettings account = Account("me", "", 0, 0, signingIn.Port());
    account.Address = "127.0.0.1";
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
    EXPECT_TRUE(posted.empty() && signingIn.ReceivedBytes().empty());
    account.RefreshToken = "old";
    const AccountTestReport signedIn = TestAccount(account, nullptr, nullptr, https, 5000, 5000);
    EXPECT_TRUE(signedIn.connected && signedIn.rotatedRefreshToken == "rotated") << signedIn.text;
    EXPECT_TRUE(posted.size() == 1 && posted[0].find("refresh_token=old") != std::string::npos) << posted.size();
    EXPECT_NE(signingIn.ReceivedBytes().find("AUTH XOAUTH2 " + Base64(XOAuth2Response("me", "fresh"))), std::string::npos);
}

}  // namespace
