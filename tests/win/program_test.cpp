// The real program driven from outside on the test prefix's desktop, against loopback POP3 servers.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "character/character_motion.h"
#include "character/command_ids.h"
#include "envelope/envelope_layout.h"
#include "fake_pop3_server.h"
#include "mail/seen_store.h"
#include "platform/gdi_win.h"
#include "platform/state_file.h"
#include "profile/envelope_palette.h"
#include "program_driver_win.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWaitMs = 20000;  // every wait on the program is bounded by this
constexpr UINT kTrayNotify = WM_USER + 100;
constexpr WPARAM kTrayIconId = 1;
constexpr SIZE kEnvelope = {26, 21};

std::vector<std::string> Uids(int count, const std::string& prefix = "uid-")
{
    std::vector<std::string> uids;
    for (int i = 0; i < count; ++i)
        uids.push_back(prefix + std::to_string(i));
    return uids;
}

HWND FindVisibleWindow(DWORD processId, const char* className)
{
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, className, nullptr)) != nullptr;)
        if (IsWindowVisible(w) && ReadWindowState(w).processId == processId)
            return w;
    return nullptr;
}

int ZPosition(HWND window)
{
    int position = 0;
    for (HWND w = GetTopWindow(nullptr); w && w != window && position < 100000; w = GetWindow(w, GW_HWNDNEXT))
        ++position;
    return position;
}

HWND FindEdit(HWND dialog)
{
    HWND found = nullptr;
    EnumChildWindows(dialog, [](HWND child, LPARAM found) -> BOOL {
        char name[16] = {};
        const bool edit = GetClassNameA(child, name, sizeof name) && !lstrcmpiA(name, "Edit") && IsWindowVisible(child);
        return !(edit && (*reinterpret_cast<HWND*>(found) = child));
    }, LPARAM(&found));
    return found;
}

// A key, or else a mouse button (each UP flag follows its DOWN), pressed and let go.
void Press(DWORD mouseDown, BYTE key = 0)
{
    for (const DWORD up : {0, 1})
        key ? keybd_event(key, 0, up ? KEYEVENTF_KEYUP : 0, 0) : mouse_event(mouseDown << up, 0, 0, 0, 0);
}

// A folder for copies of programs; the stand-in notes each start in its started.txt.
struct ScratchFolder {
    ScratchFolder() { fs::create_directory(path); }
    ~ScratchFolder() { std::error_code ignored; fs::remove_all(path, ignored); }
    std::string Path(const char* name) const { return (path / name).string(); }
    bool CopyIn(const char* program, const char* name) const
    {
        return CopyFileA(fs::path(ProgramPath()).replace_filename(program).string().c_str(), Path(name).c_str(), FALSE);
    }
    std::vector<std::string> Starts(const char* folder = ".") const  // "<show>|<directory>", in that order
    {
        std::ifstream file(path / folder / "started.txt");
        std::vector<std::string> lines;
        for (std::string line; std::getline(file, line);)
            lines.push_back(line.substr(line.find('|') + 1));
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    const fs::path path = fs::temp_directory_path() / ("zantoli-program-" + std::to_string(GetCurrentProcessId()));
};

class ProgramTest : public testing::Test {
protected:
    void SetUp() override
    {
        ClearProgramProfile();
        WriteProgramProfile("GLOBAL", "KeepSeen", "0");  // each test starts from what its servers hold
        ASSERT_TRUE(FindProgramWindows().empty()) << "a program window is left from elsewhere";
        ASSERT_TRUE(monitor.Ready());
    }

    void AddAccount(const FakePop3Server& server, int color = 4, const char* duration = "0")
    {
        for (const auto& [key, value] : std::vector<std::pair<const char*, std::string>>{
                 {"Account", "user" + std::to_string(accounts)}, {"Passward", "secret"}, {"Address", "127.0.0.1"},
                 {"Port", std::to_string(server.Port())}, {"Duration", duration}, {"COLOR", std::to_string(color)}})
            WriteProgramProfile("POP" + std::to_string(accounts), key, value);
        WriteProgramProfile("GLOBAL", "POP_COUNT", std::to_string(++accounts));
    }

    // (Re)starts the program; waits until creation has ended, which puts it in the topmost band.
    HWND Start(const std::string& path = ProgramPath())
    {
        program.Kill();
        // A program that just ended may keep its window a moment; a start then would be a second instance.
        const bool started = WaitUntil([] { return FindProgramWindows().empty(); }, kWaitMs) && program.Start(path);
        character = started ? program.WaitForCharacterWindow(kWaitMs) : nullptr;
        return character && WaitUntil([&] { return Topmost(); }, kWaitMs) ? character : nullptr;
    }

    bool Exit(WPARAM command = ID_APP_EXIT) const  // whether the command ended the program well
    {
        DWORD code = 1;
        return PostMessageA(character, WM_COMMAND, command, 0) && program.WaitForExit(kWaitMs, code) && code == 0;
    }

    void Post(UINT message, WPARAM w, LPARAM l = 0) const { PostMessageA(character, message, w, l); }
    bool Visible() const { return IsWindowVisible(character) != FALSE; }
    bool Topmost() const { return (GetWindowLongA(character, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }
    size_t Envelopes() const { return program.EnvelopeWindows(character).size(); }
    HWND OpenMenu() const { return FindVisibleWindow(program.Id(), "#32768"); }
    HWND OpenDialog() const { return FindVisibleWindow(program.Id(), "#32770"); }
    bool Traced(const std::string& prefix) const { return monitor.WaitForWrite(program.Id(), prefix, kWaitMs, false); }
    std::vector<std::string> TracedAfter(const std::string& prefix) const
    {
        std::vector<std::string> found;
        for (const std::string& text : monitor.Writes(program.Id()))
            if (text.rfind(prefix, 0) == 0)
                found.push_back(text.substr(prefix.size(), text.size() - prefix.size() - 1));
        return found;
    }

    // Once a command posted last shows its effect, all posted before (and a refresh) are done.
    bool Settle()
    {
        Post(WM_COMMAND, ID_ZORDER_BOTTOM);
        const bool bottom = WaitUntil([&] { return !Topmost(); }, kWaitMs);
        Post(WM_COMMAND, ID_ZORDER_TOPMOST);
        return bottom && WaitUntil([&] { return Topmost(); }, kWaitMs);
    }

    // scale: the art's, which the distance to the cursor follows.
    bool CharacterUnderCursor(int32_t scale = 1)
    {
        const POINT cursor{GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2};
        SetCursorPos(cursor.x, cursor.y);
        // At rest: a click on a window still gliding may reach the desktop under Wine.
        const auto resting = [&] {
            const RECT rect = ReadWindowState(character).rect;
            const MotionPoint end = GlideEnd({cursor.x - 10 * scale, cursor.y - 10 * scale}, {rect.left, rect.top});
            return end.x == rect.left && end.y == rect.top;
        };
        return WaitUntil([&] { return resting() && WindowFromPoint(cursor) == character; }, kWaitMs);
    }

    DebugMonitor monitor;
    ProgramProcess program;
    HWND character = nullptr;
    int accounts = 0;
};

// With no mail program the program asks for one mid-screen; the system's starts until the user chose
// one, each shown normally in the Windows folder. Mail Settings exits even when there is no Setting.exe.
TEST_F(ProgramTest, OneHiddenInstanceAndTheProgramsItStartsFromTheOpenDialogTheTrayAndTheMenu)
{
    ScratchFolder folder;
    ASSERT_TRUE(folder.CopyIn("Zantoli.exe", "Zantoli.exe") && folder.CopyIn("stand_in.exe", "mailer.exe"));
    ASSERT_TRUE(fs::create_directory(folder.path / "system") && folder.CopyIn("stand_in.exe", "system\\mail.exe"));
    const std::string mailer = folder.Path("mailer.exe");
    // The system's mail program, for mailto: links (the prefix's HKCR ignores the user's classes).
    const RegistryValue handler(HKEY_LOCAL_MACHINE, "Software\\Classes\\mailto\\shell\\open\\command", nullptr);
    handler.Set("");
    // A window of another class with the same caption is not a running instance.
    HWND foreign = CreateWindowExA(0, "STATIC", "Tindrel", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(Start(folder.Path("Zantoli.exe")), nullptr);
    DestroyWindow(foreign);
    const WindowState state = ReadWindowState(character);
    EXPECT_TRUE(!state.visible && !state.owner &&
                (state.exStyle & (WS_EX_TOOLWINDOW | WS_EX_APPWINDOW | WS_EX_LAYERED)) == (WS_EX_TOOLWINDOW | WS_EX_LAYERED));
    EXPECT_FALSE(WindowRegionContains(character, 0, 0)) << "the key-coloured corner is cut away";
    EXPECT_TRUE(Traced("tray tooltip: QUVA - no account\n"));
    ProgramProcess second;
    DWORD code = 99;
    EXPECT_TRUE(second.Start() && second.WaitForExit(kWaitMs, code) && code == 0) << "a second start ends at once";
    EXPECT_TRUE(IsWindow(character) && FindProgramWindows().size() == 1) << "the first instance runs on alone";

    const auto answer = [&](WPARAM command, int button) {
        Post(WM_COMMAND, command);
        HWND dialog = nullptr, fileName = nullptr;
        RECT rect{};
        const auto open = [&] { return (dialog = OpenDialog()) && (fileName = FindEdit(dialog)); };
        EXPECT_TRUE(WaitUntil(open, kWaitMs) && GetWindowRect(dialog, &rect));
        SendMessageTimeoutA(fileName, WM_SETTEXT, 0, LPARAM(mailer.c_str()), SMTO_ABORTIFHUNG, kWaitMs, nullptr);
        PostMessageA(dialog, WM_COMMAND, button, 0);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, kWaitMs));
        return rect;
    };
    const RECT asked = answer(ID_LAUNCH_MAILER, IDCANCEL);
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_TRUE(std::abs(asked.left + asked.right - work.left - work.right) <= 2 &&
                std::abs(asked.top + asked.bottom - work.top - work.bottom) <= 2) << "mid-screen";
    ASSERT_TRUE(Settle());
    EXPECT_EQ(ReadProgramProfile("GLOBAL", "MAILER"), "");

    handler.Set("\"" + (folder.path / "system" / "mail.exe").string() + "\" \"%1\"");
    Post(kTrayNotify, kTrayIconId, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(WaitUntil([&] { return folder.Starts("system").size() == 1; }, kWaitMs));
    answer(ID_CHOOSE_MAILER, IDOK);
    EXPECT_EQ(lstrcmpiA(ReadProgramProfile("GLOBAL", "MAILER").c_str(), mailer.c_str()), 0);
    Post(kTrayNotify, kTrayIconId, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(Settle());
    for (const bool present : {false, true}) {
        ASSERT_TRUE(!present || (folder.CopyIn("stand_in.exe", "Setting.exe") && Start(folder.Path("Zantoli.exe"))));
        EXPECT_TRUE(Exit(ID_MAIL_SETTINGS));
    }
    ASSERT_TRUE(WaitUntil([&] { return folder.Starts().size() >= 2; }, kWaitMs));
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    const std::string normal = std::to_string(SW_SHOWNORMAL) + "|" + windows;
    const std::vector<std::string> starts = folder.Starts(), system = folder.Starts("system");
    ASSERT_TRUE(starts.size() == 2 && system.size() == 1);
    EXPECT_TRUE(!lstrcmpiA(starts[0].c_str(), normal.c_str()) && !lstrcmpiA(system[0].c_str(), normal.c_str()))
        << starts[0] << " and " << system[0] << " are not " << normal;
    EXPECT_EQ(starts[1].substr(0, starts[1].find('|')), std::to_string(SW_SHOW));
}

// Every start begins topmost and showing only with mail, whatever the profile holds of the commands.
TEST_F(ProgramTest, NewMailMakesAChainedTrailInTheAccountsColoursThenCommandsChangeTheWindowUntilTheExit)
{
    WriteProgramProfile("GLOBAL", "WINDOW_POS", "32774");
    WriteProgramProfile("GLOBAL", "ShowOnlyMailExist", "0");
    SetCursorPos(300, 300);  // up and to the left of where the character comes to rest
    FakePop3Server blue(Uids(8)), green(Uids(1));
    AddAccount(blue, 1);
    AddAccount(green, 4);
    ASSERT_NE(Start(), nullptr);

    // Five envelopes of eight for the first account, one for the second, laid out from the resting character.
    std::vector<HWND> trail;
    const auto laidOut = [&] {
        trail = program.EnvelopeWindows(character);
        const RECT rect = ReadWindowState(character).rect;
        if (trail.size() != 6 || rect.left != 290 || rect.top != 290)
            return false;
        TrailLayout layout({300, 300}, {rect.left, rect.top, rect.right, rect.bottom}, kEnvelope.cx, kEnvelope.cy);
        return std::all_of(trail.begin(), trail.end(), [&](HWND envelope) {
            const TrailPoint expected = layout.Next([] { return 1; });  // no jitter
            const WindowState state = ReadWindowState(envelope);
            return std::abs(state.rect.left - expected.x) <= 2 && std::abs(state.rect.top - expected.y) <= 2 &&
                   state.rect.right - state.rect.left == kEnvelope.cx && state.visible;
        });
    };
    ASSERT_TRUE(WaitUntil(laidOut, kWaitMs));
    // On the screen: the account's colour, no red left, although each envelope covers the one before.
    WindowDC screen(nullptr);
    for (size_t i = 0; i < trail.size(); ++i) {
        const RECT rect = ReadWindowState(trail[i]).rect;
        int coloured = 0, red = 0;
        for (int y = rect.top; y < rect.bottom; ++y)
            for (int x = rect.left; x < rect.right; ++x) {
                coloured += GetPixel(screen.Get(), x, y) == EnvelopePalette[i < 5 ? 1 : 4];
                red += GetPixel(screen.Get(), x, y) == kEnvelopeBodyColor;
            }
        EXPECT_TRUE(coloured >= 40 && red == 0) << "envelope " << i << ": " << coloured << " coloured, " << red << " red";
    }

    // Messages leave: the last envelopes go, the first stay; an empty mailbox hides the character.
    blue.SetUids(Uids(1));
    ASSERT_TRUE(WaitUntil([&] { return program.EnvelopeWindows(character) == std::vector<HWND>{trail[0], trail[1]}; }, kWaitMs));
    EXPECT_FALSE(IsWindow(trail[5]));
    blue.SetUids({});
    green.SetUids({});
    EXPECT_TRUE(WaitUntil([&] { return Envelopes() == 0 && !Visible(); }, kWaitMs));

    // A command id with a non-zero high word is no command: neither this exit nor this toggle.
    Post(WM_COMMAND, MAKEWPARAM(ID_APP_EXIT, 1));
    Post(WM_COMMAND, MAKEWPARAM(ID_TOGGLE_SHOW_ONLY_MAIL, 1));
    ASSERT_TRUE(Settle());
    EXPECT_FALSE(Visible());
    Post(WM_COMMAND, ID_TOGGLE_SHOW_ONLY_MAIL);  // without mail the toggle shows the character
    EXPECT_TRUE(WaitUntil([&] { return Visible(); }, kWaitMs));
    // Bottom leaves the topmost band below everything, top comes back above ordinary windows.
    HWND other = CreateWindowA("STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 20, 20, nullptr, nullptr, nullptr, nullptr);
    for (const int command : {ID_ZORDER_BOTTOM, ID_ZORDER_TOP}) {
        Post(WM_COMMAND, command);
        const bool above = command == ID_ZORDER_TOP;
        EXPECT_TRUE(WaitUntil([&] { return !Topmost() && (ZPosition(character) < ZPosition(other)) == above; }, kWaitMs));
    }
    Post(WM_COMMAND, ID_ZORDER_BOTTOM);
    DestroyWindow(other);

    // The window goes (its tray icon first) only once the check waiting on a silent server has ended.
    green.Script("", FakePop3Server::Silence());
    const int connections = green.Connections();
    ASSERT_TRUE(WaitUntil([&] { return green.Connections() > connections; }, kWaitMs));
    EXPECT_TRUE(Exit());
    const std::vector<std::string> writes = monitor.Writes(program.Id());
    const auto stopped = std::find(writes.begin(), writes.end(), "Check ended at exit\n");
    EXPECT_LT(stopped, std::find(writes.begin(), writes.end(), "tray icon: removed\n"));
    EXPECT_EQ(ReadProgramProfile("GLOBAL", "WINDOW_POS") + "|" + ReadProgramProfile("GLOBAL", "ShowOnlyMailExist"), "32775|0");
}

// Acknowledgements outlive a restart only when asked to; at 192 dpi the pointer still lands on the character.
TEST_F(ProgramTest, NewMailIsAcknowledgedByClicksAndFromTheTrayAndRememberedOnlyWhenAskedFor)
{
    FakePop3Server server({"m1", "m2"});
    AddAccount(server);
    const std::string file = SeenStore(StateFolder()).PathFor("127.0.0.1", server.Port(), "user0");
    const auto run = [&](const char* keepSeen) {
        EXPECT_TRUE(!character || Exit());
        WriteProgramProfile("GLOBAL", "KeepSeen", keepSeen);
        const int connections = server.Connections();
        return Start() && WaitUntil([&] { return server.Connections() >= connections + 2; }, kWaitMs) && Settle();
    };
    ASSERT_TRUE(run("1"));
    ASSERT_TRUE(WaitUntil([&] { return Envelopes() == 2 && Visible(); }, kWaitMs));

    // A left click acknowledges, hides the character and leaves the focus where it was.
    ASSERT_TRUE(CharacterUnderCursor());
    const HWND foreground = GetForegroundWindow();
    ASSERT_NE(foreground, character);
    Press(MOUSEEVENTF_LEFTDOWN);
    EXPECT_TRUE(WaitUntil([&] { return Envelopes() == 0 && !Visible(); }, kWaitMs));
    EXPECT_EQ(GetForegroundWindow(), foreground);

    // Right button on the tray icon: the envelopes go first, then the menu opens.
    server.SetUids({"m1", "m2", "m3"});
    ASSERT_TRUE(WaitUntil([&] { return Envelopes() == 1; }, kWaitMs));
    Post(kTrayNotify, kTrayIconId, WM_RBUTTONDOWN);
    ASSERT_TRUE(WaitUntil([&] { return OpenMenu() != nullptr; }, kWaitMs));
    EXPECT_EQ(Envelopes(), 0u);
    Press(0, VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return OpenMenu() == nullptr; }, kWaitMs));

    // A right click: the menu first, the acknowledgement once it closes (by its Cancel item).
    server.SetUids({"m1", "m2", "m3", "m4"});
    ASSERT_TRUE(WaitUntil([&] { return Envelopes() == 1; }, kWaitMs));
    ASSERT_TRUE(CharacterUnderCursor());
    Press(MOUSEEVENTF_RIGHTDOWN);
    ASSERT_TRUE(WaitUntil([&] { return OpenMenu() != nullptr; }, kWaitMs));
    EXPECT_EQ(Envelopes(), 1u);
    Press(0, VK_DOWN);
    Press(0, VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return OpenMenu() == nullptr && Envelopes() == 0; }, kWaitMs));

    ASSERT_TRUE(run("1")) << "Cancel left the program running";
    EXPECT_EQ(Envelopes(), 0u);
    server.SetUids({"m1", "m2", "m3", "m4", "m5"});
    EXPECT_TRUE(WaitUntil([&] { return Envelopes() == 1; }, kWaitMs));
    // Without the option the file is not read: what was acknowledged is new again.
    server.SetUids({"m1"});
    const RegistryValue density(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels");
    const DWORD dpi = 192;
    density.Set(REG_DWORD, &dpi, sizeof dpi);
    ASSERT_TRUE(run("0"));
    ASSERT_TRUE(WaitUntil([&] { return Envelopes() == 1 && Visible(); }, kWaitMs));
    const RECT size = ReadWindowState(character).rect, envelope = ReadWindowState(program.EnvelopeWindows(character)[0]).rect;
    EXPECT_TRUE(size.right - size.left == 66 && size.bottom - size.top == 82) << "the character doubled";
    EXPECT_TRUE(envelope.right - envelope.left == 2 * kEnvelope.cx && envelope.bottom - envelope.top == 2 * kEnvelope.cy);
    EXPECT_FALSE(WindowRegionContains(character, 1, 1)) << "the key-coloured corner is cut away";
    ASSERT_TRUE(CharacterUnderCursor(2));
    Press(MOUSEEVENTF_LEFTDOWN);
    EXPECT_TRUE(WaitUntil([&] { return Envelopes() == 0 && !Visible(); }, kWaitMs));
    DeleteFileA(file.c_str());
}

// Hidden, the program wakes only for a due check: the character neither follows nor animates.
TEST_F(ProgramTest, HiddenItWakesOnlyForDueChecksAndShownItAppearsAtOnceWhereItsGlideEnds)
{
    FakePop3Server empty;
    AddAccount(empty, 4, "10");
    SetCursorPos(700, 500);
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return empty.Connections() == 1; }, kWaitMs) && Traced("tray icon: normal\n"));
    const auto corner = [&] { return std::make_pair(ReadWindowState(character).rect.left, ReadWindowState(character).rect.top); };
    const auto glideEnd = [](int32_t x, int32_t y, std::pair<LONG, LONG> from) {
        const MotionPoint end = GlideEnd({x, y}, {from.first, from.second});
        return std::make_pair(LONG{end.x}, LONG{end.y});
    };
    for (int showing = 0; showing < 2; ++showing) {
        const auto hiddenAt = corner();
        SetCursorPos(300, 300);
        Sleep(1000);
        Post(WM_COMMAND, ID_TOGGLE_SHOW_ONLY_MAIL);
        ASSERT_TRUE(WaitUntil([&] { return Visible(); }, kWaitMs));
        const auto shownAt = corner();
        EXPECT_EQ(shownAt, glideEnd(356, 356, hiddenAt)) << "56 pixels off the cursor toward the middle, at first sight";
        SetCursorPos(700, 500);  // shown, it glides after the cursor
        EXPECT_TRUE(WaitUntil([&] { return corner() == glideEnd(644, 444, shownAt); }, kWaitMs));
        Post(WM_COMMAND, ID_TOGGLE_SHOW_ONLY_MAIL);
        ASSERT_TRUE(WaitUntil([&] { return !Visible(); }, kWaitMs));
    }
    EXPECT_EQ(TracedAfter("timer messages while hidden: "), (std::vector<std::string>{"1", "0"}));
    EXPECT_EQ(empty.Connections(), 1);
    EXPECT_TRUE(Exit());
}

// Replies come a byte at a time so that a check lasts long enough to be seen.
TEST_F(ProgramTest, TheTrayShowsAColouredAccountsCheckAndAFailingAccount)
{
    FakePop3Server plain({"m1"}), refusing({"m1"});
    for (FakePop3Server* server : {&plain, &refusing})
        server->SendSingleBytes(true, 10);
    refusing.Script("PASS ", FakePop3Server::Say("-ERR wrong password\r\n"));
    AddAccount(plain, -1);
    AddAccount(refusing, 3);
    ASSERT_NE(Start(), nullptr);
    // One check at a time: the plain account's has ended, and been shown, when the other's begins.
    ASSERT_TRUE(WaitUntil([&] { return refusing.Connections() >= 1; }, kWaitMs));
    std::vector<std::string> changes = TracedAfter("tray icon: ");
    EXPECT_EQ(std::count(changes.begin(), changes.end(), "normal"), 1);
    ASSERT_TRUE(Traced("tray tooltip: QUVA - 1 new - 127.0.0.1: "));
    ASSERT_TRUE(WaitUntil([&] { return plain.Connections() >= 2; }, kWaitMs));
    changes = TracedAfter("tray icon: ");
    changes.resize(std::min<size_t>(changes.size(), 3));
    EXPECT_EQ(changes, (std::vector<std::string>{"normal", "envelope", "normal"}));
    refusing.Script("PASS ", FakePop3Server::Say("+OK\r\n"));
    ASSERT_TRUE(Traced("tray tooltip: QUVA - 2 new\n"));
    // Acknowledged, there is nothing left to say.
    Post(WM_LBUTTONDOWN, 0);
    ASSERT_TRUE(Traced("tray tooltip: QUVA\n"));
    // Only real changes reach the shell: the good account's later checks changed nothing.
    changes = TracedAfter("tray tooltip: ");
    EXPECT_TRUE(changes.size() == 4 && changes[0] == "QUVA - 1 new" && changes[2] == "QUVA - 2 new") << changes.size();
}

// A week's interval, a missing section, REG_DWORD security numbers (STLS stays STLS, an unknown one is
// never guessed at), a 10 KB mailer path.
TEST_F(ProgramTest, AnUnusualProfileIsCheckedAtOnceAndALongMailerPathStartsNothing)
{
    FakePop3Server weekly({"uid-1"}), stls({"uid-1"}), unknown({"uid-1"});
    AddAccount(weekly, 4, "10080");
    ++accounts;  // POP1 is missing: it loads with no address, which would reach this very machine
    for (const auto& [server, security] : {std::make_pair(&stls, DWORD{1}), std::make_pair(&unknown, DWORD{7})}) {
        AddAccount(*server);
        const std::string key = "Software\\QUVA\\Zantoli\\POP" + std::to_string(accounts - 1);
        RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), "Security", REG_DWORD, &security, sizeof security);
    }
    const std::string mailer = "C:\\" + std::string(10240, 'm') + ".exe";
    WriteProgramProfile("GLOBAL", "MAILER", mailer);
    ASSERT_NE(Start(), nullptr);
    EXPECT_TRUE(WaitUntil([&] { return weekly.Connections() == 1 && stls.Connections() >= 1; }, kWaitMs));
    Post(WM_COMMAND, ID_LAUNCH_MAILER);
    EXPECT_TRUE(Traced("Mailer path too long"));
    EXPECT_TRUE(Traced("POP3 is never checked: ") && Traced("tray tooltip: QUVA - no server address"));
    EXPECT_TRUE(Exit());  // which waits for the running check
    EXPECT_EQ(TracedAfter("POP1 is never checked: "), std::vector<std::string>{"no server address"});
    EXPECT_EQ(TracedAfter("POP3 is never checked: "), std::vector<std::string>{"unknown Security value"});
    EXPECT_TRUE(unknown.Connections() == 0 && stls.ReceivedBytes().find("USER") == std::string::npos)
        << "a Security value was guessed at";
    EXPECT_EQ(ReadProgramProfile("GLOBAL", "MAILER"), mailer);
}

// Run only as a child of the test below, which ends it at some moment of its writes.
TEST(SeenStoreWriter, DISABLED_WritesUntilEnded)
{
    const SeenStore store(std::getenv("ZANTOLI_SEEN_FOLDER"));
    const std::vector<std::string> a = Uids(20000, "a"), b = Uids(30000, "b");
    const UidSet sets[2] = {UidSet(a.begin(), a.end()), UidSet(b.begin(), b.end())};
    for (int i = 0; i < 100000; ++i)
        ASSERT_TRUE(store.Save("127.0.0.1", 110, "me", sets[i % 2]));
}

TEST(SeenStoreAtomicity, AWriterKilledAtAnyMomentLeavesAFileThatLoads)
{
    const std::string folder = (fs::temp_directory_path() / ("seen-" + std::to_string(GetCurrentProcessId()))).string();
    SetEnvironmentVariableA("ZANTOLI_SEEN_FOLDER", folder.c_str());
    const SeenStore store(folder);
    const std::string self = fs::path(ProgramPath()).replace_filename("win_program.exe").string();
    for (const int delayMs : {0, 37, 211, 503}) {
        SCOPED_TRACE(delayMs);
        ProgramProcess writer;
        ASSERT_TRUE(writer.Start(self, "--gtest_also_run_disabled_tests --gtest_filter=SeenStoreWriter.*"));
        ASSERT_TRUE(WaitUntil([&] { return store.Load("127.0.0.1", 110, "me").problem.empty(); }, kWaitMs));
        Sleep(delayMs);
        writer.Kill();
        const LoadedSeen loaded = store.Load("127.0.0.1", 110, "me");
        EXPECT_TRUE(loaded.problem.empty() && (loaded.uids.size() == 20000 || loaded.uids.size() == 30000))
            << loaded.problem << loaded.uids.size();
    }
    fs::remove_all(folder);
}

}  // namespace
