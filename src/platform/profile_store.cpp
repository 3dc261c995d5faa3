#include "platform/profile_store.h"

namespace {
ProfileStore* currentStore = nullptr;
}  // namespace

void SetProfileStore(ProfileStore* store)
{
    currentStore = store;
}

ProfileStore* CurrentProfileStore()
{
    return currentStore;
}

std::string MemoryProfileStore::Read(const std::string& section, const std::string& key)
{
    const auto found = values.find({section, key});
    return found == values.end() ? std::string() : found->second;
}

void MemoryProfileStore::Write(const std::string& section, const std::string& key, const std::string& text)
{
    binaries.erase({section, key});
    values[{section, key}] = text;
    ++writes;
}

void MemoryProfileStore::RemoveSection(const std::string& section)
{
    for (auto* kind : {&values, &binaries}) {
        for (auto it = kind->lower_bound({section, std::string()}); it != kind->end() && it->first.first == section;)
            it = kind->erase(it);
    }
}

bool MemoryProfileStore::ReadBinary(const std::string& section, const std::string& key, std::string& bytes)
{
    const auto found = binaries.find({section, key});
    if (found == binaries.end())
        return false;
    bytes = found->second;
    return true;
}

void MemoryProfileStore::WriteBinary(const std::string& section, const std::string& key, const std::string& bytes)
{
    // One value per name, as in the registry: the binary value replaces a text one.
    values.erase({section, key});
    binaries[{section, key}] = bytes;
    ++writes;
}

void MemoryProfileStore::RemoveValue(const std::string& section, const std::string& key)
{
    values.erase({section, key});
    binaries.erase({section, key});
}

bool MemoryProfileStore::Has(const std::string& section, const std::string& key) const
{
    return values.count({section, key}) != 0 || binaries.count({section, key}) != 0;
}
