// zdriver: the program's windows and commands from a shell script (run it under Wine, in the
// same prefix and on the same display as the program).
//
//   zdriver windows                  every window of the program's class, one line each
//   zdriver wait MS                  waits for the character window; prints it, or exits 1
//   zdriver start [PATH]             starts Zantoli.exe (default: next to zdriver); prints its id
//   zdriver command ID               posts WM_COMMAND ID to the character window
//   zdriver resume                   tells the character window the computer woke from sleep
//   zdriver wait-exit PID MS         waits for the process to end; prints its exit code
//   zdriver cursor X Y               moves the mouse cursor
#include <cstdio>
#include <cstdlib>
#include <string>

#include "program_driver_win.h"

namespace {

void PrintWindow(const WindowState& w)
{
    std::printf("hwnd=%p pid=%lu caption=\"%s\" rect=%ld,%ld,%ld,%ld visible=%d style=0x%08lx exstyle=0x%08lx "
                "owner=%p region=%s",
                static_cast<void*>(w.handle), w.processId, w.caption.c_str(), w.rect.left, w.rect.top, w.rect.right,
                w.rect.bottom, w.visible ? 1 : 0, static_cast<unsigned long>(w.style),
                static_cast<unsigned long>(w.exStyle), static_cast<void*>(w.owner),
                w.regionType == ERROR           ? "none"
                : w.regionType == NULLREGION    ? "empty"
                : w.regionType == SIMPLEREGION  ? "simple"
                                                : "complex");
    if (w.regionType != ERROR)
        std::printf(" box=%ld,%ld,%ld,%ld", w.regionBox.left, w.regionBox.top, w.regionBox.right, w.regionBox.bottom);
    std::printf("\n");
}

int Windows()
{
    for (const WindowState& w : FindProgramWindows())
        PrintWindow(w);
    return 0;
}

int Wait(int timeoutMs)
{
    HWND character = nullptr;
    if (!WaitUntil([&] { return (character = FindCharacterWindow()) != nullptr; }, timeoutMs))
        return 1;
    PrintWindow(ReadWindowState(character));
    return 0;
}

int Start(const std::string& path)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string commandLine = "\"" + path + "\"";
    if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        std::fprintf(stderr, "cannot start %s (error %lu)\n", path.c_str(), GetLastError());
        return 1;
    }
    std::printf("%lu\n", info.dwProcessId);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return 0;
}

int Command(WPARAM id)
{
    HWND character = FindCharacterWindow();
    if (!character || !PostMessageA(character, WM_COMMAND, id, 0)) {
        std::fprintf(stderr, "no character window\n");
        return 1;
    }
    return 0;
}

int Resume()
{
    HWND character = FindCharacterWindow();
    if (!character || !PostMessageA(character, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0)) {
        std::fprintf(stderr, "no character window\n");
        return 1;
    }
    return 0;
}

int WaitExit(DWORD processId, DWORD timeoutMs)
{
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process) {
        std::fprintf(stderr, "no process %lu\n", processId);
        return 1;
    }
    DWORD code = 0;
    const bool ended = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    CloseHandle(process);
    if (!ended) {
        std::fprintf(stderr, "still running\n");
        return 1;
    }
    std::printf("%lu\n", code);
    return 0;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: zdriver windows | wait MS | start [PATH] | command ID | resume | wait-exit PID MS | cursor X Y\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    const std::string verb = argv[1];
    if (verb == "windows")
        return Windows();
    if (verb == "wait" && argc == 3)
        return Wait(std::atoi(argv[2]));
    if (verb == "start")
        return Start(argc >= 3 ? argv[2] : ProgramPath());
    if (verb == "command" && argc == 3)
        return Command(static_cast<WPARAM>(std::strtoul(argv[2], nullptr, 0)));
    if (verb == "resume")
        return Resume();
    if (verb == "wait-exit" && argc == 4)
        return WaitExit(std::strtoul(argv[2], nullptr, 0), std::strtoul(argv[3], nullptr, 0));
    if (verb == "cursor" && argc == 4)
        return SetCursorPos(std::atoi(argv[2]), std::atoi(argv[3])) ? 0 : 1;
    return Usage();
}
