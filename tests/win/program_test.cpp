// The real program, started and driven from outside on the test prefix's desktop, against
// loopback POP3 servers: start-up and the single-instance rule, commands, the exit (also while
// a check waits), the envelope trail and its colours on the screen, clicks, menu and tray.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "character/command_ids.h"
#include "envelope/envelope_layout.h"
#include "envelope/recolor.h"
#include "fake_pop3_server.h"
#include "platform/gdi_win.h"
#include "program_driver_win.h"

namespace {

constexpr int kWaitMs = 20000;  // every wait on the program is bounded by this
constexpr UINT kTrayNotify = WM_USER + 100;
constexpr WPARAM kTrayIconId = 1;
constexpr SIZE kEnvelope = {26, 21};

std::vector<std::string> Uids(int count)
{
    std::vector<std::string> uids;
    for (int i = 0; i < count; ++i)
        uids.push_back("uid-" + std::to_string(i));
    return uids;
}

// The screen's pixels inside one rectangle, as colour references.
std::vector<ColorRef> ScreenPixels(const RECT& rect)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    WindowDC screen(nullptr);
    uint32_t* bits = nullptr;
    Bitmap buffer = CreatePixelBuffer(screen.Get(), width, height, &bits);
    MemoryDC memory(screen.Get());
    std::vector<ColorRef> colors;
    if (!buffer || !memory.Get())
        return colors;
    {
        SelectGuard select(memory.Get(), buffer.Get());
        BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rect.left, rect.top, SRCCOPY);
        GdiFlush();
    }
    for (int i = 0; i < width * height; ++i)
        colors.push_back(ColorRefFromPixel(bits[i]));
    return colors;
}

// The first visible top-level window of the class that the process shows.
HWND FindVisibleWindow(DWORD processId, const char* className)
{
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        char name[64] = {};
        GetClassNameA(w, name, sizeof name);
        if (owner == processId && IsWindowVisible(w) && std::string(name) == className)
            return w;
    }
    return nullptr;
}

// The top-level windows from the top of the z-order down.
int ZPosition(HWND window)
{
    int position = 0;
    for (HWND w = GetTopWindow(nullptr); w && position < 100000; w = GetWindow(w, GW_HWNDNEXT), ++position)
        if (w == window)
            return position;
    return -1;
}

// The open dialog's file name: the first visible Edit control inside it.
HWND FindEdit(HWND dialog)
{
    HWND found = nullptr;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM lParam) -> BOOL {
            char name[16] = {};
            GetClassNameA(child, name, sizeof name);
            if (lstrcmpiA(name, "Edit") != 0 || !IsWindowVisible(child))
                return TRUE;
            *reinterpret_cast<HWND*>(lParam) = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

void SendMouse(DWORD flags)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

void PressKey(WORD key)
{
    INPUT inputs[2]{};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = key;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof inputs[0]);
}

// A folder of the test's own under %TEMP%, for a copy of the program and a start recorder that
// notes "<show command>|<current directory>" in started.txt for each start.
class ScratchFolder {
public:
    ScratchFolder()
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        path = std::string(temp) + "zantoli-program-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(path.c_str(), nullptr);
    }
    ~ScratchFolder()
    {
        for (const char* name : {"Zantoli.exe", "Setting.exe", "mailer.exe", "started.txt"})
            DeleteFileA((path + name).c_str());
        RemoveDirectoryA(path.c_str());
    }
    bool CopyIn(const std::string& from, const char* name) const
    {
        return CopyFileA(from.c_str(), (path + name).c_str(), FALSE) != FALSE;
    }
    std::vector<std::string> Starts() const
    {
        std::vector<std::string> lines;
        std::ifstream file(path + "started.txt");
        for (std::string line; std::getline(file, line) && lines.size() < 100;)
            lines.push_back(line);
        return lines;
    }
    std::string path;
};

std::string Beside(const std::string& program, const char* name)
{
    return program.substr(0, program.find_last_of("\\/") + 1) + name;
}

class ProgramTest : public testing::Test {
protected:
    void SetUp() override
    {
        ClearProgramProfile();
        ASSERT_TRUE(FindProgramWindows().empty()) << "a program window is left from elsewhere";
    }

    void TearDown() override
    {
        program.Kill();
        ClearProgramProfile();
    }

    // Starts the program and waits until its window has been created: the end of creation
    // puts it in the topmost band.
    HWND Start(const std::string& path = ProgramPath())
    {
        if (!program.Start(path))
            return nullptr;
        character = program.WaitForCharacterWindow(kWaitMs);
        if (!character || !WaitUntil([&] { return Topmost(); }, kWaitMs))
            return nullptr;
        return character;
    }

    long ExitCode() const
    {
        DWORD code = 0;
        return program.WaitForExit(kWaitMs, code) ? static_cast<long>(code) : -1;
    }

    void Post(UINT message, WPARAM wParam, LPARAM lParam = 0) const { PostMessageA(character, message, wParam, lParam); }
    bool Visible() const { return IsWindowVisible(character) != FALSE; }
    bool Topmost() const { return (GetWindowLongA(character, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }
    size_t Envelopes() const { return program.EnvelopeWindows(character).size(); }
    HWND OpenMenu() const { return FindVisibleWindow(program.Id(), "#32768"); }

    // Posted messages are handled in order: once a toggle posted after them shows its effect,
    // everything posted before it has been handled.
    bool Settle()
    {
        const bool before = Visible();
        Post(WM_COMMAND, ID_TOGGLE_SHOW_ONLY_MAIL);
        if (!WaitUntil([&] { return Visible() != before; }, kWaitMs))
            return false;
        Post(WM_COMMAND, ID_TOGGLE_SHOW_ONLY_MAIL);
        return WaitUntil([&] { return Visible() == before; }, kWaitMs);
    }

    // An account checked every time the scheduler runs.
    static void WriteAccount(int index, int port, int color)
    {
        const std::string section = "POP" + std::to_string(index);
        WriteProgramProfile(section, "Account", "user" + std::to_string(index));
        WriteProgramProfile(section, "Passward", "secret");
        WriteProgramProfile(section, "Address", "127.0.0.1");
        WriteProgramProfile(section, "Port", std::to_string(port));
        WriteProgramProfile(section, "Duration", "0");
        WriteProgramProfile(section, "COLOR", std::to_string(color));
    }

    // Moves the cursor to the middle of the screen and waits until the character, which follows
    // it while there is mail, lies under it.
    bool CharacterUnderCursor()
    {
        const POINT cursor{GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2};
        SetCursorPos(cursor.x, cursor.y);
        return WaitUntil(
            [&] {
                RECT rect{};
                GetWindowRect(character, &rect);
                return Visible() && PtInRect(&rect, cursor) &&
                       WindowRegionContains(character, cursor.x - rect.left, cursor.y - rect.top);
            },
            kWaitMs);
    }

    ProgramProcess program;
    HWND character = nullptr;
};

TEST_F(ProgramTest, StartsAsOneHiddenShapedToolWindowAndASecondStartEndsAtOnce)
{
    // A window of another class with the same caption is not a running instance.
    HWND foreign = CreateWindowExA(0, "STATIC", "Tindrel", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(Start(), nullptr);
    DestroyWindow(foreign);
    const WindowState state = ReadWindowState(character);
    EXPECT_FALSE(state.visible);
    EXPECT_EQ(state.owner, nullptr);
    EXPECT_TRUE(state.exStyle & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(state.exStyle & WS_EX_APPWINDOW);
    EXPECT_TRUE(state.exStyle & WS_EX_LAYERED);
    EXPECT_FALSE(WindowRegionContains(character, 0, 0)) << "the key-coloured corner is cut away";

    ProgramProcess second;
    ASSERT_TRUE(second.Start());
    DWORD code = 99;
    ASSERT_TRUE(second.WaitForExit(kWaitMs, code));
    EXPECT_EQ(code, 0u);
    const std::vector<WindowState> windows = FindProgramWindows();
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].handle, character);
}

TEST_F(ProgramTest, CommandsChangeTheWindowAndTheExitSavesThemOnceAWaitingCheckHasStopped)
{
    // What the profile holds is not read back: every start begins topmost, showing only with mail.
    WriteProgramProfile("GLOBAL", "WINDOW_POS", "32774");
    WriteProgramProfile("GLOBAL", "ShowOnlyMailExist", "0");
    // An account on a server that accepts and never greets.
    FakePop3Server silent;
    ASSERT_TRUE(silent.Listening());
    silent.Script("", FakePop3Server::Silence());
    WriteProgramProfile("GLOBAL", "POP_COUNT", "1");
    WriteAccount(0, silent.Port(), 3);
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 20, 20, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(Start(), nullptr);
    EXPECT_FALSE(Visible());

    // A command id with a non-zero high word is no command: neither this exit nor this toggle.
    Post(WM_COMMAND, MAKEWPARAM(ID_APP_EXIT, 1));
    Post(WM_COMMAND, MAKEWPARAM(ID_TOGGLE_SHOW_ONLY_MAIL, 1));
    ASSERT_TRUE(Settle());
    EXPECT_FALSE(Visible());
    // Without mail the toggle shows the character.
    Post(WM_COMMAND, ID_TOGGLE_SHOW_ONLY_MAIL);
    EXPECT_TRUE(WaitUntil([&] { return Visible(); }, kWaitMs));
    // Bottom leaves the topmost band below everything, top comes back above ordinary windows.
    Post(WM_COMMAND, ID_ZORDER_BOTTOM);
    EXPECT_TRUE(WaitUntil([&] { return !Topmost() && ZPosition(character) > ZPosition(other); }, kWaitMs));
    Post(WM_COMMAND, ID_ZORDER_TOP);
    EXPECT_TRUE(WaitUntil([&] { return !Topmost() && ZPosition(character) < ZPosition(other); }, kWaitMs));
    Post(WM_COMMAND, ID_ZORDER_TOPMOST);
    EXPECT_TRUE(WaitUntil([&] { return Topmost(); }, kWaitMs));
    Post(WM_COMMAND, ID_ZORDER_BOTTOM);
    DestroyWindow(other);

    ASSERT_TRUE(WaitUntil([&] { return silent.Connections() > 0; }, kWaitMs));
    // The options are written right after every check has stopped, so their appearance in the
    // profile marks the end of the wait for the silent server.
    const Stopwatch watch;
    Post(WM_COMMAND, ID_APP_EXIT);
    EXPECT_TRUE(WaitUntil([] { return ReadProgramProfile("GLOBAL", "WINDOW_POS") == "32775"; }, kWaitMs));
    const int64_t stoppedMs = watch.ElapsedMs();
    EXPECT_EQ(ExitCode(), 0);
    std::printf("exit during a check: checks stopped %lld ms, process ended %lld ms after the command\n",
                static_cast<long long>(stoppedMs), static_cast<long long>(watch.ElapsedMs()));
    // The stop is looked at every 100 ms; the generous bound only absorbs a loaded machine.
    EXPECT_LT(stoppedMs, 3000);
    EXPECT_EQ(ReadProgramProfile("GLOBAL", "ShowOnlyMailExist"), "0");
}

TEST_F(ProgramTest, MailSettingsStartsTheSettingsProgramBesideItAndExitsEvenWithoutIt)
{
    ScratchFolder folder;
    ASSERT_TRUE(folder.CopyIn(ProgramPath(), "Zantoli.exe"));
    ASSERT_TRUE(folder.CopyIn(Beside(ProgramPath(), "start_recorder.exe"), "Setting.exe"));
    for (const bool present : {true, false}) {
        SCOPED_TRACE(present);
        if (!present)
            ASSERT_TRUE(DeleteFileA((folder.path + "Setting.exe").c_str()));
        ASSERT_NE(Start(folder.path + "Zantoli.exe"), nullptr);
        Post(WM_COMMAND, ID_MAIL_SETTINGS);
        EXPECT_EQ(ExitCode(), 0);
        program.Kill();
    }
    ASSERT_TRUE(WaitUntil([&] { return !folder.Starts().empty(); }, kWaitMs));
    const std::vector<std::string> starts = folder.Starts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].substr(0, starts[0].find('|')), std::to_string(SW_SHOW));
}

TEST_F(ProgramTest, TheMailProgramIsChosenInTheOpenDialogAndStartedByATrayDoubleClick)
{
    ScratchFolder folder;
    ASSERT_TRUE(folder.CopyIn(Beside(ProgramPath(), "start_recorder.exe"), "mailer.exe"));
    const std::string mailer = folder.path + "mailer.exe";
    ASSERT_NE(Start(), nullptr);

    // Cancelled, the dialog changes nothing; confirmed, the full path is stored at once.
    for (const int button : {IDCANCEL, IDOK}) {
        Post(WM_COMMAND, ID_CHOOSE_MAILER);
        HWND dialog = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (dialog = FindVisibleWindow(program.Id(), "#32770")) != nullptr; }, kWaitMs));
        HWND fileName = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (fileName = FindEdit(dialog)) != nullptr; }, kWaitMs));
        DWORD_PTR result = 0;
        SendMessageTimeoutA(fileName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(mailer.c_str()), SMTO_ABORTIFHUNG,
                            kWaitMs, &result);
        PostMessageA(dialog, WM_COMMAND, button, 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, kWaitMs));
        ASSERT_TRUE(Settle());
        if (button == IDCANCEL) {
            EXPECT_EQ(ReadProgramProfile("GLOBAL", "MAILER"), "");
            // No mail program yet: a double-click starts nothing.
            Post(kTrayNotify, kTrayIconId, WM_LBUTTONDBLCLK);
            ASSERT_TRUE(Settle());
        }
    }
    EXPECT_EQ(lstrcmpiA(ReadProgramProfile("GLOBAL", "MAILER").c_str(), mailer.c_str()), 0);

    // The double-click starts it, normally shown, in the Windows directory; other mouse
    // messages of the tray do nothing.
    Post(kTrayNotify, kTrayIconId, WM_LBUTTONDOWN);
    Post(kTrayNotify, kTrayIconId, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(WaitUntil([&] { return !folder.Starts().empty(); }, kWaitMs));
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::vector<std::string> starts = folder.Starts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(lstrcmpiA(starts[0].c_str(), (std::to_string(SW_SHOWNORMAL) + "|" + windows).c_str()), 0) << starts[0];
}

TEST_F(ProgramTest, NewMailMakesAChainedTrailInTheAccountsColoursThatShrinksFromTheEnd)
{
    SetCursorPos(300, 300);  // up and to the left of where the character comes to rest
    FakePop3Server blue(Uids(8));
    FakePop3Server green(Uids(1));
    ASSERT_TRUE(blue.Listening() && green.Listening());
    // Three accounts counted, two sections: the third exists, empty, and fails its checks.
    WriteProgramProfile("GLOBAL", "POP_COUNT", "3");
    DebugMonitor monitor;
    ASSERT_TRUE(monitor.Ready());
    WriteAccount(0, blue.Port(), 1);
    WriteAccount(1, green.Port(), 4);
    ASSERT_NE(Start(), nullptr);

    // Five for the first account (it has eight), one for the second; the character rests
    // just above and left of the cursor, and the trail leaves it away from the cursor.
    ASSERT_TRUE(WaitUntil([&] { return Envelopes() == 6 && Visible(); }, kWaitMs));
    RECT rect{};
    ASSERT_TRUE(WaitUntil([&] { return GetWindowRect(character, &rect) && rect.left == 290 && rect.top == 290; },
                          kWaitMs));
    const std::vector<HWND> trail = program.EnvelopeWindows(character);
    ASSERT_EQ(trail.size(), 6u);
    TrailLayout layout({300, 300}, {rect.left, rect.top, rect.right, rect.bottom}, kEnvelope.cx, kEnvelope.cy);
    for (size_t i = 0; i < trail.size(); ++i) {
        SCOPED_TRACE(i);
        const TrailPoint expected = layout.Next([] { return 1; });  // no jitter
        const WindowState envelope = ReadWindowState(trail[i]);
        EXPECT_TRUE(envelope.visible);
        EXPECT_LE(std::abs(envelope.rect.left - expected.x), 2);
        EXPECT_LE(std::abs(envelope.rect.top - expected.y), 2);
        EXPECT_EQ(envelope.rect.right - envelope.rect.left, kEnvelope.cx);
        // What a person sees: the body in the account's colour, no red left, although each
        // envelope is partly covered by the next.
        int own = 0;
        int red = 0;
        for (ColorRef color : ScreenPixels(envelope.rect)) {
            own += color == EnvelopePalette[i < 5 ? 1 : 4];
            red += color == kEnvelopeBodyColor;
        }
        EXPECT_GE(own, 40);
        EXPECT_EQ(red, 0);
    }
    EXPECT_NE(GetForegroundWindow(), character);

    // Messages leave the server: the last envelopes go, the first keep their windows; then
    // the mailbox empties, and the character hides again.
    blue.SetUids(Uids(1));
    ASSERT_TRUE(WaitUntil([&] { return Envelopes() == 2; }, kWaitMs));
    EXPECT_EQ(program.EnvelopeWindows(character), (std::vector<HWND>{trail[0], trail[1]}));
    EXPECT_FALSE(IsWindow(trail[5]));
    blue.SetUids({});
    green.SetUids({});
    EXPECT_TRUE(WaitUntil([&] { return Envelopes() == 0 && !Visible(); }, kWaitMs));
    EXPECT_TRUE(monitor.WaitFor(program.Id(), "Server cannot be connected", kWaitMs));
}

TEST_F(ProgramTest, NewMailIsAcknowledgedByClicksOnTheCharacterAndFromTheTray)
{
    FakePop3Server server({"m1", "m2"});
    ASSERT_TRUE(server.Listening());
    WriteProgramProfile("GLOBAL", "POP_COUNT", "1");
    WriteAccount(0, server.Port(), 4);
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Envelopes() == 2 && Visible(); }, kWaitMs));

    // A left click acknowledges at once and the character hides, without taking the focus
    // from the window that had it (a menu would, so this comes first).
    ASSERT_TRUE(CharacterUnderCursor());
    const HWND foreground = GetForegroundWindow();
    ASSERT_NE(foreground, character);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    SendMouse(MOUSEEVENTF_LEFTUP);
    EXPECT_TRUE(WaitUntil([&] { return Envelopes() == 0 && !Visible(); }, kWaitMs));
    EXPECT_EQ(GetForegroundWindow(), foreground);

    // Right button on the tray icon: the envelopes go first, then the menu opens.
    server.SetUids({"m1", "m2", "m3"});
    ASSERT_TRUE(WaitUntil([&] { return Envelopes() == 1; }, kWaitMs));
    Post(kTrayNotify, kTrayIconId, WM_RBUTTONDOWN);
    ASSERT_TRUE(WaitUntil([&] { return OpenMenu() != nullptr; }, kWaitMs));
    EXPECT_EQ(Envelopes(), 0u);
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return OpenMenu() == nullptr; }, kWaitMs));

    // A right click opens the menu first; the mail is acknowledged once it closes, here by
    // its Cancel item, which does nothing else.
    server.SetUids({"m1", "m2", "m3", "m4"});
    ASSERT_TRUE(WaitUntil([&] { return Envelopes() == 1; }, kWaitMs));
    ASSERT_TRUE(CharacterUnderCursor());
    SendMouse(MOUSEEVENTF_RIGHTDOWN);
    SendMouse(MOUSEEVENTF_RIGHTUP);
    ASSERT_TRUE(WaitUntil([&] { return OpenMenu() != nullptr; }, kWaitMs));
    EXPECT_EQ(Envelopes(), 1u);
    PressKey(VK_DOWN);
    PressKey(VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return OpenMenu() == nullptr && Envelopes() == 0; }, kWaitMs));
    ASSERT_TRUE(Settle());
    EXPECT_EQ(WaitForSingleObject(program.Process(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(ProgramTest, TheTrayShowsTheEnvelopeWhileAColouredAccountIsChecked)
{
    DebugMonitor monitor;
    ASSERT_TRUE(monitor.Ready());
    for (const int color : {3, -1}) {
        SCOPED_TRACE(color);
        // Every reply a byte at a time: a check lasts long enough to be seen.
        FakePop3Server server({"m1"});
        ASSERT_TRUE(server.Listening());
        server.SendSingleBytes(true, 10);
        ClearProgramProfile();
        WriteProgramProfile("GLOBAL", "POP_COUNT", "1");
        WriteAccount(0, server.Port(), color);
        ASSERT_NE(Start(), nullptr);
        // The second check begins once the first has ended and been reported.
        ASSERT_TRUE(WaitUntil([&] { return server.Connections() >= 2; }, kWaitMs));
        std::vector<std::string> changes;
        for (const std::string& text : monitor.Writes(program.Id()))
            if (text.rfind("tray icon: ", 0) == 0 && changes.size() < 3)
                changes.push_back(text.substr(11, text.size() - 12));
        const std::vector<std::string> expected =
            color == 3 ? std::vector<std::string>{"normal", "envelope", "normal"} : std::vector<std::string>{"normal"};
        EXPECT_EQ(changes, expected);
        program.Kill();
    }
}

}  // namespace
