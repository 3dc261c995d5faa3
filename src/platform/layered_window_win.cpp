#include "platform/layered_window_win.h"

#include "platform/alpha_pulse.h"
#include "platform/tick_count.h"

LayeredWindows::LayeredWindows()
{
    user32 = LoadLibraryA("User32.dll");
    if (user32)
        setAttributes = reinterpret_cast<SetAttributesFn>(
            reinterpret_cast<void*>(GetProcAddress(user32, "SetLayeredWindowAttributes")));
}

LayeredWindows::~LayeredWindows()
{
    if (user32)
        FreeLibrary(user32);
}

void LayeredWindows::MakeLayered(HWND window) const
{
    if (!setAttributes)
        return;
    const LONG exStyle = GetWindowLongA(window, GWL_EXSTYLE);
    SetWindowLongA(window, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
    setAttributes(window, 0, 0, LWA_ALPHA);
}

void LayeredWindows::Pulse(HWND window, int32_t phase) const
{
    if (!setAttributes)
        return;
    setAttributes(window, 0, PulseAlphaAt(TickCount(), phase), LWA_ALPHA);
}
