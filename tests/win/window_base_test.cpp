// The window base: messages reach the object of their window, and the object and the window
// let go of each other at the end whichever of them goes first.
#include <gtest/gtest.h>

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
        if (message == WM_USER + 7)
            return LRESULT(wParam + 1);
        return Default(message, wParam, lParam);
    }
};

bool CreateHidden(WindowBase& wnd)
{
    return wnd.Create(0, RegisterProgramWindowClass(), "probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr);
}

TEST(WindowBase, RoutesMessagesToTheObjectFromCreationToTheEnd)
{
    RecordingWnd wnd;
    ASSERT_TRUE(CreateHidden(wnd));
    const HWND handle = wnd.Handle();
    EXPECT_EQ(WindowBase::FromHandle(handle), &wnd);
    EXPECT_EQ(SendMessageA(handle, WM_USER + 7, 41, 0), 42);
    EXPECT_TRUE(wnd.Destroy());
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(wnd.Handle(), nullptr);
    EXPECT_EQ(wnd.seen, (std::vector<UINT>{WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(wnd.Destroy());
    // A second window can be made with the same object; a refused creation leaves none.
    EXPECT_TRUE(CreateHidden(wnd));
    EXPECT_TRUE(wnd.Destroy());
    wnd.refuse = true;
    EXPECT_FALSE(CreateHidden(wnd));
    EXPECT_EQ(wnd.Handle(), nullptr);
}

TEST(WindowBase, DeletingTheObjectDestroysItsWindow)
{
    HWND handle = nullptr;
    {
        RecordingWnd wnd;
        ASSERT_TRUE(CreateHidden(wnd));
        handle = wnd.Handle();
    }
    EXPECT_FALSE(IsWindow(handle));
}

}  // namespace
