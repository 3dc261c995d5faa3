#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "platform/profile_store.h"
#include "setting/account_form.h"
#include "setting/account_settings.h"
#include "profile/profile.h"

namespace {

const AccountForm kValid{"  alice ", "\tpop.example.com ", " 995 ", "10080", "", 4, kSecurityTls, "", ""};

TEST(SettingForm, AnEditedAccountKeepsWhatItsFormDoesNotChange)
{
    const AccountSettings stored{"bob", "10.0.0.1", "secret", 0, -1, 2110, kSecurityStls, "C:\\ca.pem", "AB:cd",
                                 1, "INBOX.Entw\xc3\xbcrfe"};
    EXPECT_EQ(SettingsFromForm(FormFromSettings(stored), stored), stored);
    EXPECT_EQ(SettingsFromForm(kValid, stored),
              (AccountSettings{"alice", "pop.example.com", "secret", 10080, 4, 995, kSecurityTls, "", ""}));
}

TEST(SettingForm, AcceptsWhatTheNotifierSendsAndRefusesTheRestWithTheFieldsOwnMessage)
{
    const std::string hex = "0123456789abcdef0123456789ABCDEF0123456789abcdef0123456789abcdef";
    using F = AccountForm;
    using P = FormField;
    struct Case {
        std::string F::*field;
        std::string text;
        P refused;
    };
    const Case cases[] = {
        {&F::interval, "0", P::None}, {&F::login, std::string(504, 'a'), P::None}, {&F::fingerprint, hex, P::None},
        {&F::password, std::string(504, 'p'), P::None}, {&F::fingerprint, " 01:23 45" + hex.substr(6), P::None},
        {&F::login, "   ", P::Login}, {&F::login, "a\r\nQUIT", P::Login}, {&F::login, std::string(505, 'a'), P::Login},
        {&F::server, "", P::Server}, {&F::server, "pop x.com", P::Server}, {&F::port, "0", P::Port},
        {&F::port, "65536", P::Port}, {&F::port, "11O", P::Port}, {&F::port, "4294967407", P::Port},
        {&F::interval, "5 min", P::Interval}, {&F::interval, "-1", P::Interval}, {&F::interval, "10081", P::Interval},
        {&F::password, "pw\nQUIT", P::Password}, {&F::password, std::string(505, 'p'), P::Password},
        {&F::trustFile, "C:\\ca\r.pem", P::TrustFile}, {&F::fingerprint, hex.substr(1), P::Fingerprint},
        {&F::fingerprint, hex + "00", P::Fingerprint}, {&F::fingerprint, "g" + hex.substr(1), P::Fingerprint},
    };
    for (const Case& c : cases) {
        AccountForm form = kValid;
        form.*c.field = c.text;
        const FormProblem problem = CheckForm(form);
        EXPECT_EQ(problem.field, c.refused) << '"' << c.text << '"';  // 0 minutes: about every second
        EXPECT_EQ(problem.message.empty(), c.refused == FormField::None);
    }
}

// What a check would refuse later is refused while the user still edits: a damaged security,
// a trust file or fingerprint without protection, a trust file the check could not use.
TEST(SettingForm, RefusesProtectionSettingsACheckCouldNotUse)
{
    const std::string folder = ::testing::TempDir();
    const std::string pem = folder + "zantoli-form-ca.pem", text = folder + "zantoli-form-text.pem";
    std::ofstream(pem) << "-----BEGIN CERTIFICATE-----\nMAQwAgAA\n-----END CERTIFICATE-----\n";
    std::ofstream(text) << "not a certificate\n";
    const std::string hex(64, 'a');
    struct Case {
        int32_t security;
        std::string trustFile;
        std::string fingerprint;
        FormField refused;
        const char* says;
    } cases[] = {
        {kSecurityUnknown, "", "", FormField::Security, "Choose the security"},
        {kSecurityStls, " " + pem, hex, FormField::None, ""},
        {kSecurityNone, pem, "", FormField::TrustFile, "needs STLS or TLS"},
        {kSecurityNone, "", hex, FormField::Fingerprint, "needs STLS or TLS"},
        {kSecurityTls, pem + ".missing", "", FormField::TrustFile, "Trust file unusable: not found."},
        {kSecurityTls, text, "", FormField::TrustFile, "Trust file unusable: holds no certificate."},
        {kSecurityTls, folder, "", FormField::TrustFile, "Trust file unusable: not a file."},
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
    std::remove(text.c_str());
}

// A profile whose writes to one key do not arrive, as when the registry refuses them.
class LossyStore : public MemoryProfileStore {
public:
    std::string lostKey;
    void Write(const std::string& section, const std::string& key, const std::string& text) override
    {
        if (key != lostKey)
            MemoryProfileStore::Write(section, key, text);
    }
};

class SettingAccountsTest : public ::testing::Test {
protected:
    void SetUp() override { SetProfileStore(&store); }
    void TearDown() override { SetProfileStore(nullptr); }
    LossyStore store;
};

TEST_F(SettingAccountsTest, RemovedAccountsLeaveNoSectionAndTheirSuccessorsInheritNothing)
{
    AccountSettingsList list = {{"a", "h", "pa", 5, 1, 2110, 0, "", ""}, {"b", "h", "", 5, 1, 110, 0, "", ""},
                                {"c", "h", "pc", 5, 1, 995, 0, "", ""}};
    store.Write("POP0", "Passward", "old account's secret");
    ASSERT_TRUE(SaveAccountSettings(list));
    list.erase(list.begin());  // "b" moves into the section that held port 2110 and a plain password
    list.pop_back();
    EXPECT_TRUE(SaveAccountSettings(list));
    EXPECT_EQ(LoadAccountSettings(), list);
    for (const char* key : {"Account", "Address", "CryptPassward", "Duration", "COLOR", "Port"})
        EXPECT_FALSE(store.Has("POP1", key) || store.Has("POP2", key)) << key;
}

TEST_F(SettingAccountsTest, AWriteThatDidNotArriveIsReportedNotTakenForSuccess)
{
    for (const char* lost : {"POP_COUNT", "Address", "CryptPassward", "COLOR", "Port"}) {
        LossyStore lossy;
        lossy.lostKey = lost;
        SetProfileStore(&lossy);
        EXPECT_FALSE(SaveAccountSettings({{"alice", "pop.example.com", "pw", 10, 3, 995, 0, "", ""}})) << lost;
    }
}

}  // namespace
