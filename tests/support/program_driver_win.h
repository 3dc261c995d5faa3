#pragma once
// Drives the real program from outside, the way a person or the desktop would meet it: start
// it, find its windows on the desktop, read their state, post commands, wait for its end.
// Also prepares its profile in the registry of the test prefix and reads its debug channel.
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What the desktop shows of one window.
struct WindowState {
    HWND handle = nullptr;
    DWORD processId = 0;
    std::string className;
    std::string caption;
    RECT rect{};  // screen coordinates
    bool visible = false;
    LONG style = 0;
    LONG exStyle = 0;
    HWND owner = nullptr;
    // GetWindowRgn's answer (ERROR when the window has no region) and the region's bounds
    // in window coordinates.
    int regionType = ERROR;
    RECT regionBox{};
};

WindowState ReadWindowState(HWND window);
// Whether the point (window coordinates) lies in the window's region; true when it has none.
bool WindowRegionContains(HWND window, int x, int y);

// The top-level windows of the program's window class, in z-order; only those of one process
// when processId is not 0.
std::vector<WindowState> FindProgramWindows(DWORD processId = 0);

// Zantoli.exe next to the running test program (every program of the build sits in one folder).
std::string ProgramPath();

// The program's profile, HKCU\Software\QUVA\Zantoli.
void ClearProgramProfile();
void WriteProgramProfile(const std::string& section, const std::string& key, const std::string& value);
// Empty text when absent.
std::string ReadProgramProfile(const std::string& section, const std::string& key);

// One run of the program. A program still running when the object goes is ended by force.
class ProgramProcess {
public:
    ProgramProcess() = default;
    ~ProgramProcess();
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    bool Start(const std::string& path = ProgramPath(), const std::string& arguments = std::string());
    DWORD Id() const { return info.dwProcessId; }
    HANDLE Process() const { return info.hProcess; }

    // Waits up to timeoutMs for the program's window captioned "Tindrel" that has no owner;
    // null when none appeared.
    HWND WaitForCharacterWindow(int timeoutMs) const;
    // The envelope windows: the chain of windows owned one by the other, from the character.
    std::vector<HWND> EnvelopeWindows(HWND character) const;

    // Waits up to timeoutMs; true and the exit code once the program has ended.
    bool WaitForExit(int timeoutMs, DWORD& exitCode) const;
    void Kill();

private:
    PROCESS_INFORMATION info{};
};

// Collects what programs write to the debug channel (OutputDebugString) while it exists,
// through the system-wide debug-output buffer that monitors share. One at a time.
class DebugMonitor {
public:
    DebugMonitor();
    ~DebugMonitor();
    DebugMonitor(const DebugMonitor&) = delete;
    DebugMonitor& operator=(const DebugMonitor&) = delete;

    bool Ready() const { return ready; }
    // Every write of one process so far, in order.
    std::vector<std::string> Writes(DWORD processId) const;
    // Waits up to timeoutMs until a write of the process contains text.
    bool WaitFor(DWORD processId, const std::string& text, int timeoutMs) const;

private:
    struct Entry {
        DWORD processId;
        std::string text;
    };
    void Run();
    bool ContainsLocked(DWORD processId, const std::string& text) const;

    HANDLE bufferReady = nullptr;
    HANDLE dataReady = nullptr;
    HANDLE mapping = nullptr;
    const char* view = nullptr;
    bool ready = false;
    std::atomic<bool> stop{false};
    mutable std::mutex lock;
    mutable std::condition_variable arrived;
    std::vector<Entry> entries;
    std::thread thread;
};

// Milliseconds since the test began; for bounded waits.
class Stopwatch {
public:
    Stopwatch() : start(GetTickCount64()) {}
    int64_t ElapsedMs() const { return static_cast<int64_t>(GetTickCount64() - start); }

private:
    ULONGLONG start;
};

// Polls every 20 ms until the condition holds or timeoutMs have passed; whether it held.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);
