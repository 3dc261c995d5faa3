#include <gtest/gtest.h>

#include "setting/account_settings.h"
#include "settings/profile.h"
#include "settings/profile_store.h"

namespace {

class SettingAccountsTest : public ::testing::Test {
protected:
    void SetUp() override { SetProfileStore(&store); }
    void TearDown() override { SetProfileStore(nullptr); }

    void Put(const char* section, const char* key, const char* text) { store.Write(section, key, text); }

    static AccountSettings Make(const char* login, const char* password, int32_t port = 110)
    {
        AccountSettings account;
        account.Account = login;
        account.Address = std::string("pop.") + login + ".example";
        account.Password = password;
        account.Port = port;
        return account;
    }

    MemoryProfileStore store;
};

// Field by field, so that a failure says which field of which account differs.
void ExpectSame(const AccountSettingsList& actual, const AccountSettingsList& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        SCOPED_TRACE("account " + std::to_string(i));
        EXPECT_EQ(actual[i].Account, expected[i].Account);
        EXPECT_EQ(actual[i].Address, expected[i].Address);
        EXPECT_EQ(actual[i].Password, expected[i].Password);
        EXPECT_EQ(actual[i].Duration, expected[i].Duration);
        EXPECT_EQ(actual[i].Color, expected[i].Color);
        EXPECT_EQ(actual[i].Port, expected[i].Port);
    }
}

TEST_F(SettingAccountsTest, LoadsWhatTheNotifierLoadsAndSavesItBackUnchanged)
{
    Put("GLOBAL", "POP_COUNT", "3");
    Put("POP0", "Account", "alice");
    Put("POP0", "Address", "pop.example.com");
    Put("POP0", "Duration", "5");
    Put("POP0", "Passward", "plain secret");  // an older profile: no "CryptPassward" yet
    Put("POP1", "Account", "bob");
    Put("POP1", "CryptPassward", "80ff41");
    Put("POP1", "COLOR", "-1");
    Put("POP1", "Port", "995");
    // POP2 does not exist: an account with empty texts.

    const AccountSettingsList loaded = LoadAccountSettings();
    ASSERT_EQ(loaded.size(), 3u);
    EXPECT_EQ(loaded[0].Password, "plain secret");
    EXPECT_EQ(loaded[0].Duration, 5);
    EXPECT_EQ(loaded[0].Color, 0);
    EXPECT_EQ(loaded[1].Password, "\x80\xff" "A");
    EXPECT_EQ(loaded[1].Color, -1);
    EXPECT_EQ(loaded[1].Port, 995);
    EXPECT_EQ(loaded[2].Account, "");
    EXPECT_EQ(loaded[2].Duration, 0);

    EXPECT_TRUE(SaveAccountSettings(loaded));
    EXPECT_EQ(store.Read("GLOBAL", "POP_COUNT"), "3");
    EXPECT_EQ(store.Read("POP0", "CryptPassward"), "706c61696e20736563726574");
    EXPECT_EQ(store.Read("POP0", "Passward"), "plain secret");  // never written, never removed
    EXPECT_EQ(store.Read("POP1", "COLOR"), "-1");
    EXPECT_FALSE(store.Has("POP0", "Port"));
    ExpectSame(LoadAccountSettings(), loaded);
}

TEST_F(SettingAccountsTest, RemovingAnAccountMovesTheLaterOnesUpAndLeavesTheLastSection)
{
    AccountSettingsList list = {Make("a", "pa", 2110), Make("b", "pb"), Make("c", "pc", 995)};
    ASSERT_TRUE(SaveAccountSettings(list));
    list.erase(list.begin());
    EXPECT_TRUE(SaveAccountSettings(list));

    EXPECT_EQ(store.Read("GLOBAL", "POP_COUNT"), "2");
    EXPECT_EQ(store.Read("POP2", "Account"), "c");  // beyond the count: left as it was
    // "b" moved into the section that held port 2110; it must not inherit that port.
    ExpectSame(LoadAccountSettings(), list);
}

TEST_F(SettingAccountsTest, AnEmptyPasswordNeverPicksUpAnotherAccountsPlainPassword)
{
    Put("GLOBAL", "POP_COUNT", "2");
    Put("POP0", "Account", "old");
    Put("POP0", "Passward", "old account's secret");
    Put("POP1", "Account", "open");

    AccountSettingsList list = LoadAccountSettings();
    ASSERT_EQ(list[1].Password, "");
    list.erase(list.begin());  // "open" moves into POP0, whose "Passward" is not its own
    EXPECT_TRUE(SaveAccountSettings(list));
    ExpectSame(LoadAccountSettings(), list);

    // A section without a plain password keeps the usual empty stored form.
    list.push_back(Make("new", ""));
    EXPECT_TRUE(SaveAccountSettings(list));
    EXPECT_EQ(store.Read("POP1", "CryptPassward"), "");
    ExpectSame(LoadAccountSettings(), list);
}

TEST_F(SettingAccountsTest, AnEmptyProfileHasNoAccountsAndSavingNoneWritesOnlyTheCount)
{
    EXPECT_TRUE(LoadAccountSettings().empty());
    EXPECT_TRUE(SaveAccountSettings({}));
    EXPECT_EQ(store.Read("GLOBAL", "POP_COUNT"), "0");
    EXPECT_EQ(store.WriteCount(), 1u);
}

// A profile whose writes to one key do not arrive, as when the registry refuses them.
class LossyStore : public MemoryProfileStore {
public:
    explicit LossyStore(std::string lostKey) : lostKey(std::move(lostKey)) {}
    void Write(const std::string& section, const std::string& key, const std::string& text) override
    {
        if (key != lostKey)
            MemoryProfileStore::Write(section, key, text);
    }

private:
    std::string lostKey;
};

TEST(SettingAccountsSave, AWriteThatDidNotArriveIsReportedNotTakenForSuccess)
{
    for (const char* lost : {"POP_COUNT", "Address", "CryptPassward", "COLOR", "Port"}) {
        SCOPED_TRACE(lost);
        LossyStore store(lost);
        SetProfileStore(&store);
        AccountSettings account;
        account.Account = "alice";
        account.Address = "pop.example.com";
        account.Password = "pw";
        account.Color = 3;
        account.Port = 995;
        EXPECT_FALSE(SaveAccountSettings({account}));
        SetProfileStore(nullptr);
    }
}

}  // namespace
