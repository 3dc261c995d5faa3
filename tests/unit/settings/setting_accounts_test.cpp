#include <gtest/gtest.h>

#include "platform/profile_store.h"
#include "setting/account_settings.h"
#include "settings/profile.h"

namespace {

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

TEST_F(SettingAccountsTest, LoadsWhatTheNotifierLoadsAndSavesItBackUnchanged)
{
    store.Write("GLOBAL", "POP_COUNT", "3");
    store.Write("POP0", "Account", "alice");
    store.Write("POP0", "Passward", "plain secret");  // an older profile: no "CryptPassward" yet
    store.Write("POP1", "CryptPassward", "80ff41");
    store.Write("POP1", "Port", "995");
    const AccountSettingsList loaded = LoadAccountSettings();
    const AccountSettingsList expected = {{"alice", "", "plain secret", 0, 0, 110},
                                          {"", "", "\x80\xff" "A", 0, 0, 995}, AccountSettings()};
    EXPECT_EQ(loaded, expected);
    EXPECT_TRUE(SaveAccountSettings(loaded));
    EXPECT_EQ(LoadAccountSettings(), loaded);
    EXPECT_EQ(NewAccountSettings(), (AccountSettings{"", "", "", 10, 7, 110}));
}

TEST_F(SettingAccountsTest, RemovingAnAccountNeitherInheritsAPortNorAPlainPassword)
{
    store.Write("POP0", "Passward", "old account's secret");
    AccountSettingsList list = {{"a", "h", "pa", 5, 1, 2110}, {"b", "h", "", 5, 1, 110}, {"c", "h", "pc", 5, 1, 995}};
    ASSERT_TRUE(SaveAccountSettings(list));
    list.erase(list.begin());  // "b" moves into the section that held port 2110 and a plain password
    EXPECT_TRUE(SaveAccountSettings(list));
    EXPECT_EQ(store.Read("POP2", "Account"), "c");  // beyond the count: left as it was
    EXPECT_EQ(LoadAccountSettings(), list);
}

TEST_F(SettingAccountsTest, AWriteThatDidNotArriveIsReportedNotTakenForSuccess)
{
    for (const char* lost : {"POP_COUNT", "Address", "CryptPassward", "COLOR", "Port"}) {
        LossyStore lossy;
        lossy.lostKey = lost;
        SetProfileStore(&lossy);
        EXPECT_FALSE(SaveAccountSettings({{"alice", "pop.example.com", "pw", 10, 3, 995}})) << lost;
    }
}

}  // namespace
