#include <gtest/gtest.h>

#include "debug_capture.h"
#include "platform/profile_store.h"
#include "settings/account_profile.h"
#include "settings/password_codec.h"
#include "settings/profile.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { SetProfileStore(&store); }
    void TearDown() override { SetProfileStore(nullptr); }

    AccountSettings Load(int index)
    {
        AccountSettings account;
        LoadAccount(index, account);
        return account;
    }

    MemoryProfileStore store;
};

TEST_F(SettingsTest, LoadsEveryFieldByAtoiRulesAndAMissingSectionAsEmpty)
{
    const std::pair<const char*, const char*> keys[] = {{"Account", "alice"}, {"Address", "mail.example.org"},
        {"Duration", " 15min"}, {"Passward", "plain"}, {"COLOR", "-4"}, {"Port", "2110"}};
    for (const auto& key : keys)
        store.Write("POP1", key.first, key.second);
    EXPECT_EQ(Load(1), (AccountSettings{"alice", "mail.example.org", "plain", 15, -4, 2110}));
    EXPECT_EQ(Load(7), AccountSettings());

    const std::pair<const char*, int32_t> numbers[] = {{"abc", 0}, {"-5", -5}, {"\t+12abc", 12}, {"- 3", 0},
                                                       {"99999999999", INT32_MAX}, {"-99999999999", INT32_MIN}};
    for (const auto& number : numbers)
        EXPECT_EQ(TextToInt(number.first), number.second) << number.first;
    for (const char* port : {"", "0", "65536", "-1", "pop"}) {
        store.Write("POP0", "Port", port);
        EXPECT_EQ(Load(0).Port, 110) << '"' << port << '"';
    }
}

TEST_F(SettingsTest, CryptPasswardWinsOverPasswardUnlessEmpty)
{
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
    store.Write("POP2", "Account", "old");
    store.Write("POP0", "Passward", "kept");
    store.Write("POP0", "Port", "2110");
    store.Write("POP1", "Passward", "plain");
    const std::vector<AccountSettings> list = {{"user0", "host0", "p\xe9", -5, -1, 110},
                                               {"user1", "host1", "", 3, 9, 110}};
    EXPECT_EQ(SaveSettings(list), 2);
    EXPECT_EQ(store.Read("POP0", "CryptPassward"), "70e9");
    EXPECT_TRUE(store.Read("POP0", "Passward") == "kept" && store.Read("POP2", "Account") == "old");
    EXPECT_FALSE(store.Has("POP1", "Port"));
    EXPECT_EQ(Load(0), list[0]);  // the stored port is overwritten with the default
    EXPECT_EQ(Load(1).Password, "plain");  // an empty password is stored empty: the plain key speaks
    EXPECT_EQ(ReadAccountCount(), 2);
    store.Write("GLOBAL", "POP_COUNT", "2147483647");
    DebugCapture trace;
    EXPECT_EQ(ReadAccountCount(), kMaxAccounts);
    EXPECT_NE(trace.Text().find("POP_COUNT"), std::string::npos);
}

}  // namespace
