#pragma once
// The profile in the current user's registry: HKCU\Software\<company>\<application>,
// one subkey per section, each key a REG_SZ value (a protected secret a REG_BINARY one). Texts are UTF-8 in the program and
// UTF-16 in the registry.
#include <string>

#include "platform/profile_store.h"

class RegistryProfileStore : public ProfileStore {
public:
    RegistryProfileStore(const std::string& company, const std::string& application);

    std::string Read(const std::string& section, const std::string& key) override;
    void Write(const std::string& section, const std::string& key, const std::string& text) override;
    void RemoveSection(const std::string& section) override;
    // Protected secrets: REG_BINARY values.
    bool ReadBinary(const std::string& section, const std::string& key, std::string& bytes) override;
    void WriteBinary(const std::string& section, const std::string& key, const std::string& bytes) override;
    void RemoveValue(const std::string& section, const std::string& key) override;

    const std::wstring& BranchPath() const { return branch; }

private:
    std::wstring branch;  // Software\<company>\<application>
};
