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
    values[{section, key}] = text;
    ++writes;
}

void MemoryProfileStore::RemoveSection(const std::string& section)
{
    for (auto it = values.lower_bound({section, std::string()}); it != values.end() && it->first.first == section;)
        it = values.erase(it);
}

bool MemoryProfileStore::Has(const std::string& section, const std::string& key) const
{
    return values.count({section, key}) != 0;
}
