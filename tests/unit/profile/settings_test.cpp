#include <gtest/gtest.h>

#include <tuple>

#include "debug_capture.h"
#include "stored_account.h"
#include "platform/profile_store.h"
#include "platform/secret_seal.h"
#include "profile/account_profile.h"
#include "profile/account_secrets.h"
#include "profile/password_codec.h"
#include "profile/profile.h"
#include "setting/account_settings.h"

namespace {

// A stand-in for the user's data protection: a tag and the bytes reversed; opens only its own.
class TestSeal : public SecretSeal {
public:
    bool canSeal = true;

    bool Seal(const std::string& secret, std::string& sealed) const override
    {
        sealed = "sealed:" + std::string(secret.rbegin(), secret.rend());  // the caller must not use it on failure
        return canSeal;
    }
    bool Open(const std::string& sealed, std::string& secret) const override
    {
        if (sealed.rfind("sealed:", 0) != 0)
            return false;
        secret.assign(sealed.rbegin(), sealed.rend() - 7);
        return true;
    }
};

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

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { SetProfileStore(&store); }
    void TearDown() override { SetProfileStore(nullptr); }

    AccountSettings Load(int index)
    {
        AccountSettings account;
        LoadAccount(index, account, seal);
        return account;
    }

    LossyStore store;
    TestSeal seal;
};

TEST_F(SettingsTest, LoadsEveryFieldByAtoiRulesAMissingSectionAsEmptyAndCryptPasswardOverPasswardUnlessEmpty)
{
    const std::pair<const char*, const char*> keys[] = {{"Account", "alice"}, {"Address", "host"},
        {"Duration", " 15min"}, {"Passward", "plain"}, {"COLOR", "-4"}, {"Port", "2110"}, {"Security", "1"}};
    for (const auto& key : keys)
        store.Write("POP1", key.first, key.second);
    EXPECT_EQ(Load(1), Account("alice", "plain", 15, -4, 2110, kSecurityStls));
    EXPECT_EQ(Load(7), AccountSettings());

    const std::pair<const char*, int32_t> numbers[] = {{"abc", 0}, {"-5", -5}, {"\t+12abc", 12}, {"- 3", 0},
                                                       {"99999999999", INT32_MAX}, {"-99999999999", INT32_MIN}};
    for (const auto& number : numbers)
        EXPECT_EQ(TextToInt(number.first), number.second) << number.first;
    for (const char* port : {"", "0", "65536", "-1", "pop"}) {
        store.Write("POP0", "Port", port);
        EXPECT_EQ(Load(0).Port, 110) << '"' << port << '"';
    }
    // Only the exact stored forms count; anything else is unknown, never plain text.
    store.Write("POP0", "Port", "");
    const std::tuple<const char*, int32_t, int> securities[] = {{"", kSecurityNone, 110},
        {"2", kSecurityTls, 995}, {"1", kSecurityStls, 110}, {"3", kSecurityUnknown, 110},
        {"1x", kSecurityUnknown, 110}, {" 1", kSecurityUnknown, 110}, {"-1", kSecurityUnknown, 110}};
    for (const auto& [text, security, port] : securities) {
        store.Write("POP0", "Security", text);
        EXPECT_TRUE(Load(0).Security == security && Load(0).Port == port) << '"' << text << '"';
    }

    store.Write("POP0", "Passward", "plain");
    const std::pair<const char*, std::string> cases[] = {{"", "plain"}, {"736563726574", "secret"}, {"4A4b", "JK"},
        {"414", "A\x04"}, {"4g42", "\x04" "B"}, {"4100ff", "A"}, {"00", ""}, {"zz41", ""}};
    for (const auto& c : cases) {
        store.Write("POP0", "CryptPassward", c.first);
        EXPECT_EQ(Load(0).Password, c.second) << c.first;
    }
    std::string all;
    for (int byte = 1; byte < 256; ++byte)
        all += char(byte);
    EXPECT_EQ(DecodePassword(EncodePassword(all)), all);
}

TEST_F(SettingsTest, SavesStoredFormsAndLeavesOtherKeysAndHigherSectionsAlone)
{
    for (const auto& [section, key, text] : {std::tuple<const char*, const char*, const char*>{"POP4", "Account", "old"},
             {"POP0", "Passward", "kept"}, {"POP0", "Port", "2110"}, {"POP0", "Security", "2"}, {"POP1", "Passward", "plain"}})
        store.Write(section, key, text);
    const std::vector<AccountSettings> list = {Account("user0", "p\xe9", -5, -1, 110), Account("user1", "", 3, 9, 110),
                                               Account("user2", "", 3, 9, 995, kSecurityTls),
                                               Account("user3", "", 3, 9, 110, kSecurityTls)};
    EXPECT_EQ(SaveSettings(list, seal), 4);
    std::string sealed;
    EXPECT_TRUE(store.ReadBinary("POP0", "ProtectedPassward", sealed) && sealed == "sealed:\xe9p");
    EXPECT_TRUE(!store.Has("POP0", "Passward") && !store.Has("POP0", "CryptPassward"));
    EXPECT_EQ(store.Read("POP4", "Account"), "old");
    for (const char* key : {"Security", "Port", "TrustFile", "Fingerprint", "Auth", "ClientId", "ProtectedPassward",
                            "Protocol", "Folder"})
        EXPECT_FALSE(store.Has("POP1", key)) << key;
    EXPECT_EQ(Load(0), list[0]);  // what was stored is overwritten with the defaults
    EXPECT_EQ(Load(1).Password, "");  // the old plain form went with the save
    EXPECT_EQ(store.Read("POP2", "Security") + "|" + store.Read("POP2", "Port"), "2|");
    EXPECT_EQ(store.Read("POP3", "Port"), "110");  // the plain port with TLS is no default
    EXPECT_EQ(ReadAccountCount(), 4);
    EXPECT_TRUE(ReadKeepSeen());  // acknowledgements are kept unless turned off
    WriteKeepSeen(false);
    EXPECT_FALSE(ReadKeepSeen());
    store.Write("GLOBAL", "POP_COUNT", "2147483647");
    DebugCapture trace;
    EXPECT_EQ(ReadAccountCount(), kMaxAccounts);
    EXPECT_NE(trace.Text().find("POP_COUNT"), std::string::npos);
}

TEST_F(SettingsTest, SecretsAreKeptProtectedAndAnUnreadableOneFailsOnlyTheAccountThatNeedsIt)
{
    store.Write("POP0", "CryptPassward", "6f6c64");  // the sealed form wins over the old one
    store.WriteBinary("POP0", "ProtectedPassward", "sealed:wen");
    EXPECT_EQ(Load(0).Password, "new");

    // Copied from another user: the value stays as it was until the user gives it again.
    store.WriteBinary("POP0", "ProtectedPassward", "\x01\x02 foreign");
    store.Write("POP0", "Auth", "1");
    store.WriteBinary("POP0", "RefreshToken", "sealed:nekot");
    AccountSettings account = Load(0);
    EXPECT_TRUE(account.UnreadableSecrets == kSecretPassword && account.RefreshToken == "token");
    EXPECT_FALSE(NeedsUnreadableSecret(account));  // it signs in with its token
    account.Auth = kAuthPassword;
    EXPECT_TRUE(NeedsUnreadableSecret(account));
    SaveAccount(0, account, seal);
    std::string sealed;
    EXPECT_TRUE(store.ReadBinary("POP0", "ProtectedPassward", sealed) && sealed == "\x01\x02 foreign");
    EXPECT_EQ(Load(0), account);

    // Without the system's protection nothing is sealed, and the reversible form is not removed.
    store.Write("POP1", "CryptPassward", "6f6c64");
    seal.canSeal = false;
    SaveAccount(1, Account("u", "new", 1, 1, 110), seal);
    EXPECT_TRUE(store.Has("POP1", "CryptPassward") && !store.Has("POP1", "ProtectedPassward"));
}

TEST_F(SettingsTest, ImapAccountsKeepTheirProtocolFolderAndOwnDefaultPorts)
{
    store.Write("POP5", "Protocol", "1");
    EXPECT_EQ(std::to_string(Load(5).Port) + " " + Load(5).Folder, "143 INBOX");
    store.Write("POP5", "Security", "2");
    store.Write("POP5", "Folder", "\xe5\x8f\x97\xe4\xbf\xa1\xe7\xae\xb1");
    EXPECT_EQ(std::to_string(Load(5).Port) + " " + Load(5).Folder, "993 \xe5\x8f\x97\xe4\xbf\xa1\xe7\xae\xb1");
    for (const char* unknown : {"2", " 1", "-1", "imap"}) {
        store.Write("POP2", "Protocol", unknown);
        EXPECT_EQ(Load(2).Protocol, kProtocolUnknown) << unknown;
    }

    // An IMAP account's keys are written only where they say something; an unknown protocol stays as typed.
    AccountSettings imap = Account("u", "", 3, 9, 143);
    imap.Protocol = kProtocolImap;
    SaveSettings({Account("u", "", 3, 9, 110), imap, Load(2)}, seal);
    EXPECT_EQ(store.Read("POP1", "Protocol") + "|" + store.Read("POP1", "Port") + "|" + store.Read("POP1", "Folder"),
              "1||");
    EXPECT_EQ(Load(1), imap);
    EXPECT_EQ(store.Read("POP2", "Protocol"), "imap");
}

TEST_F(SettingsTest, RemovedAccountsLeaveNoSectionAndAWriteThatDidNotArriveIsReported)
{
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
}

}  // namespace
