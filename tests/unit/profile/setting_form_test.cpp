#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "platform/profile_store.h"
#include "setting/account_form.h"
#include "setting/account_settings.h"
#include "profile/profile.h"
#include "stored_account.h"
#include "test_seal.h"

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
    typed.password = "again";
    expected.Password = "again";
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

// What a check would refuse later is refused while the user still edits.
TEST(SettingForm, RefusesProtectionSettingsACheckCouldNotUse)
{
    const std::string folder = ::testing::TempDir();
    const std::string pem = folder + "zantoli-form-ca.pem", text = folder + "zantoli-form-text.pem";
    std::ofstream(pem) << "-----BEGIN CERTIFICATE-----\nMAQwAgAA\n-----END CERTIFICATE-----\n";
    std::ofstream(text) << "not a certificate\n";
    const std::string hex(64, 'a');
    struct Case { int32_t security; std::string trustFile, fingerprint; FormField refused; const char* says; } cases[] = {
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
    void WriteBinary(const std::string& section, const std::string& key, const std::string& bytes) override
    {
        if (key != lostKey)
            MemoryProfileStore::WriteBinary(section, key, bytes);
    }
};

TEST(SettingAccounts, RemovedAccountsLeaveNoSectionAndAWriteThatDidNotArriveIsReported)
{
    TestSeal seal;
    LossyStore store;
    SetProfileStore(&store);
    AccountSettingsList list = {Account("a", "pa", 5, 1, 2110), Account("b", "", 5, 1, 110), Account("c", "pc", 5, 1, 995)};
    store.Write("POP0", "Passward", "old account's secret");
    EXPECT_TRUE(SaveAccountSettings(list, seal));
    list.erase(list.begin());  // "b" moves into the section that held port 2110 and a password
    list.pop_back();
    EXPECT_TRUE(SaveAccountSettings(list, seal));
    EXPECT_EQ(LoadAccountSettings(seal), list);
    for (const char* key : {"Account", "Address", "ProtectedPassward", "Duration", "COLOR", "Port"})
        EXPECT_FALSE(store.Has("POP1", key) || store.Has("POP2", key)) << key;

    for (const char* lost : {"POP_COUNT", "Address", "ProtectedPassward", "COLOR", "Port"}) {
        store = LossyStore();
        store.lostKey = lost;
        EXPECT_FALSE(SaveAccountSettings({Account("alice", "pw", 5, 1, 995)}, seal)) << lost;
    }
    SetProfileStore(nullptr);
}

}  // namespace
