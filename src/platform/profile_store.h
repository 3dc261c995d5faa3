#pragma once
// The settings profile: named sections holding named text values.
#include <map>
#include <string>
#include <utility>

class ProfileStore {
public:
    virtual ~ProfileStore() = default;
    // The stored text, or empty text when the section or the key does not exist.
    virtual std::string Read(const std::string& section, const std::string& key) = 0;
    // Stores the text, creating section and key when needed.
    virtual void Write(const std::string& section, const std::string& key, const std::string& text) = 0;
    // Removes the section with every key in it; a missing section is no failure.
    virtual void RemoveSection(const std::string& section) = 0;
    // A binary value (protected secrets are kept as bytes): false when absent or not binary.
    virtual bool ReadBinary(const std::string& section, const std::string& key, std::string& bytes) = 0;
    virtual void WriteBinary(const std::string& section, const std::string& key, const std::string& bytes) = 0;
    // Removes one value of either kind; a missing one is no failure.
    virtual void RemoveValue(const std::string& section, const std::string& key) = 0;
};

// The process-wide profile (not owned); the program sets it once at start-up. With none,
// reads give empty text and writes are dropped.
void SetProfileStore(ProfileStore* store);
ProfileStore* CurrentProfileStore();

// A profile in memory, for tests and tools.
class MemoryProfileStore : public ProfileStore {
public:
    std::string Read(const std::string& section, const std::string& key) override;
    void Write(const std::string& section, const std::string& key, const std::string& text) override;
    void RemoveSection(const std::string& section) override;
    bool ReadBinary(const std::string& section, const std::string& key, std::string& bytes) override;
    void WriteBinary(const std::string& section, const std::string& key, const std::string& bytes) override;
    void RemoveValue(const std::string& section, const std::string& key) override;
    bool Has(const std::string& section, const std::string& key) const;
    size_t WriteCount() const { return writes; }

private:
    std::map<std::pair<std::string, std::string>, std::string> values;
    std::map<std::pair<std::string, std::string>, std::string> binaries;
    size_t writes = 0;
};
