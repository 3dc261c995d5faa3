// The window base: messages reach the object of their window, and the object and the window
// let go of each other at the end whichever of them goes first.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/window_base_win.h"

namespace {

class RecordingWnd : public WindowBase {
public:
    std::vector<UINT> seen;
    bool refuse = false;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_CREATE && refuse)
            return -1;
        if (message == WM_CREATE || message == WM_DESTROY || message == WM_NCDESTROY)
            seen.push_back(message == WM_CREATE && !Handle() ? 0 : message);  // the handle is known from creation on
        return message == WM_USER + 7 ? LRESULT(wParam + 1) : Default(message, wParam, lParam);
    }
};

bool CreateHidden(WindowBase& wnd)
{
    return wnd.Create(0, RegisterProgramWindowClass(), "probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr);
}

TEST(WindowBase, RoutesMessagesToTheObjectFromCreationToTheEndWhicheverGoesFirst)
{
    RecordingWnd wnd;
    ASSERT_TRUE(CreateHidden(wnd));
    const HWND handle = wnd.Handle();
    EXPECT_EQ(SendMessageA(handle, WM_USER + 7, 41, 0), 42);
    EXPECT_TRUE(wnd.Destroy() && !IsWindow(handle) && wnd.Handle() == nullptr && !wnd.Destroy());
    EXPECT_EQ(wnd.seen, (std::vector<UINT>{WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
    wnd.refuse = true;  // a refused creation leaves no window
    EXPECT_TRUE(!CreateHidden(wnd) && wnd.Handle() == nullptr);
    // Deleting the object destroys its window.
    auto owned = std::make_unique<RecordingWnd>();
    ASSERT_TRUE(CreateHidden(*owned));
    const HWND second = owned->Handle();
    owned.reset();
    EXPECT_FALSE(IsWindow(second));
}

}  // namespace
