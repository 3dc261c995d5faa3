// The connection's protection in the profile: its own default port, and keys written only when
// they matter.
#include <gtest/gtest.h>

#include "platform/profile_store.h"
#include "settings/account_profile.h"

namespace {

TEST(AccountSecurityTest, LoadsWithTheProtectionsPortAndSavesOnlyWhatDiffersOrWasStored)
{
    MemoryProfileStore store;
    SetProfileStore(&store);
    store.Write("POP0", "Security", "2");
    store.Write("POP0", "TrustFile", "C:\\ca.pem");
    store.Write("POP0", "Fingerprint", "ab:CD");
    AccountSettings loaded;
    LoadAccount(0, loaded);
    EXPECT_EQ(loaded.Port, 995);
    EXPECT_EQ(loaded.TrustFile, "C:\\ca.pem");
    EXPECT_EQ(loaded.Fingerprint, "ab:CD");
    for (const char* damaged : {"3", "-1", "tls"}) {
        store.Write("POP0", "Security", damaged);
        LoadAccount(0, loaded);
        EXPECT_EQ(loaded.Security, kSecurityNone) << damaged;
        EXPECT_EQ(loaded.Port, 110) << damaged;
    }

    AccountSettings tls;
    tls.Security = kSecurityTls;
    tls.Port = 995;
    SaveAccount(1, tls);
    EXPECT_EQ(store.Read("POP1", "Security"), "2");
    EXPECT_FALSE(store.Has("POP1", "Port"));
    tls.Port = 110;  // the plain port with TLS is no default any more
    SaveAccount(1, tls);
    EXPECT_EQ(store.Read("POP1", "Port"), "110");
    SaveAccount(2, AccountSettings());
    for (const char* key : {"Security", "Port", "TrustFile", "Fingerprint"})
        EXPECT_FALSE(store.Has("POP2", key)) << key;
    // Going back to the defaults overwrites what was stored.
    SaveAccount(0, AccountSettings());
    LoadAccount(0, loaded);
    EXPECT_EQ(loaded, AccountSettings());
    SetProfileStore(nullptr);
}

}  // namespace
