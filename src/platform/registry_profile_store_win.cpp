#include "platform/registry_profile_store_win.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/wide_text_win.h"

namespace {

// Closes an open registry key when it goes out of scope.
class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey()
    {
        if (key)
            RegCloseKey(key);
    }
    HKEY* Receive() { return &key; }
    HKEY Get() const { return key; }

private:
    HKEY key = nullptr;
};

// The number as "%d" writes it, so that -1 stored as 0xFFFFFFFF reads as -1.
std::string DwordText(HKEY key, const std::wstring& name)
{
    DWORD value = 0;
    DWORD bytes = sizeof value;
    DWORD type = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || bytes != sizeof value)
        return std::string();
    return std::to_string(static_cast<int32_t>(value));
}

// Opens the section's key with the access asked for; create makes a missing one.
bool OpenSection(const std::wstring& branch, const std::string& section, REGSAM access, bool create,
                 RegistryKey& opened)
{
    const std::wstring path = branch + L"\\" + WideFromUtf8(section);
    if (create)
        return RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                               opened.Receive(), nullptr) == ERROR_SUCCESS;
    return RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, access, opened.Receive()) == ERROR_SUCCESS;
}

// Stores a value of the given type in the section, made when missing.
void SetValue(const std::wstring& branch, const std::string& section, const std::string& key, DWORD type,
              const void* data, DWORD bytes)
{
    RegistryKey created;
    if (OpenSection(branch, section, KEY_SET_VALUE, true, created))
        RegSetValueExW(created.Get(), WideFromUtf8(key).c_str(), 0, type, static_cast<const BYTE*>(data), bytes);
}

}  // namespace

RegistryProfileStore::RegistryProfileStore(const std::string& company, const std::string& application)
    : branch(L"Software\\" + WideFromUtf8(company) + L"\\" + WideFromUtf8(application))
{
}

std::string RegistryProfileStore::Read(const std::string& section, const std::string& key)
{
    RegistryKey opened;
    if (!OpenSection(branch, section, KEY_QUERY_VALUE, false, opened))
        return std::string();
    const std::wstring name = WideFromUtf8(key);
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(opened.Get(), name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS)
        return std::string();
    // A deployment tool may write numbers as REG_DWORD: read them as the text we would store.
    if (type == REG_DWORD)
        return DwordText(opened.Get(), name);
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return std::string();
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(opened.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &bytes) != ERROR_SUCCESS)
        return std::string();
    // The stored string may or may not carry its terminating zero.
    std::wstring value(buffer.data(), bytes / sizeof(wchar_t));
    const size_t end = value.find(L'\0');
    if (end != std::wstring::npos)
        value.resize(end);
    return Utf8FromWide(value);
}

void RegistryProfileStore::Write(const std::string& section, const std::string& key, const std::string& text)
{
    const std::wstring value = WideFromUtf8(text);
    SetValue(branch, section, key, REG_SZ, value.c_str(), DWORD((value.size() + 1) * sizeof(wchar_t)));
}

void RegistryProfileStore::RemoveSection(const std::string& section)
{
    const std::wstring path = branch + L"\\" + WideFromUtf8(section);
    RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
}

bool RegistryProfileStore::ReadBinary(const std::string& section, const std::string& key, std::string& bytes)
{
    RegistryKey opened;
    if (!OpenSection(branch, section, KEY_QUERY_VALUE, false, opened))
        return false;
    const std::wstring name = WideFromUtf8(key);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(opened.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_BINARY)
        return false;
    std::string value(size, '\0');
    if (RegQueryValueExW(opened.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value[0]), &size) !=
            ERROR_SUCCESS ||
        type != REG_BINARY)
        return false;
    value.resize(size);
    bytes = value;
    return true;
}

void RegistryProfileStore::WriteBinary(const std::string& section, const std::string& key, const std::string& bytes)
{
    SetValue(branch, section, key, REG_BINARY, bytes.data(), DWORD(bytes.size()));
}

void RegistryProfileStore::RemoveValue(const std::string& section, const std::string& key)
{
    RegistryKey opened;
    if (OpenSection(branch, section, KEY_SET_VALUE, false, opened))
        RegDeleteValueW(opened.Get(), WideFromUtf8(key).c_str());
}
