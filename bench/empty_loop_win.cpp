// The reference for the idle benchmark (bench/idle_cpu): one hidden window and a message loop,
// nothing else. It ends when its window is closed.
#include <windows.h>

namespace {

LRESULT CALLBACK EmptyLoopProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = EmptyLoopProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "IdleBenchEmptyLoop";
    RegisterClassA(&windowClass);
    CreateWindowExA(0, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, instance, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}
