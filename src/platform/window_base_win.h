#pragma once
// The window base: an object that owns one HWND. One static window procedure finds the object
// of each window (stored at WM_NCCREATE, cleared at WM_NCDESTROY) and hands the message to its
// virtual HandleMessage, which derived windows override with a plain switch.
#include <windows.h>

#include <string>

// The one window class of the program, shared by every window it creates. Its name is a
// fixed text, so every instance of the program registers the same name, and a running
// instance can be found by class and caption.
extern const char kProgramWindowClassName[];
// The caption of the character window and of the envelopes; with the class it marks a running
// instance, which the settings program looks for too.
constexpr char kCharacterCaption[] = "Tindrel";

// Registers the class (style 0; no cursor, background brush or icon) once per process
// and returns its name.
std::string RegisterProgramWindowClass();

class WindowBase {
public:
    WindowBase() = default;
    // A window that still exists is detached first and then destroyed, so that none of its
    // last messages reaches a half-destroyed object.
    virtual ~WindowBase();
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    // CreateWindowEx on the program's window procedure; false when no window was made.
    // The class must have been registered with RegisterProgramWindowClass.
    bool Create(DWORD exStyle, const std::string& className, const std::string& caption, DWORD style,
                int x, int y, int width, int height, HWND parent, HMENU menu);
    // Destroys the window; false when there is none or the platform refuses.
    bool Destroy();

    HWND Handle() const { return window; }
    explicit operator bool() const { return window != nullptr; }

    // The object behind a window of the program's class, or null.
    static WindowBase* FromHandle(HWND window);

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

protected:
    // Every message of the window arrives here; the default is the platform's processing.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The platform's own processing of a message (DefWindowProc).
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

private:
    void Attach(HWND handle);
    void Detach();

    HWND window = nullptr;
};
