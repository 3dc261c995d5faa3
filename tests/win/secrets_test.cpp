// The registry profile, its secrets at rest under the system's data protection, in the test prefix's real registry.
#include <windows.h>
#include <dpapi.h>

#include <gtest/gtest.h>

#include "platform/registry_profile_store_win.h"
#include "platform/secret_seal.h"
#include "profile/account_secrets.h"
#include "setting/account_settings.h"

namespace {

// The account settings' store while it exists, in a branch of this test's own.
struct SecretsStore : RegistryProfileStore {
    SecretsStore() : RegistryProfileStore("QUVA", "ZantoliSecretsTest") { Clear(); SetProfileStore(this); }
    ~SecretsStore() { SetProfileStore(nullptr); Clear(); }
    void Clear() const { RegDeleteTreeW(HKEY_CURRENT_USER, BranchPath().c_str()); }
};

// One subkey per section, texts stored as UTF-16. A value sealed without our entropy, as another program of the
// user would store it, or not sealed, is unreadable.
TEST(RegistryProfileStore, TextsAsUtf16InASubkeyPerSectionAndSecretsSealedAsBinaryValuesNoOtherSealOpens)
{
    SecretsStore store;
    const auto raw = [&](const wchar_t* subkey, const wchar_t* name) {
        wchar_t buffer[64] = {};
        DWORD bytes = sizeof buffer;
        RegGetValueW(HKEY_CURRENT_USER, (store.BranchPath() + L"\\" + subkey).c_str(), name, RRF_RT_REG_SZ, nullptr,
                     buffer, &bytes);
        return std::wstring(buffer);
    };
    const std::string mailer = "C:\\\xe3\x83\xa1\xe3\x83\xbc\xe3\x83\xab.exe";  // a word in katakana
    store.Write("GLOBAL", "MAILER", mailer);
    store.Write("POP0", "Account", "me");
    EXPECT_TRUE(raw(L"GLOBAL", L"MAILER") == L"C:\\\x30e1\x30fc\x30eb.exe" && raw(L"POP0", L"Account") == L"me");
    EXPECT_EQ(store.Read("GLOBAL", "MAILER"), mailer);
    EXPECT_EQ(store.Read("POP0", "Address") + store.Read("NOSECTION", "Account"), "") << "absent values read empty";
    store.Write("GLOBAL", "POP_COUNT", "1");
    AccountSettingsList accounts = LoadAccountSettings();
    ASSERT_EQ(accounts.size(), 1u);
    accounts[0].Password = "p\xc3\xa4ss";
    accounts[0].Auth = kAuthOAuth;
    accounts[0].RefreshToken = std::string(3000, 'r');  // providers' tokens can be long
    ASSERT_TRUE(SaveAccountSettings(accounts));
    std::string sealed;
    for (const char* key : {"ProtectedPassward", "RefreshToken"}) {
        ASSERT_TRUE(store.ReadBinary("POP0", key, sealed)) << key;
        EXPECT_EQ(sealed.find(key[0] == 'P' ? "p\xc3\xa4ss" : "rrrrrrrr"), std::string::npos) << key;
        EXPECT_EQ(store.Read("POP0", key), "") << "a binary value is no text";
    }
    EXPECT_EQ(LoadAccountSettings(), accounts);

    // Removing the token removes its value; the password stays.
    accounts[0].RefreshToken.clear();
    ASSERT_TRUE(SaveAccountSettings(accounts));
    EXPECT_TRUE(!store.ReadBinary("POP0", "RefreshToken", sealed) && LoadAccountSettings()[0].Password == "p\xc3\xa4ss");
    char secret[] = "secret";
    DATA_BLOB in{DWORD(sizeof secret), reinterpret_cast<BYTE*>(secret)}, out{};
    ASSERT_TRUE(CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out));
    std::string opened, elsewhere(reinterpret_cast<const char*>(out.pbData), out.cbData);
    LocalFree(out.pbData);
    EXPECT_FALSE(UserSecretSeal().Open(elsewhere, opened) || UserSecretSeal().Open("not sealed at all", opened));
}

}  // namespace
