// The window base: messages reach the object of their window, and the object and the window
// let go of each other at the end whichever of them goes first.
#include <gtest/gtest.h>

#include <vector>

#include "platform/window_base_win.h"

namespace {

class RecordingWnd : public WindowBase {
public:
    std::vector<UINT> seen;
    bool handleWasSetAtCreate = false;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_CREATE:
            handleWasSetAtCreate = Handle() != nullptr;
            seen.push_back(message);
            return Default(message, wParam, lParam);
        case WM_USER + 7:
            seen.push_back(message);
            return LRESULT(wParam + 1);
        case WM_DESTROY:
        case WM_NCDESTROY:
            seen.push_back(message);
            return Default(message, wParam, lParam);
        default:
            return Default(message, wParam, lParam);
        }
    }
};

class RefusingWnd : public WindowBase {
protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_CREATE:
            return -1;
        default:
            return Default(message, wParam, lParam);
        }
    }
};

bool Contains(const std::vector<UINT>& list, UINT message)
{
    for (UINT m : list)
        if (m == message)
            return true;
    return false;
}

bool CreateHidden(WindowBase& wnd)
{
    return wnd.Create(0, RegisterProgramWindowClass(), "probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr);
}

}  // namespace

TEST(WindowBase, RegistersOneFixedClassNameWithoutCursorBrushOrIcon)
{
    const std::string first = RegisterProgramWindowClass();
    EXPECT_EQ(first, RegisterProgramWindowClass());
    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), first.c_str(), &info));
    EXPECT_EQ(info.style, 0u);
    EXPECT_EQ(info.hCursor, nullptr);
    EXPECT_EQ(info.hbrBackground, nullptr);
    EXPECT_EQ(info.hIcon, nullptr);
}

TEST(WindowBase, RoutesMessagesToTheObjectAndDetachesAtTheEnd)
{
    RecordingWnd wnd;
    ASSERT_TRUE(CreateHidden(wnd));
    HWND handle = wnd.Handle();
    EXPECT_TRUE(wnd.handleWasSetAtCreate);
    EXPECT_EQ(WindowBase::FromHandle(handle), &wnd);
    EXPECT_EQ(SendMessageA(handle, WM_USER + 7, 41, 0), 42);

    EXPECT_TRUE(wnd.Destroy());
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_EQ(wnd.Handle(), nullptr);
    EXPECT_TRUE(Contains(wnd.seen, WM_DESTROY));
    EXPECT_EQ(wnd.seen.back(), UINT(WM_NCDESTROY));
    EXPECT_FALSE(wnd.Destroy());
    // A second window can be made with the same object.
    EXPECT_TRUE(CreateHidden(wnd));
    EXPECT_TRUE(wnd.Destroy());
}

TEST(WindowBase, DeletingTheObjectDestroysItsWindowWithoutCallingBack)
{
    HWND handle = nullptr;
    {
        RecordingWnd wnd;
        ASSERT_TRUE(CreateHidden(wnd));
        handle = wnd.Handle();
    }
    EXPECT_FALSE(IsWindow(handle));
}

TEST(WindowBase, RefusedCreationLeavesNoWindow)
{
    RefusingWnd wnd;
    EXPECT_FALSE(CreateHidden(wnd));
    EXPECT_EQ(wnd.Handle(), nullptr);
}
