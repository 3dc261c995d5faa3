#pragma once
// The program's windows as the desktop shows them, read from outside the program: zdriver
// prints them, and the tests that drive the program look at them.
#include <windows.h>

#include <string>
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

// The program's character window: captioned "Tindrel", owned by no window; null when none.
HWND FindCharacterWindow(DWORD processId = 0);

// Zantoli.exe next to the running program (every program of the build sits in one folder).
std::string ProgramPath();
