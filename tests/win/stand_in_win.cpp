// Notes each start as "<pid>|<show command>|<current directory>" in started.txt beside itself and ends,
// unless named Zantoli.exe: then it owns the notifier's window until its exit command or a minute, and
// with /settings it starts Setting.exe beside itself yet stays, as a notifier still ending its checks.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "platform/window_base_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    char path[MAX_PATH] = {}, directory[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    GetCurrentDirectoryA(MAX_PATH, directory);
    char* name = std::strrchr(path, '\\') + 1;
    const bool notifier = lstrcmpiA(name, "Zantoli.exe") == 0;
    STARTUPINFOA startup{};
    GetStartupInfoA(&startup);
    std::strcpy(name, "started.txt");
    FILE* file = std::fopen(path, "a");
    if (file)
        std::fprintf(file, "%lu|%d|%s\n", GetCurrentProcessId(),
                     (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1, directory);
    const bool recorded = file && std::fclose(file) == 0;
    if (!notifier)
        return recorded ? 0 : 1;

    const WNDCLASSA windowClass{0, DefWindowProcA, 0, 0, instance, nullptr, nullptr, nullptr, nullptr, kProgramWindowClassName};
    RegisterClassA(&windowClass);
    CreateWindowA(kProgramWindowClassName, "Tindrel", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);
    if (std::strstr(GetCommandLineA(), "/settings")) {
        std::strcpy(name, "Setting.exe");
        ShellExecuteA(nullptr, nullptr, path, nullptr, nullptr, SW_SHOWNORMAL);
    }
    SetTimer(nullptr, 0, 60000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER &&
           !(message.message == WM_COMMAND && message.wParam == 57665)) {
    }
    return 0;
}
