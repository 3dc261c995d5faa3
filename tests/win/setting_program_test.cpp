// Setting.exe as a user meets it: a copy runs from a folder of its own against the profile in
// this Wine prefix's registry, and is driven from outside through its dialogs' controls. A
// stand-in notifier beside it, named like the notifier, notes each start of the notifier.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <fstream>
#include <string>
#include <vector>

#include "platform/registry_profile_store_win.h"
#include "platform/wide_text_win.h"
#include "platform/window_base_win.h"
#include "setting/setting_resource.h"

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr DWORD kWaitMs = 10000;  // every wait on the program is bounded by this

// A path as the test was built with it, in the form Wine's drive Z: gives it.
std::wstring FromBuildPath(std::string path)
{
    for (char& c : path)
        c = c == '/' ? '\\' : c;
    return L"Z:" + WideFromUtf8(path);
}

// Polls every 100 ms until the condition holds, at most kWaitMs.
template <typename Condition>
bool Eventually(Condition condition)
{
    for (DWORD waited = 0; !condition(); waited += 100) {
        if (waited >= kWaitMs)
            return false;
        Sleep(100);
    }
    return true;
}

// Each stored value that is not as expected ("" for absent), as "section\key=value".
std::string Unexpected(const std::vector<std::array<const char*, 3>>& expected)
{
    std::string found;
    for (const auto& value : expected) {
        const std::string text = RegistryProfileStore("QUVA", "Zantoli").Read(value[0], value[1]);
        found += text == value[2] ? "" : std::string(value[0]) + "\\" + value[1] + "=" + text + " ";
    }
    return found;
}

std::wstring RunCommand()
{
    wchar_t command[1024] = {};
    DWORD bytes = sizeof command;
    return RegGetValueW(HKEY_CURRENT_USER, kRunKey, L"Zantoli", RRF_RT_REG_SZ, nullptr, command, &bytes) ? L"<absent>"
                                                                                                         : command;
}

HWND RunningNotifier()
{
    return FindWindowW(WideFromUtf8(kProgramWindowClassName).c_str(), L"Tindrel");
}

class SettingProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QUVA\\Zantoli");
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, L"Zantoli");
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"zantoli setting " + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(folder.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(FromBuildPath(SETTING_EXE).c_str(), (folder + L"Setting.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(FromBuildPath(NOTIFIER_STAND_IN_EXE).c_str(), (folder + L"Zantoli.exe").c_str(), FALSE));
    }

    void TearDown() override
    {
        for (HWND notifier; (notifier = RunningNotifier()) != nullptr;) {
            PostMessageW(notifier, WM_COMMAND, 57665, 0);
            ASSERT_TRUE(Eventually([&] { return !IsWindow(notifier); }));
        }
        TerminateProcess(process.hProcess, 99);
        End();
        // A program that has just ended may hold its file a moment longer.
        Eventually([&] {
            for (const wchar_t* name : {L"Setting.exe", L"Zantoli.exe", L"started.txt"})
                DeleteFileW((folder + name).c_str());
            return RemoveDirectoryW(folder.c_str()) != FALSE;
        });
    }

    // Starts the copy from the Windows folder, as the notifier's folder need not be the current
    // one, and returns its main dialog.
    HWND Start()
    {
        std::wstring commandLine = L"\"" + folder + L"Setting.exe\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        wchar_t windows[MAX_PATH] = {};
        GetWindowsDirectoryW(windows, MAX_PATH);
        if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, windows, &startup, &process))
            return nullptr;
        return FindDialog(L"Zantoli Mail Settings");
    }

    // The program's exit code once it has ended; 259 (still active) if it would not end.
    DWORD End()
    {
        DWORD code = STILL_ACTIVE;
        WaitForSingleObject(process.hProcess, kWaitMs);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        process = PROCESS_INFORMATION{};
        return code;
    }

    HWND FindDialog(const wchar_t* caption) const
    {
        HWND found = nullptr;
        DWORD owner = 0;
        Eventually([&] {
            found = FindWindowW(L"#32770", caption);
            return found && GetWindowThreadProcessId(found, &owner) && owner == process.dwProcessId &&
                   IsWindowVisible(found);
        });
        return found;
    }

    static LRESULT Send(HWND dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(GetDlgItem(dialog, id), message, wParam, lParam, SMTO_ABORTIFHUNG, kWaitMs, &result);
        return LRESULT(result);
    }
    static void Type(HWND dialog, int id, const std::wstring& text)
    {
        Send(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    static std::wstring Text(HWND dialog, int id)
    {
        wchar_t text[256] = {};
        Send(dialog, id, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
        return text;
    }
    // Picks an entry of a drop-down list as the user would, with the notification it sends.
    static void Choose(HWND dialog, int id, int index)
    {
        Send(dialog, id, CB_SETCURSEL, WPARAM(index));
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), LPARAM(GetDlgItem(dialog, id)));
    }
    // Posted, as a click would be: the button may open a dialog of its own.
    static void Click(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
    static void Key(HWND dialog, int id, WPARAM key) { PostMessageW(GetDlgItem(dialog, id), WM_KEYDOWN, key, 1); }
    static bool Closes(HWND dialog) { return Eventually([&] { return !IsWindowVisible(dialog); }); }

    // How often the notifier was started, each time in its own folder, once `expected` is reached.
    int NotifierStarts(int expected) const
    {
        int starts = 0;
        Eventually([&] {
            std::ifstream record(Utf8FromWide(folder) + "started.txt");
            starts = 0;
            for (std::string line; std::getline(record, line);)
                starts += WideFromUtf8(line.substr(line.find('|') + 1)) + L"\\" == folder ? 1 : 100;
            return starts >= expected;
        });
        return starts;
    }

    std::wstring folder;
    PROCESS_INFORMATION process{};
};

// A run cancelled with no notifier running starts it; one that saves while it runs restarts it.
TEST_F(SettingProgramTest, OptionsAndAnAddedAccountAreSavedAndShownNextTimeAndTheNotifierFollows)
{
    HWND main = Start();
    ASSERT_TRUE(main);
    EXPECT_EQ(Send(main, IDC_START_AT_SIGN_IN, BM_GETCHECK) | Send(main, IDC_KEEP_SEEN, BM_GETCHECK), BST_UNCHECKED);
    Click(main, IDC_KEEP_SEEN);
    Key(main, IDC_ACCOUNT_LIST, VK_ESCAPE);
    EXPECT_EQ(End(), 1u);
    EXPECT_EQ(Unexpected({{"GLOBAL", "KeepSeen", ""}, {"GLOBAL", "POP_COUNT", ""}}), "");
    ASSERT_EQ(NotifierStarts(1), 1);
    HWND running = nullptr;
    ASSERT_TRUE(Eventually([&] { return (running = RunningNotifier()) != nullptr; }));

    main = Start();
    ASSERT_TRUE(main);
    Click(main, IDC_ADD);
    HWND account = FindDialog(L"New Account");
    ASSERT_TRUE(account);
    EXPECT_EQ(Send(account, IDC_SECURITY, CB_GETCURSEL), 2);
    EXPECT_EQ(Text(account, IDC_PORT), L"995");
    Choose(account, IDC_SECURITY, 0);  // plain text on the usual port: no value for either
    for (const auto& field : {std::pair<int, const wchar_t*>{IDC_LOGIN, L"alice"}, {IDC_SERVER, L"127.0.0.1"},
                              {IDC_INTERVAL, L"0"}, {IDC_PASSWORD, L"s\x00e9same"}})
        Type(account, field.first, field.second);
    Click(account, IDOK);
    ASSERT_TRUE(Closes(account));
    Click(main, IDC_START_AT_SIGN_IN);
    Click(main, IDC_KEEP_SEEN);
    Click(main, IDOK);
    EXPECT_EQ(End(), 0u);
    EXPECT_EQ(Unexpected({{"GLOBAL", "POP_COUNT", "1"}, {"GLOBAL", "KeepSeen", "1"}, {"POP0", "Account", "alice"},
                          {"POP0", "Duration", "0"}, {"POP0", "CryptPassward", "73c3a973616d65"},
                          {"POP0", "Port", ""}, {"POP0", "COLOR", "7"}}),
              "");
    EXPECT_EQ(RunCommand(), L"\"" + folder + L"Zantoli.exe\"");
    EXPECT_FALSE(IsWindow(running)) << "the running notifier was asked to exit";
    ASSERT_EQ(NotifierStarts(2), 2);

    for (const int result : {IDOK, IDCANCEL}) {
        main = Start();
        ASSERT_TRUE(main);
        EXPECT_EQ(Send(main, IDC_START_AT_SIGN_IN, BM_GETCHECK) & Send(main, IDC_KEEP_SEEN, BM_GETCHECK),
                  result == IDOK ? BST_CHECKED : BST_UNCHECKED);
        Click(main, IDC_START_AT_SIGN_IN);
        Click(main, IDC_KEEP_SEEN);
        Click(main, result);
        EXPECT_EQ(End(), result == IDOK ? 0u : 1u);
        EXPECT_EQ(RunCommand(), L"<absent>");
        EXPECT_EQ(Unexpected({{"GLOBAL", "KeepSeen", "0"}}), "");
        EXPECT_EQ(NotifierStarts(3), 3) << "a cancelled run leaves the running notifier alone";
    }
}

TEST_F(SettingProgramTest, BadFieldsAreRefusedThePortFollowsTheSecurityAndARemovedSectionGoes)
{
    RegistryProfileStore profile("QUVA", "Zantoli");
    for (const auto& value : std::vector<std::array<const char*, 3>>{
             {"GLOBAL", "POP_COUNT", "2"}, {"POP0", "Account", "alice"}, {"POP0", "Passward", "alice's"},
             {"POP1", "Account", "bob"}, {"POP1", "Address", "127.0.0.1"},
             {"POP1", "CryptPassward", "80FF41"},  // bytes no text field could show
             {"POP1", "COLOR", "-1"}})
        profile.Write(value[0], value[1], value[2]);
    HWND main = Start();
    ASSERT_TRUE(main);
    Key(main, IDC_ACCOUNT_LIST, VK_DOWN);  // from alice to bob
    Click(main, IDC_EDIT);
    HWND account = FindDialog(L"Edit Account");
    ASSERT_TRUE(account);
    EXPECT_EQ(Text(account, IDC_PASSWORD), L"") << "a stored password is never shown";
    EXPECT_EQ(Text(account, IDC_COLOR), L"Other (-1)");
    const std::pair<int, std::wstring> bad[] = {
        {IDC_INTERVAL, L"soon"}, {IDC_LOGIN, std::wstring(200, L'\x20ac')},  // 200 characters, 600 bytes
        {IDC_PASSWORD, std::wstring(170, L'\x20ac')}, {IDC_FINGERPRINT, L"AB:CD"}};
    for (const auto& field : bad) {
        const std::wstring good = Text(account, field.first);
        Type(account, field.first, field.second);
        Click(account, IDOK);
        EXPECT_TRUE(Eventually([&] { return !Text(account, IDC_PROBLEM).empty(); })) << field.first;
        Type(account, field.first, good);
        EXPECT_EQ(Text(account, IDC_PROBLEM), L"") << "a correction clears the complaint";
    }
    for (const auto& step : {std::pair<int, const wchar_t*>{2, L"995"}, {1, L"110"}, {2, L"995"}}) {
        Choose(account, IDC_SECURITY, step.first);
        EXPECT_EQ(Text(account, IDC_PORT), step.second);
    }
    Type(account, IDC_PORT, L"2110");
    Choose(account, IDC_SECURITY, 0);
    EXPECT_EQ(Text(account, IDC_PORT), L"2110") << "a port the user chose stays";
    Key(account, IDC_INTERVAL, VK_RETURN);
    ASSERT_TRUE(Closes(account));
    Key(main, IDC_ACCOUNT_LIST, VK_UP);
    Click(main, IDC_REMOVE);
    Click(main, IDOK);
    EXPECT_EQ(End(), 0u);
    EXPECT_EQ(Unexpected({{"GLOBAL", "POP_COUNT", "1"}, {"POP0", "Account", "bob"}, {"POP0", "CryptPassward", "80ff41"},
                          {"POP0", "Port", "2110"}, {"POP0", "COLOR", "-1"}, {"POP1", "Account", ""},
                          {"POP1", "Passward", ""}}),
              "");
}

}  // namespace
