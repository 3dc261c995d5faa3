#include <gtest/gtest.h>
#include <windows.h>

#include "settings/account_profile.h"
#include "settings/profile.h"
#include "platform/registry_profile_store_win.h"
#include "platform/wide_text_win.h"

namespace {

// What the registry itself holds, read past our own store.
std::wstring RawValue(const std::wstring& subkey, const wchar_t* name)
{
    wchar_t buffer[1024] = {};
    DWORD bytes = sizeof buffer;
    if (RegGetValueW(HKEY_CURRENT_USER, subkey.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &bytes) !=
        ERROR_SUCCESS)
        return L"<absent>";
    return buffer;
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A branch of this test's own inside the build tree's Wine prefix.
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QUVA\\ZantoliTest");
    }
    RegistryProfileStore store{"QUVA", "ZantoliTest"};
};

TEST_F(RegistryTest, OneSubkeyPerSectionAndTextsStoredAsUtf16)
{
    const std::string japanese = "\xe3\x83\xa1\xe3\x83\xbc\xe3\x83\xab";  // a word in katakana
    store.Write("GLOBAL", "MAILER", "C:\\" + japanese + ".exe");
    store.Write("POP0", "Account", "alice");
    EXPECT_EQ(RawValue(L"Software\\QUVA\\ZantoliTest\\GLOBAL", L"MAILER"), L"C:\\\x30e1\x30fc\x30eb.exe");
    EXPECT_EQ(RawValue(L"Software\\QUVA\\ZantoliTest\\POP0", L"Account"), L"alice");
    EXPECT_EQ(store.Read("GLOBAL", "MAILER"), "C:\\" + japanese + ".exe");
    EXPECT_EQ(store.Read("POP0", "Address"), "");
    EXPECT_EQ(store.Read("NOSECTION", "Account"), "");
}

TEST_F(RegistryTest, AccountsRoundTripThroughTheRegistry)
{
    SetProfileStore(&store);
    const std::vector<AccountSettings> list = {{"bob", "127.0.0.1", "\x80\xff pass", 3, 7, 2110}};
    store.Write("POP1", "Account", "stays");
    SaveSettings(list);
    EXPECT_EQ(RawValue(L"Software\\QUVA\\ZantoliTest\\POP0", L"CryptPassward"), L"80ff2070617373");
    EXPECT_EQ(RawValue(L"Software\\QUVA\\ZantoliTest\\GLOBAL", L"POP_COUNT"), L"1");
    EXPECT_EQ(RawValue(L"Software\\QUVA\\ZantoliTest\\POP1", L"Account"), L"stays");

    AccountSettings back;
    LoadAccount(0, back);
    EXPECT_EQ(back.Password, "\x80\xff pass");
    EXPECT_EQ(back.Address, "127.0.0.1");
    EXPECT_EQ(back.Duration, 3);
    EXPECT_EQ(back.Color, 7);
    EXPECT_EQ(back.Port, 2110);
    SetProfileStore(nullptr);
}

}  // namespace
