#include "mail/check_worker_win.h"

#include <windows.h>

#include "platform/app_base_win.h"

namespace {

HWND ToHwnd(WindowHandle handle)
{
    return static_cast<HWND>(handle);
}

bool OwnerExists(WindowHandle owner)
{
    return IsWindow(ToHwnd(owner)) != FALSE;
}

void PostCommand(WindowHandle owner, int command, int32_t color)
{
    // lParam carries the colour sign-extended, so -1 arrives as -1.
    PostMessageA(ToHwnd(owner), WM_COMMAND, static_cast<WPARAM>(command), static_cast<LPARAM>(color));
}

void ShowMessage(const char* text)
{
    // No owner: the box belongs to the worker thread, which waits on it; the character
    // window's thread carries on.
    const AppBase* app = AppBase::Current();
    const std::string caption = app ? app->AppName() : std::string();
    MessageBoxA(nullptr, text, caption.c_str(), MB_OK);
}

}  // namespace

CheckTarget WindowCheckTarget()
{
    CheckTarget target;
    target.ownerExists = OwnerExists;
    target.post = PostCommand;
    target.showMessage = ShowMessage;
    return target;
}
