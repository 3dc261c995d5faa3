#include "program_driver_win.h"

#include <algorithm>


bool ProgramProcess::Start(const std::string& path, const std::string& arguments, const char* directory)
{
    std::string commandLine = "\"" + path + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, directory, &startup,
                          &info) != FALSE;
}

HWND ProgramProcess::WaitForCharacterWindow(int timeoutMs) const
{
    HWND character = nullptr;
    WaitUntil([&] { return (character = FindCharacterWindow(Id())) || WaitForSingleObject(info.hProcess, 0) == 0; },
              timeoutMs);
    return character;
}

std::vector<HWND> ProgramProcess::EnvelopeWindows(HWND character) const
{
    const std::vector<WindowState> windows = FindProgramWindows(Id());
    std::vector<HWND> chain;
    // Each envelope is owned by the one before it; the chain cannot be longer than the list.
    for (HWND owner = character; chain.size() < windows.size();) {
        const auto next = std::find_if(windows.begin(), windows.end(),
                                       [&](const WindowState& w) { return w.owner == owner && w.handle != character; });
        if (next == windows.end())
            break;
        chain.push_back(owner = next->handle);
    }
    return chain;
}

bool ProgramProcess::WaitForExit(int timeoutMs, DWORD& exitCode) const
{
    return info.hProcess && WaitForSingleObject(info.hProcess, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0 &&
           GetExitCodeProcess(info.hProcess, &exitCode);
}

void ProgramProcess::Kill()
{
    if (!info.hProcess)
        return;
    TerminateProcess(info.hProcess, 99);  // fails harmlessly once it has ended
    WaitForSingleObject(info.hProcess, 10000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    info = PROCESS_INFORMATION{};
}

// A writer waits for "buffer ready", fills the 4 KiB buffer (its process id, its text), signals "data ready".
DebugMonitor::DebugMonitor()
{
    bufferReady = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY");
    dataReady = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY");
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, "DBWIN_BUFFER");
    if (mapping)
        view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 4096));
    if (bufferReady && dataReady && view)
        thread = std::thread([this] { Run(); });
}

DebugMonitor::~DebugMonitor()
{
    stop = true;
    if (thread.joinable())
        thread.join();
    UnmapViewOfFile(view);  // fails harmlessly when never mapped
    for (HANDLE handle : {mapping, dataReady, bufferReady})
        if (handle)
            CloseHandle(handle);
}

void DebugMonitor::Run()
{
    SetEvent(bufferReady);
    while (!stop) {
        if (WaitForSingleObject(dataReady, 50) != WAIT_OBJECT_0)
            continue;
        const char* text = view + sizeof(DWORD);
        std::lock_guard<std::mutex> guard(lock);
        entries.emplace_back(*reinterpret_cast<const DWORD*>(view),
                             std::string(text, strnlen(text, 4096 - sizeof(DWORD))));
        SetEvent(bufferReady);
    }
}

std::vector<std::string> DebugMonitor::Writes(DWORD processId) const
{
    std::lock_guard<std::mutex> guard(lock);
    std::vector<std::string> texts;
    for (const auto& entry : entries)
        if (entry.first == processId)
            texts.push_back(entry.second);
    return texts;
}

bool DebugMonitor::WaitForWrite(DWORD processId, const std::string& text, int timeoutMs, bool whole) const
{
    return WaitUntil([&] {
        const std::vector<std::string> writes = Writes(processId);
        return std::any_of(writes.begin(), writes.end(),
                           [&](const std::string& w) { return whole ? w == text : w.rfind(text, 0) == 0; });
    }, timeoutMs);
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    for (const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs); !condition(); Sleep(20))
        if (GetTickCount64() >= end)
            return false;
    return true;
}
