// The connection's protection in the profile: its own default port, and keys written only when
// they matter.
#include <gtest/gtest.h>

#include "platform/profile_store.h"
#include "settings/account_profile.h"

TEST(AccountSecurityTest, TheProtectionHasItsOwnDefaultPortAndIsStoredOnlyWhenItMatters)
{
    MemoryProfileStore store;
    SetProfileStore(&store);
    store.Write("POP0", "Security", "2");
    store.Write("POP0", "Fingerprint", "ab:CD");
    AccountSettings loaded;
    LoadAccount(0, loaded);
    EXPECT_EQ(loaded, (AccountSettings{"", "", "", 0, 0, 995, kSecurityTls, "", "ab:CD"}));
    store.Write("POP0", "Security", "3");  // unknown: plain text, on the plain port
    LoadAccount(0, loaded);
    EXPECT_EQ(std::make_pair(loaded.Security, loaded.Port), std::make_pair(kSecurityNone, 110));

    SaveAccount(1, AccountSettings{"", "", "", 0, 0, 995, kSecurityTls, "", ""});
    EXPECT_EQ(store.Read("POP1", "Security") + "|" + store.Read("POP1", "Port"), "2|");
    SaveAccount(1, AccountSettings{"", "", "", 0, 0, 110, kSecurityTls, "", ""});
    EXPECT_EQ(store.Read("POP1", "Port"), "110");  // the plain port with TLS is no default
    SaveAccount(2, AccountSettings());
    for (const char* key : {"Security", "Port", "TrustFile", "Fingerprint"})
        EXPECT_FALSE(store.Has("POP2", key)) << key;
    SaveAccount(0, AccountSettings());  // back to the defaults: what was stored is overwritten
    LoadAccount(0, loaded);
    EXPECT_EQ(loaded, AccountSettings());
    SetProfileStore(nullptr);
}
