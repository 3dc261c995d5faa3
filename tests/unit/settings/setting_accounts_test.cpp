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
    const AccountSettingsList expected = {{"alice", "", "plain secret", 0, 0, 110, 0, "", ""},
                                          {"", "", "\x80\xff" "A", 0, 0, 995, 0, "", ""}, {}};
    const AccountSettingsList loaded = LoadAccountSettings();
    EXPECT_EQ(loaded, expected);
    EXPECT_TRUE(SaveAccountSettings(loaded));
    EXPECT_EQ(LoadAccountSettings(), loaded);
}

TEST_F(SettingAccountsTest, RemovedAccountsLeaveNoSectionAndTheirSuccessorsInheritNothing)
{
    AccountSettingsList list = {{"a", "h", "pa", 5, 1, 2110, 0, "", ""}, {"b", "h", "", 5, 1, 110, 0, "", ""},
                                {"c", "h", "pc", 5, 1, 995, 0, "", ""}};
    store.Write("POP0", "Passward", "old account's secret");
    store.Write("POP7", "Account", "beyond the count");
    ASSERT_TRUE(SaveAccountSettings(list));
    list.erase(list.begin());  // "b" moves into the section that held port 2110 and a plain password
    list.pop_back();
    EXPECT_TRUE(SaveAccountSettings(list));
    EXPECT_EQ(LoadAccountSettings(), list);
    for (const char* key : {"Account", "Address", "CryptPassward", "Duration", "COLOR", "Port"})
        EXPECT_FALSE(store.Has("POP1", key) || store.Has("POP2", key)) << key;
    EXPECT_TRUE(store.Has("POP7", "Account")) << "only sections up to the old count are the program's";
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
