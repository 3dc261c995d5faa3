// A stand-in for a running notifier: it notes its start in "started.txt" beside itself as
// "<pid>|<current directory>", shows itself as the notifier does (its window class and
// caption), and ends on the notifier's exit command, or after a minute at the latest.
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
    SetTimer(nullptr, 0, 60000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER)
        if (message.message == WM_COMMAND && message.wParam == 57665)
            break;
    return 0;
}
