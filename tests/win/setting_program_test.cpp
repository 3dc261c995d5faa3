// Setting.exe as a user meets it: a copy runs from a folder of its own against the profile in
// this Wine prefix's registry, and is driven from outside through its dialogs' controls. A start
// recorder beside it, named like the notifier, shows that the notifier is started again.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <map>
#include <string>

#include "platform/wide_text_win.h"
#include "setting/setting_resource.h"

namespace {

const wchar_t kBranch[] = L"Software\\QUVA\\Zantoli";
constexpr DWORD kWaitMs = 10000;  // every wait on the program is bounded by this

// A path as the test was built with it, in the form Wine's drive Z: gives it.
std::wstring FromBuildPath(const char* unixPath)
{
    std::wstring path = L"Z:" + WideFromUtf8(unixPath);
    for (wchar_t& c : path)
        c = c == L'/' ? L'\\' : c;
    return path;
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

// Every value under the program's branch, as "section\key" -> text.
std::map<std::wstring, std::wstring> DumpBranch()
{
    std::map<std::wstring, std::wstring> dump;
    HKEY branch = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kBranch, 0, KEY_READ, &branch) != ERROR_SUCCESS)
        return dump;
    wchar_t section[256];
    for (DWORD i = 0, length = 256; RegEnumKeyExW(branch, i, section, &length, nullptr, nullptr, nullptr, nullptr) ==
                                     ERROR_SUCCESS && i < 1000;
         ++i, length = 256) {
        HKEY sub = nullptr;
        if (RegOpenKeyExW(branch, section, 0, KEY_READ, &sub) != ERROR_SUCCESS)
            continue;
        wchar_t name[256];
        wchar_t data[1024];
        for (DWORD j = 0, nameLength = 256, bytes = sizeof data - 2;
             RegEnumValueW(sub, j, name, &nameLength, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &bytes) ==
                 ERROR_SUCCESS && j < 1000;
             ++j, nameLength = 256, bytes = sizeof data - 2) {
            data[bytes / sizeof(wchar_t)] = L'\0';
            dump[std::wstring(section) + L"\\" + name] = data;
        }
        RegCloseKey(sub);
    }
    RegCloseKey(branch);
    return dump;
}

std::wstring Stored(const wchar_t* section, const wchar_t* key)
{
    const auto dump = DumpBranch();
    const auto found = dump.find(std::wstring(section) + L"\\" + key);
    return found == dump.end() ? L"<absent>" : found->second;
}

void Put(const std::wstring& section, const wchar_t* key, const wchar_t* text)
{
    HKEY handle = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kBranch) + L"\\" + section).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                    nullptr, &handle, nullptr);
    RegSetValueExW(handle, key, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), DWORD((wcslen(text) + 1) * 2));
    RegCloseKey(handle);
}

class SettingProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, kBranch);
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder = std::wstring(temp) + L"zantoli-setting-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(folder.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(FromBuildPath(SETTING_EXE).c_str(), (folder + L"Setting.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(FromBuildPath(START_RECORDER_EXE).c_str(), (folder + L"Zantoli.exe").c_str(), FALSE));
    }

    void TearDown() override
    {
        if (process.hProcess) {
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, kWaitMs);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
        // A program that has just ended may hold its file a moment longer.
        Eventually([&] {
            for (const wchar_t* name : {L"Setting.exe", L"Zantoli.exe", L"started.txt"})
                DeleteFileW((folder + name).c_str());
            return RemoveDirectoryW(folder.c_str()) != FALSE;
        });
    }

    // Starts the copy from the Windows folder, as the notifier's folder need not be the current one.
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

    HWND FindDialog(const wchar_t* caption) const
    {
        HWND found = nullptr;
        Eventually([&] {
            found = FindWindowW(L"#32770", caption);
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            return found && owner == process.dwProcessId && IsWindowVisible(found);
        });
        return found;
    }

    static bool Closes(HWND dialog)
    {
        return Eventually([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
    }

    static LRESULT Send(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
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
    // Posted, as a click would be: the button may open a dialog of its own.
    static void Click(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
    static void Key(HWND dialog, int id, WPARAM key)
    {
        PostMessageW(GetDlgItem(dialog, id), WM_KEYDOWN, key, 1);
        PostMessageW(GetDlgItem(dialog, id), WM_KEYUP, key, 1 | (3u << 30));
    }

    // Adds an account through the account dialog.
    void Add(HWND main, const wchar_t* login, const wchar_t* server, const wchar_t* port, const wchar_t* interval,
             const wchar_t* password, int color)
    {
        Click(main, IDC_ADD);
        HWND account = FindDialog(L"New Account");
        ASSERT_TRUE(account);
        const std::pair<int, const wchar_t*> fields[] = {
            {IDC_LOGIN, login}, {IDC_SERVER, server}, {IDC_PORT, port}, {IDC_INTERVAL, interval}, {IDC_PASSWORD, password}};
        for (const auto& field : fields)
            Type(account, field.first, field.second);
        Send(account, IDC_COLOR, CB_SETCURSEL, WPARAM(color), 0);
        Click(account, IDOK);
        ASSERT_TRUE(Closes(account));
    }

    // The program's exit code once it has ended; 259 (still active) if it would not end.
    DWORD ExitCode() const
    {
        WaitForSingleObject(process.hProcess, kWaitMs);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process.hProcess, &code);
        return code;
    }

    // Whether the notifier was started again, in its own folder.
    bool NotifierRestarted() const
    {
        std::string line;
        Eventually([&] { return static_cast<bool>(std::getline(std::ifstream(Utf8FromWide(folder) + "started.txt"), line)); });
        const std::wstring expected = folder.substr(0, folder.size() - 1);
        return lstrcmpiW(WideFromUtf8(line.substr(line.find('|') + 1)).c_str(), expected.c_str()) == 0;
    }

    std::wstring folder;
    PROCESS_INFORMATION process{};
};

TEST_F(SettingProgramTest, AccountsAddedAndConfirmedAreSavedInTheirStoredForms)
{
    HWND main = Start();
    ASSERT_TRUE(main);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, IDC_EDIT))) << "nothing to edit in an empty profile";
    Add(main, L"alice", L"127.0.0.1", L"2110", L"5", L"s\x00e9same", 3);
    Add(main, L"bob@example.org", L"pop.example.org", L"110", L"30", L"pw", 9);
    Click(main, IDOK);
    EXPECT_EQ(ExitCode(), 0u);
    const std::map<std::wstring, std::wstring> expected = {
        {L"GLOBAL\\POP_COUNT", L"2"},
        {L"POP0\\Account", L"alice"}, {L"POP0\\Address", L"127.0.0.1"}, {L"POP0\\Duration", L"5"},
        {L"POP0\\CryptPassward", L"73c3a973616d65"},  // the UTF-8 bytes of the password
        {L"POP0\\COLOR", L"3"}, {L"POP0\\Port", L"2110"},
        {L"POP1\\Account", L"bob@example.org"}, {L"POP1\\Address", L"pop.example.org"}, {L"POP1\\Duration", L"30"},
        {L"POP1\\CryptPassward", L"7077"}, {L"POP1\\COLOR", L"9"},  // the usual port is not written
    };
    EXPECT_EQ(DumpBranch(), expected);
    EXPECT_TRUE(NotifierRestarted());
}

TEST_F(SettingProgramTest, CancelWritesNothingEvenAfterEdits)
{
    Put(L"GLOBAL", L"POP_COUNT", L"1");
    Put(L"POP0", L"Account", L"alice");
    Put(L"POP0", L"Duration", L"15");
    Put(L"POP0", L"Passward", L"plain");
    const auto before = DumpBranch();
    HWND main = Start();
    ASSERT_TRUE(main);
    Click(main, IDC_EDIT);
    HWND account = FindDialog(L"Edit Account");
    ASSERT_TRUE(account);
    Type(account, IDC_SERVER, L"elsewhere.example.com");
    Click(account, IDOK);
    ASSERT_TRUE(Closes(account));
    Add(main, L"bob", L"pop.example.org", L"110", L"10", L"pw", 1);
    Key(main, IDC_ACCOUNT_LIST, VK_ESCAPE);
    EXPECT_EQ(ExitCode(), 1u);
    EXPECT_EQ(DumpBranch(), before);
    // The notifier closed itself to open the settings; it comes back either way.
    EXPECT_TRUE(NotifierRestarted());
}

TEST_F(SettingProgramTest, AnEditedAccountKeepsItsPasswordBadFieldsAreRefusedAndRemovalMovesTheNextUp)
{
    Put(L"GLOBAL", L"POP_COUNT", L"2");
    Put(L"POP0", L"Account", L"alice");
    Put(L"POP1", L"Account", L"bob");
    Put(L"POP1", L"Address", L"127.0.0.1");
    Put(L"POP1", L"CryptPassward", L"80FF41");  // bytes no text field could show
    Put(L"POP1", L"COLOR", L"-1");
    HWND main = Start();
    ASSERT_TRUE(main);
    Key(main, IDC_ACCOUNT_LIST, VK_DOWN);  // from alice to bob
    Click(main, IDC_EDIT);
    HWND account = FindDialog(L"Edit Account");
    ASSERT_TRUE(account);
    EXPECT_EQ(Text(account, IDC_PASSWORD), L"") << "a stored password is never shown";
    EXPECT_EQ(Text(account, IDC_COLOR), L"Other (-1)");
    for (const auto& bad : {std::pair<int, const wchar_t*>{IDC_PORT, L"70000"}, {IDC_INTERVAL, L"soon"}}) {
        Type(account, bad.first, bad.second);
        Click(account, IDOK);
        EXPECT_TRUE(Eventually([&] { return !Text(account, IDC_PROBLEM).empty(); })) << bad.second;
        EXPECT_TRUE(IsWindowVisible(account));
        Type(account, bad.first, bad.first == IDC_PORT ? L"995" : L"20");
        EXPECT_EQ(Text(account, IDC_PROBLEM), L"") << "a correction clears the complaint";
    }
    Key(account, IDC_INTERVAL, VK_RETURN);
    ASSERT_TRUE(Closes(account));
    Key(main, IDC_ACCOUNT_LIST, VK_UP);
    Click(main, IDC_REMOVE);
    ASSERT_TRUE(Eventually([&] { return Send(main, IDC_ACCOUNT_LIST, LVM_GETITEMCOUNT, 0, 0) == 1; }));
    Key(main, IDC_ACCOUNT_LIST, VK_RETURN);
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_EQ(Stored(L"GLOBAL", L"POP_COUNT"), L"1");
    EXPECT_EQ(Stored(L"POP0", L"Account"), L"bob");
    EXPECT_EQ(Stored(L"POP0", L"CryptPassward"), L"80ff41");
    EXPECT_EQ(Stored(L"POP0", L"Port"), L"995");
    EXPECT_EQ(Stored(L"POP0", L"Duration"), L"20");
    EXPECT_EQ(Stored(L"POP0", L"COLOR"), L"-1");
    EXPECT_EQ(Stored(L"POP1", L"Account"), L"bob") << "sections beyond the count stay as they were";
}

}  // namespace
