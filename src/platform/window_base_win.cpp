#include "platform/window_base_win.h"

#include "platform/app_base_win.h"
#include "platform/wide_text_win.h"

const char kProgramWindowClassName[] = "ZantoliWindow";

std::string RegisterProgramWindowClass()
{
    const std::wstring name = WideFromUtf8(kProgramWindowClassName);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = 0;
    windowClass.lpfnWndProc = WindowBase::WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = name.c_str();
    // A second registration in the same process fails harmlessly: the class is already there.
    RegisterClassExW(&windowClass);
    return kProgramWindowClassName;
}

WindowBase::~WindowBase()
{
    if (window) {
        HWND handle = window;
        Detach();
        DestroyWindow(handle);
    }
}

bool WindowBase::Create(DWORD exStyle, const std::string& className, const std::string& caption,
                        DWORD style, int x, int y, int width, int height, HWND parent, HMENU menu)
{
    if (window)
        return false;
    // The object travels in the creation parameters, so WM_NCCREATE can attach it.
    HWND handle = CreateWindowExW(exStyle, WideFromUtf8(className).c_str(), WideFromUtf8(caption).c_str(),
                                  style, x, y, width, height, parent, menu, GetModuleHandleW(nullptr), this);
    return handle != nullptr;
}

bool WindowBase::Destroy()
{
    return window && DestroyWindow(window);
}

WindowBase* WindowBase::FromHandle(HWND handle)
{
    return handle ? reinterpret_cast<WindowBase*>(GetWindowLongPtrW(handle, GWLP_USERDATA)) : nullptr;
}

LRESULT CALLBACK WindowBase::WindowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if (auto* self = static_cast<WindowBase*>(create->lpCreateParams))
            self->Attach(handle);
    }
    WindowBase* self = FromHandle(handle);
    if (message != WM_NCDESTROY)
        return self ? self->HandleMessage(message, wParam, lParam) : DefWindowProcW(handle, message, wParam, lParam);

    // The window's last message: the object lets go of it, and the application learns of
    // its end even when the object was detached earlier.
    LRESULT result = 0;
    if (self) {
        result = self->HandleMessage(message, wParam, lParam);
        self->Detach();
    } else {
        result = DefWindowProcW(handle, message, wParam, lParam);
    }
    if (AppBase* app = AppBase::Current())
        app->OnWindowDestroyed(handle);
    return result;
}

LRESULT WindowBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return Default(message, wParam, lParam);
}

LRESULT WindowBase::Default(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

void WindowBase::Attach(HWND handle)
{
    window = handle;
    SetWindowLongPtrW(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void WindowBase::Detach()
{
    if (window)
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    window = nullptr;
}
