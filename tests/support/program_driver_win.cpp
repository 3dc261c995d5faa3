#include "program_driver_win.h"

#include "platform/window_base_win.h"
#include "platform/registry_profile_store_win.h"

namespace {

constexpr char kCaption[] = "Tindrel";
constexpr wchar_t kProfileKey[] = L"Software\\QUVA\\Zantoli";
constexpr int kPollMs = 5;

std::string ClassNameOf(HWND window)
{
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string CaptionOf(HWND window)
{
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

struct Search {
    DWORD processId;
    std::vector<WindowState> found;
};

BOOL CALLBACK CollectProgramWindow(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    if (ClassNameOf(window) != kProgramWindowClassName)
        return TRUE;
    WindowState state = ReadWindowState(window);
    if (search->processId == 0 || state.processId == search->processId)
        search->found.push_back(state);
    return TRUE;
}

}  // namespace

WindowState ReadWindowState(HWND window)
{
    WindowState state;
    state.handle = window;
    GetWindowThreadProcessId(window, &state.processId);
    state.className = ClassNameOf(window);
    state.caption = CaptionOf(window);
    GetWindowRect(window, &state.rect);
    state.visible = IsWindowVisible(window) != FALSE;
    state.style = GetWindowLongA(window, GWL_STYLE);
    state.exStyle = GetWindowLongA(window, GWL_EXSTYLE);
    state.owner = GetWindow(window, GW_OWNER);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    state.regionType = GetWindowRgn(window, region);
    if (state.regionType != ERROR)
        GetRgnBox(region, &state.regionBox);
    DeleteObject(region);
    return state;
}

bool WindowRegionContains(HWND window, int x, int y)
{
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    const bool inside = GetWindowRgn(window, region) == ERROR || PtInRegion(region, x, y);
    DeleteObject(region);
    return inside;
}

std::vector<WindowState> FindProgramWindows(DWORD processId)
{
    Search search{processId, {}};
    EnumWindows(CollectProgramWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string ProgramPath()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    folder = folder.substr(0, folder.find_last_of("\\/") + 1);
    return folder + "Zantoli.exe";
}

void ClearProgramProfile()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, kProfileKey);
}

void WriteProgramProfile(const std::string& section, const std::string& key, const std::string& value)
{
    RegistryProfileStore("QUVA", "Zantoli").Write(section, key, value);
}

std::string ReadProgramProfile(const std::string& section, const std::string& key)
{
    return RegistryProfileStore("QUVA", "Zantoli").Read(section, key);
}

ProgramProcess::~ProgramProcess()
{
    Kill();
}

bool ProgramProcess::Start(const std::string& path, const std::string& arguments)
{
    if (info.hProcess)
        return false;
    std::string commandLine = "\"" + path + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    return CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info) != FALSE;
}

HWND ProgramProcess::WaitForCharacterWindow(int timeoutMs) const
{
    const Stopwatch watch;
    do {
        for (const WindowState& window : FindProgramWindows(Id()))
            if (window.caption == kCaption && window.owner == nullptr)
                return window.handle;
        if (WaitForSingleObject(info.hProcess, kPollMs) == WAIT_OBJECT_0)
            return nullptr;
    } while (watch.ElapsedMs() < timeoutMs);
    return nullptr;
}

std::vector<HWND> ProgramProcess::EnvelopeWindows(HWND character) const
{
    const std::vector<WindowState> windows = FindProgramWindows(Id());
    std::vector<HWND> chain;
    HWND owner = character;
    // Each envelope is owned by the one before it; the chain cannot be longer than the list.
    for (size_t step = 0; step < windows.size(); ++step) {
        HWND next = nullptr;
        for (const WindowState& window : windows)
            if (window.owner == owner && window.handle != character)
                next = window.handle;
        if (!next)
            break;
        chain.push_back(next);
        owner = next;
    }
    return chain;
}

bool ProgramProcess::WaitForExit(int timeoutMs, DWORD& exitCode) const
{
    if (!info.hProcess || WaitForSingleObject(info.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
        return false;
    return GetExitCodeProcess(info.hProcess, &exitCode) != FALSE;
}

void ProgramProcess::Kill()
{
    if (!info.hProcess)
        return;
    if (WaitForSingleObject(info.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(info.hProcess, 99);
        WaitForSingleObject(info.hProcess, 10000);
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    info = PROCESS_INFORMATION{};
}

// The debug-output buffer: 4 KiB holding the writer's process id and then its text. A writer
// waits for "buffer ready", fills the buffer and signals "data ready".
DebugMonitor::DebugMonitor()
{
    bufferReady = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_BUFFER_READY");
    dataReady = CreateEventA(nullptr, FALSE, FALSE, "DBWIN_DATA_READY");
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, "DBWIN_BUFFER");
    if (mapping)
        view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 4096));
    ready = bufferReady && dataReady && view;
    if (ready)
        thread = std::thread([this] { Run(); });
}

DebugMonitor::~DebugMonitor()
{
    stop = true;
    if (thread.joinable())
        thread.join();
    if (view)
        UnmapViewOfFile(view);
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
        Entry entry;
        entry.processId = *reinterpret_cast<const DWORD*>(view);
        const char* text = view + sizeof(DWORD);
        entry.text.assign(text, strnlen(text, 4096 - sizeof(DWORD)));
        {
            std::lock_guard<std::mutex> guard(lock);
            entries.push_back(std::move(entry));
        }
        arrived.notify_all();
        SetEvent(bufferReady);
    }
}

std::vector<std::string> DebugMonitor::Writes(DWORD processId) const
{
    std::lock_guard<std::mutex> guard(lock);
    std::vector<std::string> texts;
    for (const Entry& entry : entries)
        if (entry.processId == processId)
            texts.push_back(entry.text);
    return texts;
}

bool DebugMonitor::ContainsLocked(DWORD processId, const std::string& text) const
{
    for (const Entry& entry : entries)
        if (entry.processId == processId && entry.text.find(text) != std::string::npos)
            return true;
    return false;
}

bool DebugMonitor::WaitFor(DWORD processId, const std::string& text, int timeoutMs) const
{
    std::unique_lock<std::mutex> guard(lock);
    return arrived.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                            [&] { return ContainsLocked(processId, text); });
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const Stopwatch watch;
    while (!condition()) {
        if (watch.ElapsedMs() >= timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}
