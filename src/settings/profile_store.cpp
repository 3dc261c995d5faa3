#include "settings/profile_store.h"

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

bool MemoryProfileStore::Has(const std::string& section, const std::string& key) const
{
    return values.count({section, key}) != 0;
}
