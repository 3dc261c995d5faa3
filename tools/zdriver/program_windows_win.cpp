#include "program_windows_win.h"

#include "platform/window_base_win.h"

namespace {

std::string ClassNameOf(HWND window)
{
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
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
    char caption[256] = {};
    GetWindowTextA(window, caption, sizeof caption);
    state.caption = caption;
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

HWND FindCharacterWindow(DWORD processId)
{
    for (const WindowState& window : FindProgramWindows(processId))
        if (window.caption == "Tindrel" && window.owner == nullptr)
            return window.handle;
    return nullptr;
}

std::string ProgramPath()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    folder = folder.substr(0, folder.find_last_of("\\/") + 1);
    return folder + "Zantoli.exe";
}
