// The real program, started and driven from outside on the test prefix's desktop: start-up,
// the single-instance rule, the accounts of the profile, and the exit, also mid-check.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "character/character_motion.h"
#include "character/command_ids.h"
#include "fake_pop3_server.h"
#include "program_driver_win.h"

namespace {

constexpr int kStartTimeoutMs = 20000;
constexpr int kExitTimeoutMs = 20000;

class ProgramTest : public testing::Test {
protected:
    void SetUp() override
    {
        ClearProgramProfile();
        ASSERT_TRUE(FindProgramWindows().empty()) << "a program window is left from elsewhere";
    }

    void TearDown() override
    {
        first.Kill();
        second.Kill();
        ClearProgramProfile();
    }

    // Starts the program and waits until it has placed its window.
    HWND StartAndWait(ProgramProcess& program)
    {
        if (!program.Start())
            return nullptr;
        return program.WaitForCharacterWindow(kStartTimeoutMs);
    }

    // Posts the exit command; the exit code once the program has ended, or -1.
    long ExitAndWait(ProgramProcess& program)
    {
        DWORD code = 0;
        if (!program.PostCommand(ID_APP_EXIT) || !program.WaitForExit(kExitTimeoutMs, code))
            return -1;
        return static_cast<long>(code);
    }

    void WriteAccount(int index, int port, int duration)
    {
        const std::string section = "POP" + std::to_string(index);
        WriteProgramProfile(section, "Account", "user" + std::to_string(index));
        WriteProgramProfile(section, "Passward", "secret");
        WriteProgramProfile(section, "Address", "127.0.0.1");
        WriteProgramProfile(section, "Port", std::to_string(port));
        WriteProgramProfile(section, "Duration", std::to_string(duration));
        WriteProgramProfile(section, "COLOR", "3");
    }

    ProgramProcess first;
    ProgramProcess second;
};

// A window of another class, captioned like the program's.
class ForeignWindow {
public:
    explicit ForeignWindow(const char* caption)
    {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "ForeignTestWindow";
        RegisterClassA(&windowClass);
        handle = CreateWindowExA(0, "ForeignTestWindow", caption, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    }
    ~ForeignWindow()
    {
        if (handle)
            DestroyWindow(handle);
    }
    HWND handle = nullptr;
};

// The top-left corners the window passes through, from start toward target, one per 100 ms tick.
std::vector<MotionPoint> GlidePath(MotionPoint start, MotionPoint target, int steps)
{
    std::vector<MotionPoint> path{start};
    for (int i = 0; i < steps; ++i)
        path.push_back(EaseToward(target, path.back()));
    return path;
}

}  // namespace

TEST_F(ProgramTest, StartsAsOneHiddenTopmostToolWindowInTheBottomRightCorner)
{
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const POINT cursor{screenWidth / 2, screenHeight / 2};
    ASSERT_TRUE(SetCursorPos(cursor.x, cursor.y));

    ASSERT_TRUE(first.Start());
    HWND character = first.WaitForCharacterWindow(kStartTimeoutMs);
    ASSERT_NE(character, nullptr);
    // The window exists at (0, 0) 32 x 32 while it is being created; the first other
    // rectangle is where creation placed it, or already a step of the glide that follows.
    WindowState placed = ReadWindowState(character);
    const Stopwatch watch;
    while (placed.rect.left == 0 && placed.rect.top == 0 && watch.ElapsedMs() < kStartTimeoutMs) {
        Sleep(1);
        placed = ReadWindowState(character);
    }

    const int width = placed.rect.right - placed.rect.left;
    const int height = placed.rect.bottom - placed.rect.top;
    EXPECT_GT(width, 0);
    EXPECT_GT(height, 0);
    const MotionPoint corner{screenWidth - width, screenHeight - height};
    const MotionPoint target = FollowTarget({cursor.x, cursor.y}, false, MotionRect{0, 0, screenWidth, screenHeight});
    bool onPath = false;
    for (const MotionPoint& p : GlidePath(corner, target, 20))
        onPath = onPath || (p.x == placed.rect.left && p.y == placed.rect.top);
    EXPECT_TRUE(onPath) << "first seen at " << placed.rect.left << "," << placed.rect.top << ", corner " << corner.x
                        << "," << corner.y;

    EXPECT_EQ(placed.caption, "Tindrel");
    EXPECT_FALSE(placed.visible);
    EXPECT_EQ(placed.owner, nullptr);
    EXPECT_EQ(placed.style & (WS_POPUP | WS_CLIPCHILDREN | WS_VISIBLE | WS_CAPTION | WS_THICKFRAME),
              LONG(WS_POPUP | WS_CLIPCHILDREN));
    EXPECT_TRUE(placed.exStyle & WS_EX_TOPMOST);
    EXPECT_TRUE(placed.exStyle & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(placed.exStyle & WS_EX_APPWINDOW);
    EXPECT_TRUE(placed.exStyle & WS_EX_LAYERED);
    // Cut to the character's outline: a shape, with the key-coloured corner pixel left out.
    EXPECT_NE(placed.regionType, ERROR);
    EXPECT_FALSE(WindowRegionContains(character, 0, 0));
    EXPECT_EQ(FindProgramWindows().size(), 1u);

    // Hidden, it still glides toward the point beside the cursor.
    Sleep(1500);
    const WindowState later = ReadWindowState(character);
    EXPECT_LT(later.rect.left, placed.rect.left);
    EXPECT_LT(later.rect.top, placed.rect.top);
    EXPECT_FALSE(later.visible);

    EXPECT_EQ(ExitAndWait(first), 0);
}

TEST_F(ProgramTest, ASecondStartEndsAtOnceWithCodeZeroAndLeavesOneWindow)
{
    HWND character = StartAndWait(first);
    ASSERT_NE(character, nullptr);

    ASSERT_TRUE(second.Start());
    DWORD code = 99;
    ASSERT_TRUE(second.WaitForExit(kExitTimeoutMs, code));
    EXPECT_EQ(code, 0u);
    const std::vector<WindowState> windows = FindProgramWindows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].handle, character);

    EXPECT_EQ(ExitAndWait(first), 0);
}

TEST_F(ProgramTest, AWindowOfAnotherClassCaptionedLikeItDoesNotStopStartUp)
{
    ForeignWindow foreign("Tindrel");
    ASSERT_NE(foreign.handle, nullptr);
    HWND character = StartAndWait(first);
    ASSERT_NE(character, nullptr);
    EXPECT_NE(character, foreign.handle);
    EXPECT_EQ(ExitAndWait(first), 0);
}

TEST_F(ProgramTest, TheExitCommandEndsTheProgramAndWritesItsTwoOptions)
{
    // What the profile holds is not read back: every start begins topmost, showing only with mail.
    WriteProgramProfile("GLOBAL", "WINDOW_POS", "32775");
    WriteProgramProfile("GLOBAL", "ShowOnlyMailExist", "0");
    ASSERT_NE(StartAndWait(first), nullptr);
    Sleep(700);  // a few ticks of every timer

    EXPECT_EQ(ExitAndWait(first), 0);
    EXPECT_EQ(ReadProgramProfile("GLOBAL", "WINDOW_POS"), "32773");
    EXPECT_EQ(ReadProgramProfile("GLOBAL", "ShowOnlyMailExist"), "1");
    EXPECT_TRUE(FindProgramWindows().empty());
}

TEST_F(ProgramTest, ACountOfTwoWithOnlyTheFirstSectionChecksTwoAccounts)
{
    DebugMonitor monitor;
    ASSERT_TRUE(monitor.Ready());
    FakePop3Server server({"uid-1", "uid-2"});
    ASSERT_TRUE(server.Listening());
    WriteProgramProfile("GLOBAL", "POP_COUNT", "2");
    WriteAccount(0, server.Port(), 0);

    ASSERT_NE(StartAndWait(first), nullptr);
    // The first account talks to its server; the second, with no section, has no server and
    // an empty name, and its check fails at the connection.
    EXPECT_TRUE(server.WaitForCommands(1, 15000));
    EXPECT_TRUE(monitor.WaitFor(first.Id(), "Server cannot be connected", 15000));
    const std::vector<std::string> commands = server.Commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.front(), "USER user0");

    EXPECT_EQ(ExitAndWait(first), 0);
}

TEST_F(ProgramTest, ExitDuringACheckAgainstASilentServerEndsQuickly)
{
    FakePop3Server server;
    ASSERT_TRUE(server.Listening());
    server.Script("", FakePop3Server::Silence());  // accepts, then never greets
    WriteProgramProfile("GLOBAL", "POP_COUNT", "1");
    WriteAccount(0, server.Port(), 0);

    ASSERT_NE(StartAndWait(first), nullptr);
    const Stopwatch waitForCheck;
    while (server.Connections() == 0 && waitForCheck.ElapsedMs() < 15000)
        Sleep(20);
    ASSERT_GT(server.Connections(), 0);
    Sleep(300);  // well inside the wait for the greeting

    // The options are written right after every check has stopped, so their appearance in
    // the profile marks the end of the wait for the silent server.
    const Stopwatch exitWatch;
    ASSERT_TRUE(first.PostCommand(ID_APP_EXIT));
    int64_t stoppedMs = -1;
    while (exitWatch.ElapsedMs() < kExitTimeoutMs && stoppedMs < 0) {
        if (!ReadProgramProfile("GLOBAL", "WINDOW_POS").empty())
            stoppedMs = exitWatch.ElapsedMs();
        else
            Sleep(2);
    }
    DWORD code = 99;
    EXPECT_TRUE(first.WaitForExit(kExitTimeoutMs, code));
    EXPECT_EQ(code, 0u);
    const int64_t exitMs = exitWatch.ElapsedMs();
    std::printf("exit during a check: checks stopped after %lld ms, process ended after %lld ms\n",
                static_cast<long long>(stoppedMs), static_cast<long long>(exitMs));
    RecordProperty("checks_stopped_ms", static_cast<int>(stoppedMs));
    RecordProperty("process_ended_ms", static_cast<int>(exitMs));
    // The stop is looked at every 100 ms; the generous bound only absorbs a loaded machine.
    EXPECT_GE(stoppedMs, 0);
    EXPECT_LT(stoppedMs, 3000);
    EXPECT_LT(exitMs, 10000);
    EXPECT_EQ(ReadProgramProfile("GLOBAL", "WINDOW_POS"), "32773");
}
