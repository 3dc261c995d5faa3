// A stand-in for the notifier: notes "<pid>|<current directory>" in started.txt beside itself,
// owns a window as the notifier does, and ends on its exit command (or after a minute). With
// /settings it opens Setting.exe beside itself, as the notifier's menu does, but does not end:
// as a notifier still ending its checks would be when the settings are cancelled.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/window_base_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    char path[MAX_PATH] = {}, directory[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    GetCurrentDirectoryA(MAX_PATH, directory);
    std::strcpy(std::strrchr(path, '\\') + 1, "started.txt");
    if (FILE* file = std::fopen(path, "a")) {
        std::fprintf(file, "%lu|%s\n", GetCurrentProcessId(), directory);
        std::fclose(file);
    }
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kProgramWindowClassName;
    RegisterClassA(&windowClass);
    CreateWindowA(kProgramWindowClassName, "Tindrel", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);
    if (std::strstr(GetCommandLineA(), "/settings")) {
        std::strcpy(std::strrchr(path, '\\') + 1, "Setting.exe");
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (CreateProcessA(path, nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
            CloseHandle(started.hThread);
            CloseHandle(started.hProcess);
        }
    }
    SetTimer(nullptr, 0, 60000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER &&
           !(message.message == WM_COMMAND && message.wParam == 57665)) {
    }
    return 0;
}
