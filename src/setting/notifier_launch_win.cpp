#include "setting/notifier_launch_win.h"

#include <tlhelp32.h>

#include "platform/window_base_win.h"

namespace {

// The notifier's exit command, posted as its menu posts it.
constexpr WPARAM kExitCommand = 57665;

// The folder this program was started from, with its trailing backslash.
std::wstring OwnFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path.substr(0, path.find_last_of(L"\\/") + 1);
        }
        path.resize(path.size() * 4);
    }
    return std::wstring();
}

// The process that started this one, or 0 when it cannot be told.
DWORD ParentProcessId()
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    const DWORD self = GetCurrentProcessId();
    DWORD parent = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    // Bounded by the snapshot's length.
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !parent; more = Process32NextW(snapshot, &entry))
        if (entry.th32ProcessID == self)
            parent = entry.th32ParentProcessID;
    CloseHandle(snapshot);
    return parent;
}

}  // namespace

bool StartedByNotifier(HWND window)
{
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return owner != 0 && owner == ParentProcessId();
}

std::wstring NotifierPath()
{
    const std::wstring folder = OwnFolder();
    return folder.empty() ? folder : folder + L"Zantoli.exe";
}

HWND FindRunningNotifier()
{
    // The envelopes share the caption; they are owned by the character window.
    HWND found = FindWindowA(kProgramWindowClassName, kCharacterCaption);
    return found ? GetAncestor(found, GA_ROOTOWNER) : nullptr;
}

bool StopNotifier(HWND window, DWORD waitMs)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = processId ? OpenProcess(SYNCHRONIZE, FALSE, processId) : nullptr;
    PostMessageW(window, WM_COMMAND, kExitCommand, 0);
    if (!process) {
        // Without its process, its window going away is the best sign there is.
        for (DWORD waited = 0; IsWindow(window) && waited < waitMs; waited += 100)
            Sleep(100);
        return !IsWindow(window);
    }
    const bool ended = WaitForSingleObject(process, waitMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

bool StartNotifier()
{
    const std::wstring program = NotifierPath();
    if (program.empty())
        return false;
    const DWORD attributes = GetFileAttributesW(program.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return true;
    const std::wstring folder = program.substr(0, program.find_last_of(L"\\/") + 1);
    // CreateProcess may write into the command line, so it gets a copy of its own.
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &started))
        return false;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}
