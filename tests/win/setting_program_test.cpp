// Setting.exe as a user meets it: a copy runs from a folder of its own against the profile in
// this Wine prefix's registry, and is driven from outside through its dialogs' controls.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "platform/wide_text_win.h"

namespace {

const wchar_t kBranch[] = L"Software\\QUVA\\Zantoli";
constexpr DWORD kWaitMs = 10000;  // every wait on the program is bounded by this

// Control ids of the program's dialogs (src/setting/setting_resource.h).
constexpr int kAccountList = 1001, kAdd = 1002, kEdit = 1003, kRemove = 1004;
constexpr int kLogin = 1101, kServer = 1102, kPort = 1103, kInterval = 1104, kPassword = 1105;
constexpr int kColor = 1107, kProblem = 1108;

// A path as the test was built with it, in the form Wine's drive Z: gives it.
std::wstring FromBuildPath(const char* unixPath)
{
    std::wstring path = L"Z:" + WideFromUtf8(unixPath);
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    return path;
}

// Every key and value under a registry branch, as "section\key" -> text.
using RegistryDump = std::map<std::wstring, std::wstring>;

RegistryDump DumpBranch()
{
    RegistryDump dump;
    HKEY branch = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kBranch, 0, KEY_READ, &branch) != ERROR_SUCCESS)
        return dump;
    wchar_t section[256];
    for (DWORD i = 0; i < 1000; ++i) {
        DWORD sectionLength = 256;
        if (RegEnumKeyExW(branch, i, section, &sectionLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY sub = nullptr;
        if (RegOpenKeyExW(branch, section, 0, KEY_READ, &sub) != ERROR_SUCCESS)
            continue;
        wchar_t name[256];
        wchar_t data[1024];
        for (DWORD j = 0; j < 1000; ++j) {
            DWORD nameLength = 256;
            DWORD bytes = sizeof data - sizeof(wchar_t);
            DWORD type = 0;
            if (RegEnumValueW(sub, j, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes) !=
                ERROR_SUCCESS)
                break;
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
    const RegistryDump dump = DumpBranch();
    const auto found = dump.find(std::wstring(section) + L"\\" + key);
    return found == dump.end() ? L"<absent>" : found->second;
}

void Put(const wchar_t* section, const wchar_t* key, const wchar_t* text)
{
    const std::wstring path = std::wstring(kBranch) + L"\\" + section;
    HKEY key_ = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key_, key, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   DWORD((wcslen(text) + 1) * sizeof(wchar_t)));
    RegCloseKey(key_);
}

struct WindowSearch {
    DWORD processId;
    const wchar_t* caption;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam)
{
    auto& search = *reinterpret_cast<WindowSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t caption[128] = {};
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    InternalGetWindowText(window, caption, 128);
    if (owner == search.processId && IsWindowVisible(window) && wcscmp(className, L"#32770") == 0 &&
        wcscmp(caption, search.caption) == 0) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

class SettingProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, kBranch);
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        static int testNumber = 0;
        folder = std::wstring(temp) + L"zantoli-setting-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++testNumber) + L"\\";
        CreateDirectoryW(folder.c_str(), nullptr);
        // A copy, so that no real notifier lies beside it; a stand-in takes the notifier's name.
        ASSERT_TRUE(CopyFileW(FromBuildPath(SETTING_EXE).c_str(), (folder + L"Setting.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(FromBuildPath(FAKE_NOTIFIER_EXE).c_str(), (folder + L"Zantoli.exe").c_str(), FALSE));
    }

    void TearDown() override
    {
        if (process.hProcess) {
            if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, kWaitMs);
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
            NotifierStartedIn();  // the stand-in must be done before its file can go
        }
        // A program that has just ended may hold its file a moment longer.
        for (int attempt = 0; attempt < 20; ++attempt) {
            for (const wchar_t* name : {L"Setting.exe", L"Zantoli.exe", L"started.txt"})
                DeleteFileW((folder + name).c_str());
            if (RemoveDirectoryW(folder.c_str()))
                break;
            Sleep(100);
        }
    }

    // Starts the copy from somewhere else, as the notifier's folder need not be the current one.
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
        for (int attempt = 0; attempt < 100; ++attempt) {
            WindowSearch search{process.dwProcessId, caption, nullptr};
            EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
            if (search.found)
                return search.found;
            if (WaitForSingleObject(process.hProcess, 100) != WAIT_TIMEOUT)
                return nullptr;
        }
        return nullptr;
    }

    // The complaint the account dialog shows once it has refused its fields (bounded wait).
    static std::wstring Problem(HWND account)
    {
        for (int attempt = 0; attempt < 50 && Text(account, kProblem).empty(); ++attempt)
            Sleep(100);
        return Text(account, kProblem);
    }

    // True once the dialog is gone (bounded).
    static bool Closes(HWND dialog)
    {
        for (int attempt = 0; attempt < 100 && IsWindow(dialog) && IsWindowVisible(dialog); ++attempt)
            Sleep(100);
        return !IsWindow(dialog) || !IsWindowVisible(dialog);
    }

    static LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kWaitMs, &result);
        return LRESULT(result);
    }

    static void Type(HWND dialog, int id, const std::wstring& text)
    {
        Send(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }

    static std::wstring Text(HWND dialog, int id)
    {
        wchar_t text[256] = {};
        Send(GetDlgItem(dialog, id), WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
        return text;
    }

    // Posted, as a click would be: the button may open a dialog of its own.
    static void Click(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

    static void Key(HWND dialog, int id, WPARAM key)
    {
        HWND control = GetDlgItem(dialog, id);
        PostMessageW(control, WM_KEYDOWN, key, 1);
        PostMessageW(control, WM_KEYUP, key, 1 | (3u << 30));
    }

    void FillAccount(HWND account, const wchar_t* login, const wchar_t* server, const wchar_t* port,
                     const wchar_t* interval, const wchar_t* password, int color)
    {
        Type(account, kLogin, login);
        Type(account, kServer, server);
        Type(account, kPort, port);
        Type(account, kInterval, interval);
        Type(account, kPassword, password);
        Send(GetDlgItem(account, kColor), CB_SETCURSEL, WPARAM(color), 0);
    }

    // The program's exit code once it has ended; 259 (still active) if it would not end.
    DWORD ExitCode() const
    {
        WaitForSingleObject(process.hProcess, kWaitMs);
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process.hProcess, &code);
        return code;
    }

    // The folder the stand-in notifier was started in, or "<not started>".
    std::wstring NotifierStartedIn() const
    {
        const std::wstring marker = folder + L"started.txt";
        for (int attempt = 0; attempt < 50 && GetFileAttributesW(marker.c_str()) == INVALID_FILE_ATTRIBUTES; ++attempt)
            Sleep(100);
        HANDLE file = CreateFileW(marker.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return L"<not started>";
        wchar_t text[MAX_PATH] = {};
        DWORD read = 0;
        ReadFile(file, text, sizeof text - sizeof(wchar_t), &read, nullptr);
        CloseHandle(file);
        std::wstring started(text);
        return started.back() == L'\\' ? started : started + L"\\";
    }

    std::wstring folder;
    PROCESS_INFORMATION process{};
};

TEST_F(SettingProgramTest, TwoAccountsAddedAndConfirmedAreSavedInTheirStoredForms)
{
    HWND main = Start();
    ASSERT_TRUE(main);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, kEdit))) << "nothing to edit in an empty profile";
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, kRemove)));

    Click(main, kAdd);
    HWND account = FindDialog(L"New Account");
    ASSERT_TRUE(account);
    FillAccount(account, L"alice", L"127.0.0.1", L"2110", L"5", L"s\x00e9same", 3);
    Click(account, IDOK);
    ASSERT_TRUE(Closes(account));

    Click(main, kAdd);
    account = FindDialog(L"New Account");
    ASSERT_TRUE(account);
    FillAccount(account, L"bob@example.org", L"pop.example.org", L"110", L"30", L"pw", 9);
    Click(account, IDOK);
    ASSERT_TRUE(Closes(account));

    Click(main, IDOK);
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_EQ(Stored(L"GLOBAL", L"POP_COUNT"), L"2");
    EXPECT_EQ(Stored(L"POP0", L"Account"), L"alice");
    EXPECT_EQ(Stored(L"POP0", L"Address"), L"127.0.0.1");
    EXPECT_EQ(Stored(L"POP0", L"Duration"), L"5");
    EXPECT_EQ(Stored(L"POP0", L"CryptPassward"), L"73c3a973616d65");  // the UTF-8 bytes of the password
    EXPECT_EQ(Stored(L"POP0", L"COLOR"), L"3");
    EXPECT_EQ(Stored(L"POP0", L"Port"), L"2110");
    EXPECT_EQ(Stored(L"POP1", L"Account"), L"bob@example.org");
    EXPECT_EQ(Stored(L"POP1", L"Address"), L"pop.example.org");
    EXPECT_EQ(Stored(L"POP1", L"Duration"), L"30");
    EXPECT_EQ(Stored(L"POP1", L"CryptPassward"), L"7077");
    EXPECT_EQ(Stored(L"POP1", L"COLOR"), L"9");
    EXPECT_EQ(Stored(L"POP1", L"Port"), L"<absent>") << "the usual port leaves the profile as it was";
    EXPECT_EQ(Stored(L"POP0", L"Passward"), L"<absent>");
    EXPECT_EQ(NotifierStartedIn(), folder);
}

TEST_F(SettingProgramTest, CancelWritesNothingEvenAfterEdits)
{
    Put(L"GLOBAL", L"POP_COUNT", L"1");
    Put(L"POP0", L"Account", L"alice");
    Put(L"POP0", L"Address", L"pop.example.com");
    Put(L"POP0", L"Passward", L"plain");
    Put(L"POP0", L"Duration", L"15");
    const RegistryDump before = DumpBranch();

    HWND main = Start();
    ASSERT_TRUE(main);
    Click(main, kEdit);
    HWND account = FindDialog(L"Edit Account");
    ASSERT_TRUE(account);
    Type(account, kServer, L"elsewhere.example.com");
    Click(account, IDOK);
    ASSERT_TRUE(Closes(account));
    Click(main, kAdd);
    account = FindDialog(L"New Account");
    ASSERT_TRUE(account);
    FillAccount(account, L"bob", L"pop.example.org", L"110", L"10", L"pw", 1);
    Click(account, IDOK);
    ASSERT_TRUE(Closes(account));

    Key(main, kAccountList, VK_ESCAPE);
    EXPECT_EQ(ExitCode(), 1u);
    EXPECT_EQ(DumpBranch(), before);
    // The notifier closed itself to open the settings; it comes back either way.
    EXPECT_EQ(NotifierStartedIn(), folder);
}

TEST_F(SettingProgramTest, AnEditedAccountKeepsItsPasswordAndBadFieldsAreRefusedInTheDialog)
{
    Put(L"GLOBAL", L"POP_COUNT", L"2");
    Put(L"POP0", L"Account", L"alice");
    Put(L"POP0", L"Address", L"pop.example.com");
    Put(L"POP0", L"Passward", L"plain");
    Put(L"POP1", L"Account", L"bob");
    Put(L"POP1", L"Address", L"127.0.0.1");
    Put(L"POP1", L"Duration", L"5");
    Put(L"POP1", L"CryptPassward", L"80FF41");  // bytes no text field could show
    Put(L"POP1", L"COLOR", L"-1");

    HWND main = Start();
    ASSERT_TRUE(main);
    Key(main, kAccountList, VK_DOWN);  // from alice to bob
    Click(main, kEdit);
    HWND account = FindDialog(L"Edit Account");
    ASSERT_TRUE(account);
    EXPECT_EQ(Text(account, kLogin), L"bob");
    EXPECT_EQ(Text(account, kPassword), L"") << "a stored password is never shown";
    EXPECT_EQ(Text(account, kColor), L"Other (-1)");

    Type(account, kPort, L"70000");
    Click(account, IDOK);
    EXPECT_EQ(Problem(account), L"The port must be a number from 1 to 65535.");
    EXPECT_TRUE(IsWindowVisible(account));
    Type(account, kPort, L"995");
    EXPECT_EQ(Text(account, kProblem), L"") << "a correction clears the complaint";
    Type(account, kInterval, L"soon");
    Click(account, IDOK);
    EXPECT_NE(Problem(account).find(L"minutes"), std::wstring::npos);
    EXPECT_TRUE(IsWindowVisible(account));
    Type(account, kInterval, L"20");
    Key(account, kInterval, VK_RETURN);
    ASSERT_TRUE(Closes(account));

    Key(main, kAccountList, VK_RETURN);
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_EQ(Stored(L"GLOBAL", L"POP_COUNT"), L"2");
    EXPECT_EQ(Stored(L"POP1", L"CryptPassward"), L"80ff41");
    EXPECT_EQ(Stored(L"POP1", L"Port"), L"995");
    EXPECT_EQ(Stored(L"POP1", L"Duration"), L"20");
    EXPECT_EQ(Stored(L"POP1", L"COLOR"), L"-1");
    EXPECT_EQ(Stored(L"POP0", L"CryptPassward"), L"706c61696e");  // the plain password, now encoded
    EXPECT_EQ(Stored(L"POP0", L"Passward"), L"plain");
}

TEST_F(SettingProgramTest, RemovingAnAccountMovesTheNextOneUp)
{
    Put(L"GLOBAL", L"POP_COUNT", L"2");
    Put(L"POP0", L"Account", L"alice");
    Put(L"POP0", L"CryptPassward", L"6161");
    Put(L"POP1", L"Account", L"bob");
    Put(L"POP1", L"CryptPassward", L"6262");

    HWND main = Start();
    ASSERT_TRUE(main);
    Click(main, kRemove);
    Key(main, kAccountList, VK_DELETE);  // the next one, from the keyboard
    for (int attempt = 0; attempt < 50 && IsWindowEnabled(GetDlgItem(main, kRemove)); ++attempt)
        Sleep(100);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(main, kRemove))) << "nothing left to remove";
    Click(main, kAdd);
    HWND account = FindDialog(L"New Account");
    ASSERT_TRUE(account);
    FillAccount(account, L"carol", L"pop.example.net", L"110", L"10", L"", 7);
    Click(account, IDOK);
    ASSERT_TRUE(Closes(account));
    Click(main, IDOK);

    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_EQ(Stored(L"GLOBAL", L"POP_COUNT"), L"1");
    EXPECT_EQ(Stored(L"POP0", L"Account"), L"carol");
    EXPECT_EQ(Stored(L"POP0", L"CryptPassward"), L"");
    EXPECT_EQ(Stored(L"POP1", L"Account"), L"bob") << "sections beyond the count stay as they were";
}

}  // namespace
