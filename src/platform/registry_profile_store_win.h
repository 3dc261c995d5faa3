#pragma once
// The profile in the current user's registry: HKCU\Software\<company>\<application>,
// one subkey per section, each key a REG_SZ value. Texts are UTF-8 in the program and
// UTF-16 in the registry.
#include <string>

#include "platform/profile_store.h"

class RegistryProfileStore : public ProfileStore {
public:
    RegistryProfileStore(const std::string& company, const std::string& application);

    std::string Read(const std::string& section, const std::string& key) override;
    void Write(const std::string& section, const std::string& key, const std::string& text) override;
    void RemoveSection(const std::string& section) override;

    const std::wstring& BranchPath() const { return branch; }

private:
    std::wstring branch;  // Software\<company>\<application>
};
