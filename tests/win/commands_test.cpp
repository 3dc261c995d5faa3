// What the user does to the running program, driven from outside on the test prefix's desktop:
// commands posted to the character window, the tray icon's notifications, clicks on the
// character, the popup menu, choosing and starting the mail program, and the settings program.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "character/command_ids.h"
#include "fake_pop3_server.h"
#include "program_driver_win.h"

namespace {

constexpr int kWaitMs = 20000;  // every wait on the program is bounded by this
constexpr UINT kTrayNotify = WM_USER + 100;
constexpr WPARAM kTrayIconId = 1;

// Polls every 20 ms until the condition holds or timeoutMs have passed.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = kWaitMs)
{
    const Stopwatch watch;
    while (!condition()) {
        if (watch.ElapsedMs() >= timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

std::string FolderOf(const std::string& path)
{
    return path.substr(0, path.find_last_of("\\/") + 1);
}

std::string WindowsDirectory()
{
    char directory[MAX_PATH] = {};
    GetWindowsDirectoryA(directory, MAX_PATH);
    return directory;
}

// A folder of the test's own under %TEMP%, emptied and removed at the end.
class ScratchFolder {
public:
    ScratchFolder()
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        path = std::string(temp) + "zantoli-commands-" + std::to_string(GetCurrentProcessId()) + "\\";
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
    // The lines "<show command>|<current directory>" that the start recorder left.
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

// The processes that the given process has started and that still run.
std::vector<DWORD> ChildProcesses(DWORD parent)
{
    std::vector<DWORD> children;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return children;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ParentProcessID == parent)
            children.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return children;
}

// The first visible top-level window of the class that the process shows.
HWND FindVisibleWindow(DWORD processId, const char* className)
{
    struct Search {
        DWORD processId;
        const char* className;
        HWND found;
    } search{processId, className, nullptr};
    EnumWindows(
        [](HWND window, LPARAM lParam) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(lParam);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            char name[64] = {};
            GetClassNameA(window, name, sizeof name);
            if (owner == s.processId && IsWindowVisible(window) && std::string(name) == s.className) {
                s.found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The popup menu, while one is open.
HWND OpenMenu(DWORD processId)
{
    return FindVisibleWindow(processId, "#32768");
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

// The first Edit control inside a window (the open dialog's file name).
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

class CommandsTest : public testing::Test {
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

    HWND Start(const std::string& path = ProgramPath())
    {
        if (!program.Start(path))
            return nullptr;
        character = program.WaitForCharacterWindow(kWaitMs);
        // The window is found while it is still being created; the end of its creation puts
        // it in the topmost band.
        if (character && !WaitUntil([&] { return Topmost(); }))
            return nullptr;
        return character;
    }

    bool Running() const { return WaitForSingleObject(program.Process(), 0) == WAIT_TIMEOUT; }

    long ExitCodeAfter(int timeoutMs = kWaitMs) const
    {
        DWORD code = 0;
        return program.WaitForExit(timeoutMs, code) ? static_cast<long>(code) : -1;
    }

    void Post(UINT message, WPARAM wParam, LPARAM lParam = 0) const
    {
        PostMessageA(character, message, wParam, lParam);
    }

    bool Visible() const { return IsWindowVisible(character) != FALSE; }
    bool Topmost() const { return (GetWindowLongA(character, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }
    size_t Envelopes() const { return program.EnvelopeWindows(character).size(); }

    // Posted messages are handled in order: once a toggle posted after them shows its effect,
    // everything posted before it has been handled.
    bool Settle()
    {
        const bool before = Visible();
        Post(WM_COMMAND, ID_TOGGLE_SHOW_ONLY_MAIL);
        if (!WaitUntil([&] { return Visible() != before; }))
            return false;
        Post(WM_COMMAND, ID_TOGGLE_SHOW_ONLY_MAIL);
        return WaitUntil([&] { return Visible() == before; });
    }

    void WriteAccount(int port, int color)
    {
        WriteProgramProfile("GLOBAL", "POP_COUNT", "1");
        WriteProgramProfile("POP0", "Account", "user");
        WriteProgramProfile("POP0", "Passward", "secret");
        WriteProgramProfile("POP0", "Address", "127.0.0.1");
        WriteProgramProfile("POP0", "Port", std::to_string(port));
        WriteProgramProfile("POP0", "Duration", "0");  // checked again every second
        WriteProgramProfile("POP0", "COLOR", std::to_string(color));
    }

    // Moves the cursor to the middle of the screen and waits until the character, which follows
    // it while there is mail, lies under it.
    bool CharacterUnderCursor()
    {
        const POINT cursor{GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2};
        SetCursorPos(cursor.x, cursor.y);
        return WaitUntil([&] {
            RECT rect{};
            GetWindowRect(character, &rect);
            return Visible() && PtInRect(&rect, cursor) &&
                   WindowRegionContains(character, cursor.x - rect.left, cursor.y - rect.top);
        });
    }

    ProgramProcess program;
    HWND character = nullptr;
};

TEST_F(CommandsTest, PostedCommandsChangeVisibilityAndStackingAndTheExitSavesThem)
{
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 20, 20, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(Start(), nullptr);
    EXPECT_FALSE(Visible());

    // Without mail the toggle shows the character, and hides it again.
    Post(WM_COMMAND, ID_TOGGLE_SHOW_ONLY_MAIL);
    EXPECT_TRUE(WaitUntil([&] { return Visible(); }));
    Post(WM_COMMAND, ID_TOGGLE_SHOW_ONLY_MAIL);
    EXPECT_TRUE(WaitUntil([&] { return !Visible(); }));

    // A command id with a non-zero high word is no command: neither this exit nor this toggle.
    Post(WM_COMMAND, MAKEWPARAM(ID_APP_EXIT, 1));
    Post(WM_COMMAND, MAKEWPARAM(ID_TOGGLE_SHOW_ONLY_MAIL, 1));
    ASSERT_TRUE(Settle());
    EXPECT_TRUE(Running());
    EXPECT_FALSE(Visible());

    // The stacking orders: bottom leaves the topmost band below everything, top comes back
    // above ordinary windows, topmost returns to the band.
    Post(WM_COMMAND, ID_ZORDER_BOTTOM);
    EXPECT_TRUE(WaitUntil([&] { return !Topmost() && ZPosition(character) > ZPosition(other); }));
    Post(WM_COMMAND, ID_ZORDER_TOP);
    EXPECT_TRUE(WaitUntil([&] { return !Topmost() && ZPosition(character) < ZPosition(other); }));
    Post(WM_COMMAND, ID_ZORDER_TOPMOST);
    EXPECT_TRUE(WaitUntil([&] { return Topmost(); }));
    Post(WM_COMMAND, ID_ZORDER_TOP);
    EXPECT_TRUE(WaitUntil([&] { return !Topmost(); }));

    Post(WM_COMMAND, ID_APP_EXIT);
    EXPECT_EQ(ExitCodeAfter(), 0);
    EXPECT_EQ(ReadProgramProfile("GLOBAL", "WINDOW_POS"), "32774");
    EXPECT_EQ(ReadProgramProfile("GLOBAL", "ShowOnlyMailExist"), "1");
    DestroyWindow(other);
}

TEST_F(CommandsTest, SystemCommandsOtherThanAboutKeepTheirUsualMeaning)
{
    ASSERT_NE(Start(), nullptr);
    // Closing from the system menu ends the program the usual way, saving its options.
    Post(WM_SYSCOMMAND, SC_CLOSE);
    EXPECT_EQ(ExitCodeAfter(), 0);
    EXPECT_EQ(ReadProgramProfile("GLOBAL", "WINDOW_POS"), "32773");
}

TEST_F(CommandsTest, MailSettingsStartsTheSettingsProgramBesideItAndExits)
{
    ScratchFolder folder;
    ASSERT_TRUE(folder.CopyIn(ProgramPath(), "Zantoli.exe"));
    ASSERT_TRUE(folder.CopyIn(FolderOf(ProgramPath()) + "start_recorder.exe", "Setting.exe"));

    ASSERT_NE(Start(folder.path + "Zantoli.exe"), nullptr);
    Post(WM_COMMAND, ID_MAIL_SETTINGS);
    EXPECT_EQ(ExitCodeAfter(), 0);
    EXPECT_EQ(ReadProgramProfile("GLOBAL", "WINDOW_POS"), "32773");  // the exit saved as usual
    ASSERT_TRUE(WaitUntil([&] { return !folder.Starts().empty(); }));
    const std::vector<std::string> starts = folder.Starts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].substr(0, starts[0].find('|')), std::to_string(SW_SHOW));

    // Without a settings program the command still ends the program.
    program.Kill();
    ClearProgramProfile();
    ASSERT_TRUE(DeleteFileA((folder.path + "Setting.exe").c_str()));
    ASSERT_NE(Start(folder.path + "Zantoli.exe"), nullptr);
    Post(WM_COMMAND, ID_MAIL_SETTINGS);
    EXPECT_EQ(ExitCodeAfter(), 0);
    EXPECT_EQ(folder.Starts().size(), 1u);
}

TEST_F(CommandsTest, TheMailProgramIsChosenInTheOpenDialogAndStartedByATrayDoubleClick)
{
    ScratchFolder folder;
    ASSERT_TRUE(folder.CopyIn(FolderOf(ProgramPath()) + "start_recorder.exe", "mailer.exe"));
    const std::string mailer = folder.path + "mailer.exe";
    ASSERT_NE(Start(), nullptr);

    // No mail program yet: a double-click starts nothing.
    Post(kTrayNotify, kTrayIconId, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(Settle());
    Sleep(500);
    EXPECT_TRUE(ChildProcesses(program.Id()).empty());

    // Cancelled, the dialog changes nothing.
    Post(WM_COMMAND, ID_CHOOSE_MAILER);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = FindVisibleWindow(program.Id(), "#32770")) != nullptr; }));
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
    ASSERT_TRUE(Settle());
    EXPECT_EQ(ReadProgramProfile("GLOBAL", "MAILER"), "");

    // Confirmed, the full path is the mail program from now on, and stored at once.
    Post(WM_COMMAND, ID_CHOOSE_MAILER);
    ASSERT_TRUE(WaitUntil([&] { return (dialog = FindVisibleWindow(program.Id(), "#32770")) != nullptr; }));
    HWND fileName = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (fileName = FindEdit(dialog)) != nullptr; }));
    DWORD_PTR result = 0;
    SendMessageTimeoutA(fileName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(mailer.c_str()), SMTO_ABORTIFHUNG,
                        kWaitMs, &result);
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
    EXPECT_TRUE(WaitUntil([&] { return lstrcmpiA(ReadProgramProfile("GLOBAL", "MAILER").c_str(), mailer.c_str()) == 0; }))
        << ReadProgramProfile("GLOBAL", "MAILER");

    // The double-click starts it, normally shown, in the Windows directory.
    Post(kTrayNotify, kTrayIconId, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(WaitUntil([&] { return !folder.Starts().empty(); }));
    const std::string start = folder.Starts()[0];
    EXPECT_EQ(start.substr(0, start.find('|')), std::to_string(SW_SHOWNORMAL));
    EXPECT_EQ(lstrcmpiA(start.substr(start.find('|') + 1).c_str(), WindowsDirectory().c_str()), 0) << start;

    // Other mouse messages of the tray do nothing.
    Post(kTrayNotify, kTrayIconId, WM_LBUTTONDOWN);
    Post(kTrayNotify, kTrayIconId, WM_MOUSEMOVE);
    ASSERT_TRUE(Settle());
    Sleep(500);
    EXPECT_EQ(folder.Starts().size(), 1u);

    Post(WM_COMMAND, ID_APP_EXIT);
    EXPECT_EQ(ExitCodeAfter(), 0);
}

TEST_F(CommandsTest, NewMailIsAcknowledgedFromTheTrayAndByClicksOnTheCharacter)
{
    FakePop3Server server({"m1", "m2"});
    ASSERT_TRUE(server.Listening());
    WriteAccount(server.Port(), 4);
    ASSERT_NE(Start(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return Envelopes() == 2 && Visible(); }));

    // A left click on the character acknowledges at once, and the character hides; it does
    // so without taking the focus from the window that had it (a menu would, so this comes first).
    ASSERT_TRUE(CharacterUnderCursor());
    const HWND foreground = GetForegroundWindow();
    ASSERT_NE(foreground, character);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    SendMouse(MOUSEEVENTF_LEFTUP);
    EXPECT_TRUE(WaitUntil([&] { return Envelopes() == 0 && !Visible(); }));
    EXPECT_EQ(GetForegroundWindow(), foreground);

    // Right button on the tray icon: the envelopes go first, then the menu opens.
    server.SetUids({"m1", "m2", "m3"});
    ASSERT_TRUE(WaitUntil([&] { return Envelopes() == 1; }));
    Post(kTrayNotify, kTrayIconId, WM_RBUTTONDOWN);
    ASSERT_TRUE(WaitUntil([&] { return OpenMenu(program.Id()) != nullptr; }));
    EXPECT_EQ(Envelopes(), 0u);
    EXPECT_FALSE(Visible());
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitUntil([&] { return OpenMenu(program.Id()) == nullptr; }));

    // A right click opens the menu first; the mail is acknowledged once it closes.
    server.SetUids({"m1", "m2", "m3", "m4"});
    ASSERT_TRUE(WaitUntil([&] { return Envelopes() == 1; }));
    ASSERT_TRUE(CharacterUnderCursor());
    SendMouse(MOUSEEVENTF_RIGHTDOWN);
    SendMouse(MOUSEEVENTF_RIGHTUP);
    ASSERT_TRUE(WaitUntil([&] { return OpenMenu(program.Id()) != nullptr; }));
    EXPECT_EQ(Envelopes(), 1u);
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return OpenMenu(program.Id()) == nullptr && Envelopes() == 0; }));

    // The menu's Cancel item only closes it.
    Post(kTrayNotify, kTrayIconId, WM_RBUTTONDOWN);
    ASSERT_TRUE(WaitUntil([&] { return OpenMenu(program.Id()) != nullptr; }));
    PressKey(VK_DOWN);
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] { return OpenMenu(program.Id()) == nullptr; }));
    ASSERT_TRUE(Settle());
    EXPECT_TRUE(Running());

    Post(WM_COMMAND, ID_APP_EXIT);
    EXPECT_EQ(ExitCodeAfter(), 0);
}

TEST_F(CommandsTest, TheTrayShowsTheEnvelopeWhileAColouredAccountIsChecked)
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
        WriteAccount(server.Port(), color);
        ASSERT_NE(Start(), nullptr);

        ASSERT_TRUE(server.WaitForCommands(5, kWaitMs));  // USER PASS STAT UIDL QUIT: one whole check
        Sleep(1000);
        std::vector<std::string> changes;
        for (const std::string& text : monitor.Writes(program.Id()))
            if (text.rfind("tray icon: ", 0) == 0)
                changes.push_back(text);
        if (color == 3) {
            const std::vector<std::string> expected{"tray icon: normal\n", "tray icon: envelope\n",
                                                    "tray icon: normal\n"};
            ASSERT_GE(changes.size(), 3u);
            EXPECT_EQ(std::vector<std::string>(changes.begin(), changes.begin() + 3), expected);
        } else {
            EXPECT_EQ(changes, std::vector<std::string>{"tray icon: normal\n"});
        }
        Post(WM_COMMAND, ID_APP_EXIT);
        EXPECT_EQ(ExitCodeAfter(), 0);
        program.Kill();
    }
}

}  // namespace
