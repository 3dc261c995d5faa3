#include <gtest/gtest.h>
#include <windows.h>

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

TEST(RegistryProfileStore, OneSubkeyPerSectionAndTextsStoredAsUtf16)
{
    // A branch of this test's own inside the build tree's Wine prefix.
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QUVA\\ZantoliTest");
    RegistryProfileStore store{"QUVA", "ZantoliTest"};
    const std::string japanese = "\xe3\x83\xa1\xe3\x83\xbc\xe3\x83\xab";  // a word in katakana
    store.Write("GLOBAL", "MAILER", "C:\\" + japanese + ".exe");
    store.Write("POP0", "Account", "alice");
    EXPECT_EQ(RawValue(L"Software\\QUVA\\ZantoliTest\\GLOBAL", L"MAILER"), L"C:\\\x30e1\x30fc\x30eb.exe");
    EXPECT_EQ(RawValue(L"Software\\QUVA\\ZantoliTest\\POP0", L"Account"), L"alice");
    EXPECT_EQ(store.Read("GLOBAL", "MAILER"), "C:\\" + japanese + ".exe");
    EXPECT_EQ(store.Read("POP0", "Address"), "");
    EXPECT_EQ(store.Read("NOSECTION", "Account"), "");
}

}  // namespace
