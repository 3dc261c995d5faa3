#include <gtest/gtest.h>

#include "debug_capture.h"
#include "settings/account_profile.h"
#include "settings/password_codec.h"
#include "settings/profile.h"
#include "settings/profile_store.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { SetProfileStore(&store); }
    void TearDown() override { SetProfileStore(nullptr); }

    std::unique_ptr<MailAccount> LoadOne(int index)
    {
        auto account = std::make_unique<MailAccount>();
        LoadAccount(index, *account);
        return account;
    }

    MemoryProfileStore store;
};

TEST_F(SettingsTest, ReadReturnsOneBufferThatTheNextReadOverwrites)
{
    store.Write("GLOBAL", "MAILER", "C:\\mail.exe");
    const std::string& first = ReadProfileText("GLOBAL", "MAILER");
    EXPECT_EQ(first, "C:\\mail.exe");
    const std::string& second = ReadProfileText("GLOBAL", "absent");
    EXPECT_EQ(&first, &second);
    EXPECT_EQ(first, "");
}

TEST_F(SettingsTest, NumbersFollowAtoiRules)
{
    EXPECT_EQ(TextToInt("abc"), 0);
    EXPECT_EQ(TextToInt(""), 0);
    EXPECT_EQ(TextToInt("-5"), -5);
    EXPECT_EQ(TextToInt(" 7"), 7);
    EXPECT_EQ(TextToInt("\t+12abc"), 12);
    EXPECT_EQ(TextToInt("- 3"), 0);
    EXPECT_EQ(TextToInt("99999999999"), INT32_MAX);
    EXPECT_EQ(TextToInt("-99999999999"), INT32_MIN);

    WriteProfileNumber("GLOBAL", "WINDOW_POS", -32773);
    EXPECT_EQ(store.Read("GLOBAL", "WINDOW_POS"), "-32773");
}

TEST_F(SettingsTest, LoadsEveryFieldFromItsSection)
{
    store.Write("POP1", "Account", "alice");
    store.Write("POP1", "Address", "mail.example.org");
    store.Write("POP1", "Duration", " 15min");
    store.Write("POP1", "Passward", "plain");
    store.Write("POP1", "COLOR", "4");
    store.Write("POP1", "Port", "2110");
    const auto loaded = LoadOne(1);
    const MailAccount& account = *loaded;
    EXPECT_EQ(account.Account, "alice");
    EXPECT_EQ(account.Address, "mail.example.org");
    EXPECT_EQ(account.Duration, 15);
    EXPECT_EQ(account.Password, "plain");
    EXPECT_EQ(account.Color, 4);
    EXPECT_EQ(account.Port, 2110);
}

TEST_F(SettingsTest, MissingSectionGivesEmptyAccountOnTheDefaultPort)
{
    const auto loaded = LoadOne(7);
    const MailAccount& account = *loaded;
    EXPECT_EQ(account.Account, "");
    EXPECT_EQ(account.Address, "");
    EXPECT_EQ(account.Password, "");
    EXPECT_EQ(account.Duration, 0);
    EXPECT_EQ(account.Color, 0);
    EXPECT_EQ(account.Port, 110);
}

TEST_F(SettingsTest, PortOutsideItsRangeMeansTheDefault)
{
    for (const char* text : {"", "0", "65536", "-1", "pop"}) {
        store.Write("POP0", "Port", text);
        EXPECT_EQ(LoadOne(0)->Port, 110) << '"' << text << '"';
    }
    store.Write("POP0", "Port", "65535");
    EXPECT_EQ(LoadOne(0)->Port, 65535);
}

TEST_F(SettingsTest, CryptPasswardWinsOverPasswardUnlessEmpty)
{
    store.Write("POP0", "Passward", "plain");
    store.Write("POP0", "CryptPassward", "");
    EXPECT_EQ(LoadOne(0)->Password, "plain");

    store.Write("POP0", "CryptPassward", "736563726574");
    EXPECT_EQ(LoadOne(0)->Password, "secret");

    // A decoding that yields nothing still replaces the plain password.
    store.Write("POP0", "CryptPassward", "00");
    EXPECT_EQ(LoadOne(0)->Password, "");
    store.Write("POP0", "CryptPassward", "zz41");
    EXPECT_EQ(LoadOne(0)->Password, "");
}

TEST(PasswordCodec, DecodesByPiecesOfTwo)
{
    EXPECT_EQ(DecodePassword("4A4b"), "JK");            // upper and lower case
    EXPECT_EQ(DecodePassword("414"), "A\x04");          // odd last piece: one digit
    EXPECT_EQ(DecodePassword("4g42"), std::string("\x04" "B"));  // one leading digit
    EXPECT_EQ(DecodePassword("4100ff"), "A");           // stops at the first zero byte
    EXPECT_EQ(DecodePassword("41 x42"), "A");           // " x" gives 0: the end
    EXPECT_EQ(DecodePassword(""), "");
}

TEST(PasswordCodec, EveryByteRoundTrips)
{
    std::string all;
    for (int byte = 1; byte < 256; ++byte)
        all += char(byte);
    const std::string text = EncodePassword(all);
    EXPECT_EQ(text.size(), 510u);
    EXPECT_EQ(text.substr(0, 6), "010203");
    EXPECT_EQ(text.substr(text.size() - 6), "fdfeff");
    EXPECT_EQ(DecodePassword(text), all);
    EXPECT_EQ(EncodePassword(""), "");
}

TEST_F(SettingsTest, SavesStoredFormsAndLeavesHigherSectionsAlone)
{
    store.Write("POP2", "Account", "old");
    store.Write("POP0", "Passward", "kept");
    AccountList list;
    for (int i = 0; i < 2; ++i) {
        list.push_back(std::make_unique<MailAccount>());
        list[size_t(i)]->Account = "user" + std::to_string(i);
        list[size_t(i)]->Address = "host" + std::to_string(i);
        list[size_t(i)]->Duration = -5;
        list[size_t(i)]->Color = i == 0 ? -1 : 9;
        list[size_t(i)]->Password = "p\xe9";
    }
    list[1]->Port = 2110;

    EXPECT_EQ(SaveSettings(list), 2);
    EXPECT_EQ(store.Read("GLOBAL", "POP_COUNT"), "2");
    EXPECT_EQ(store.Read("POP0", "Account"), "user0");
    EXPECT_EQ(store.Read("POP0", "Address"), "host0");
    EXPECT_EQ(store.Read("POP0", "Duration"), "-5");
    EXPECT_EQ(store.Read("POP0", "CryptPassward"), "70e9");
    EXPECT_EQ(store.Read("POP0", "COLOR"), "-1");
    EXPECT_FALSE(store.Has("POP0", "Port"));
    EXPECT_EQ(store.Read("POP1", "Port"), "2110");
    EXPECT_EQ(store.Read("POP0", "Passward"), "kept");
    EXPECT_EQ(store.Read("POP2", "Account"), "old");

    const auto loaded = LoadOne(1);
    const MailAccount& back = *loaded;
    EXPECT_EQ(back.Password, "p\xe9");
    EXPECT_EQ(back.Color, 9);
    EXPECT_EQ(back.Port, 2110);
}

TEST_F(SettingsTest, PortBackToTheDefaultOverwritesTheStoredOne)
{
    store.Write("POP0", "Port", "2110");
    MailAccount account;
    SaveAccount(0, account);
    EXPECT_EQ(LoadOne(0)->Port, 110);
}

TEST_F(SettingsTest, EmptyPasswordSavedEmptyFallsBackToPassward)
{
    store.Write("POP0", "Passward", "plain");
    MailAccount account;
    SaveAccount(0, account);
    EXPECT_EQ(store.Read("POP0", "CryptPassward"), "");
    EXPECT_EQ(LoadOne(0)->Password, "plain");
}

TEST_F(SettingsTest, AccountCountIsCappedAndSaysSo)
{
    EXPECT_EQ(ReadAccountCount(), 0);
    store.Write("GLOBAL", "POP_COUNT", "-1");
    EXPECT_EQ(ReadAccountCount(), -1);
    store.Write("GLOBAL", "POP_COUNT", "2147483647");
    DebugCapture trace;
    EXPECT_EQ(ReadAccountCount(), kMaxAccounts);
    EXPECT_NE(trace.Text().find("POP_COUNT"), std::string::npos);
}

}  // namespace
