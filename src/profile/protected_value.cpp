#include "profile/protected_value.h"

#include "platform/profile_store.h"

ProtectedRead ReadProtectedValue(const std::string& section, const std::string& key, const SecretSeal& seal,
                                 std::string& secret)
{
    ProfileStore* store = CurrentProfileStore();
    std::string sealed;
    if (!store || !store->ReadBinary(section, key, sealed))
        return ProtectedRead::Absent;
    if (!seal.Open(sealed, secret)) {
        secret.clear();
        return ProtectedRead::Unreadable;
    }
    return ProtectedRead::Read;
}

bool WriteProtectedValue(const std::string& section, const std::string& key, const std::string& secret,
                         const SecretSeal& seal)
{
    ProfileStore* store = CurrentProfileStore();
    if (!store)
        return false;
    if (secret.empty()) {
        store->RemoveValue(section, key);
        return true;
    }
    std::string sealed;
    if (!seal.Seal(secret, sealed))
        return false;
    store->WriteBinary(section, key, sealed);
    return true;
}

void RemoveProfileValue(const std::string& section, const std::string& key)
{
    if (ProfileStore* store = CurrentProfileStore())
        store->RemoveValue(section, key);
}
