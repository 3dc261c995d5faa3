#pragma once
// Drives the real program from outside: its process, windows, profile and debug channel.
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry_profile_store_win.h"
#include "program_windows_win.h"

// The program's profile, HKCU\Software\QUVA\Zantoli; reads give empty text when absent.
inline void ClearProgramProfile() { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QUVA\\Zantoli"); }
inline void WriteProgramProfile(const std::string& section, const std::string& key, const std::string& value)
{
    RegistryProfileStore("QUVA", "Zantoli").Write(section, key, value);
}
inline std::string ReadProgramProfile(const std::string& section, const std::string& key)
{
    return RegistryProfileStore("QUVA", "Zantoli").Read(section, key);
}

// A registry value the programs started meanwhile find; what it held, or its absence, comes back at the end.
struct RegistryValue {
    RegistryValue(HKEY root, const char* key, const char* name) : root(root), key(key), name(name)
    {
        saved = RegGetValueA(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size) == ERROR_SUCCESS;
    }
    ~RegistryValue() { saved ? Set(type, data, size) : void(RegDeleteKeyValueA(root, key, name)); }
    RegistryValue(const RegistryValue&) = delete;
    RegistryValue& operator=(const RegistryValue&) = delete;
    void Set(DWORD kind, const void* value, DWORD bytes) const { RegSetKeyValueA(root, key, name, kind, value, bytes); }
    void Set(const std::string& text) const { Set(REG_SZ, text.c_str(), DWORD(text.size() + 1)); }

    const HKEY root;
    const char *const key, *const name;
    DWORD type = 0, size = 4096;
    char data[4096] = {};
    bool saved = false;
};

// One run of a program. A program still running when the object goes is ended by force.
class ProgramProcess {
public:
    ProgramProcess() = default;
    ~ProgramProcess() { Kill(); }
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    bool Start(const std::string& path = ProgramPath(), const std::string& arguments = std::string(),
               const char* directory = nullptr);
    DWORD Id() const { return info.dwProcessId; }

    // Waits up to timeoutMs for the process's character window; null when none appeared.
    HWND WaitForCharacterWindow(int timeoutMs) const;
    // The envelope windows: the chain of windows owned one by the other, from the character.
    std::vector<HWND> EnvelopeWindows(HWND character) const;

    bool WaitForExit(int timeoutMs, DWORD& exitCode) const;
    void Kill();

private:
    PROCESS_INFORMATION info{};
};

// Collects what programs write with OutputDebugString while it exists; one at a time.
class DebugMonitor {
public:
    DebugMonitor();
    ~DebugMonitor();
    DebugMonitor(const DebugMonitor&) = delete;
    DebugMonitor& operator=(const DebugMonitor&) = delete;

    bool Ready() const { return thread.joinable(); }
    std::vector<std::string> Writes(DWORD processId) const;  // in order
    // Waits up to timeoutMs for a write that is the text, or only begins with it; whether one came.
    bool WaitForWrite(DWORD processId, const std::string& text, int timeoutMs, bool whole = true) const;

private:
    void Run();

    HANDLE bufferReady = nullptr, dataReady = nullptr, mapping = nullptr;
    const char* view = nullptr;
    std::atomic<bool> stop{false};
    mutable std::mutex lock;
    std::vector<std::pair<DWORD, std::string>> entries;  // process id, text
    std::thread thread;
};

// Polls every 20 ms until the condition holds or timeoutMs have passed; whether it held.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);
