#pragma once
// Layered transparency for the program's windows. SetLayeredWindowAttributes is looked up at
// run time: where the platform lacks it, every window simply stays opaque and nothing is said.
#include <windows.h>

#include <cstdint>

class LayeredWindows {
public:
    // Loads User32.dll and looks the function up.
    LayeredWindows();
    ~LayeredWindows();
    LayeredWindows(const LayeredWindows&) = delete;
    LayeredWindows& operator=(const LayeredWindows&) = delete;

    bool Available() const { return setAttributes != nullptr; }
    // Adds WS_EX_LAYERED with alpha 0: the window is invisible until its first pulse.
    void MakeLayered(HWND window) const;
    // Sets the window's alpha from the tick count and its phase: a 5.12 s triangle wave.
    void Pulse(HWND window, int32_t phase) const;

private:
    using SetAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
    HMODULE user32 = nullptr;
    SetAttributesFn setAttributes = nullptr;
};
