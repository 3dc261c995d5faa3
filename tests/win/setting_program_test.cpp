// Setting.exe beside a stand-in notifier, driven through its controls; its account dialog also in-process.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/gdi_win.h"
#include "platform/https_post.h"
#include "platform/registry_profile_store_win.h"
#include "platform/secret_seal.h"
#include "platform/wide_text_win.h"
#include "platform/window_base_win.h"
#include "program_driver_win.h"
#include "setting/account_dialog_win.h"
#include "setting/setting_resource.h"

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr int kWaitMs = 10000;  // every wait on the program is bounded by this

bool Eventually(const std::function<bool()>& condition) { return WaitUntil(condition, kWaitMs); }

// Each profile value that is not as expected ("" for absent), as "section\key=value ".
std::string Unexpected(const std::vector<std::array<const char*, 3>>& expected)
{
    std::string found;
    for (const auto& value : expected) {  // a protected value is compared opened
        RegistryProfileStore store("QUVA", "Zantoli");
        std::string text = store.Read(value[0], value[1]), sealed;
        if (store.ReadBinary(value[0], value[1], sealed) && !UserSecretSeal().Open(sealed, text))
            text = "<unreadable>";
        found += text == value[2] ? "" : std::string(value[0]) + "\\" + value[1] + "=" + text + " ";
    }
    return found;
}

std::wstring RunCommand()
{
    wchar_t command[1024] = {};
    DWORD bytes = sizeof command;
    return RegGetValueW(HKEY_CURRENT_USER, kRunKey, L"Zantoli", RRF_RT_REG_SZ, 0, command, &bytes) ? L"<absent>" : command;
}

class SettingProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearProgramProfile();
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, L"Zantoli");
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        folder = temp + ("zantoli setting " + std::to_string(GetCurrentProcessId())) + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        ASSERT_TRUE(CopyFileA("Z:" SETTING_EXE, (folder + "Setting.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileA("Z:" STAND_IN_EXE, (folder + "Zantoli.exe").c_str(), FALSE));
    }

    // Every stand-in started would otherwise outlive the test by its minute, and keep its copy.
    void TearDown() override
    {
        setting.Kill();
        Eventually([&] {
            std::ifstream record(folder + "started.txt");
            for (std::string line; std::getline(record, line);)
                if (HANDLE started = OpenProcess(PROCESS_TERMINATE, FALSE, std::stoul(line))) {
                    TerminateProcess(started, 99);
                    CloseHandle(started);
                }
            record.close();
            // The record goes last: a running copy cannot be deleted, and may yet add its line.
            DeleteFileA((folder + "Setting.exe").c_str());
            return DeleteFileA((folder + "Zantoli.exe").c_str()) &&
                   (DeleteFileA((folder + "started.txt").c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) &&
                   RemoveDirectoryA(folder.c_str());
        });
    }

    // Starts the copy from the Windows folder, as the notifier's folder need not be the current one.
    HWND Start()
    {
        char windows[MAX_PATH] = {};
        GetWindowsDirectoryA(windows, MAX_PATH);
        return setting.Start(folder + "Setting.exe", "", windows) ? FindDialog(L"Zantoli Mail Settings") : nullptr;
    }

    DWORD End()  // STILL_ACTIVE if it would not end
    {
        DWORD code = STILL_ACTIVE;
        setting.WaitForExit(kWaitMs, code);
        setting.Kill();
        return code;
    }

    static HWND FindDialog(const wchar_t* caption)
    {
        HWND found = nullptr;
        Eventually([&] { return (found = FindWindowW(L"#32770", caption)) != nullptr && IsWindowVisible(found); });
        return found;
    }

    static LRESULT Send(HWND dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(GetDlgItem(dialog, id), message, wParam, lParam, SMTO_ABORTIFHUNG, kWaitMs, &result);
        return LRESULT(result);
    }
    static void Type(HWND dialog, int id, const std::wstring& text) { Send(dialog, id, WM_SETTEXT, 0, LPARAM(text.c_str())); }
    static void Fill(HWND dialog, std::initializer_list<std::pair<int, std::wstring>> fields)
    {
        for (const auto& [id, text] : fields)
            Type(dialog, id, text);
    }
    static std::wstring Text(HWND dialog, int id)
    {
        wchar_t text[1024] = {};
        Send(dialog, id, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
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
    // The account dialog's Test (or the Trust button) pressed, and the outcome it shows after.
    static std::wstring Tried(HWND account, int button = IDC_TEST)
    {
        Type(account, IDC_TEST_RESULT, L"");
        Click(account, button);
        std::wstring outcome;
        Eventually([&] {
            outcome = Text(account, IDC_TEST_RESULT);
            return Text(account, IDC_TEST) == L"&Test" && !outcome.empty() && outcome.find(L"Connecting") != 0;
        });
        return outcome;
    }

    // How often the notifier was started, each time in its own folder, once `expected` is reached.
    int NotifierStarts(int expected) const
    {
        int starts = 0;
        Eventually([&] {
            std::ifstream record(folder + "started.txt");
            starts = 0;
            for (std::string line; std::getline(record, line);)
                starts += line.substr(line.rfind('|') + 1) + "\\" == folder ? 1 : 100;
            return starts >= expected;
        });
        return starts;
    }

    std::string folder;
    ProgramProcess setting;
};

// As it opens, the dialog shows the system's message font, not its template's; each complaint fits the problem line.
class AccountDialogProbe : public AccountDialog {
public:
    AccountDialogProbe() : AccountDialog(NewAccountSettings(), true) {}

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        const INT_PTR result = AccountDialog::HandleMessage(message, wParam, lParam);
        if (message != WM_INITDIALOG)
            return result;
        HWND problem = Item(IDC_PROBLEM);
        const auto shown = reinterpret_cast<HFONT>(SendMessageW(problem, WM_GETFONT, 0, 0));
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        LOGFONTW font{};
        EXPECT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0) &&
                    GetObjectW(shown, sizeof font, &font) && wcscmp(font.lfFaceName, L"Segoe UI") &&
                    !wcscmp(font.lfFaceName, metrics.lfMessageFont.lfFaceName)) << Utf8FromWide(font.lfFaceName);
        const WindowDC window(problem);
        const HDC dc = window.Get();
        SelectObject(dc, shown);
        RECT line{};
        GetClientRect(problem, &line);
        for (std::string AccountForm::*field :
             {&AccountForm::login, &AccountForm::interval, &AccountForm::fingerprint}) {
            AccountForm bad{"alice", "pop.example.com", "995", "10", "", 7, kSecurityTls, "", ""};
            bad.*field = std::string(505, 'x');
            const std::string complaint = CheckForm(bad).message;
            RECT needed{0, 0, line.right, 0};
            DrawTextW(dc, WideFromUtf8(complaint).c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
            EXPECT_TRUE(needed.bottom <= line.bottom && needed.right <= line.right) << complaint;
        }
        EndDialog(Handle(), IDOK);
        return result;
    }
};

TEST(SettingAccountDialog, OpensInTheSystemMessageFontAndEachComplaintFitsTheProblemLine)
{
    EXPECT_EQ(AccountDialogProbe().RunModal(nullptr), IDOK);
}

TEST_F(SettingProgramTest, OptionsAndAnAddedAccountAreSavedAndShownNextTimeAndTheNotifierFollows)
{
    HWND main = Start(), running = nullptr, account = nullptr;
    Key(main, IDC_ACCOUNT_LIST, VK_ESCAPE);
    ASSERT_TRUE(main && End() == 1 && NotifierStarts(1) == 1) << "a cancelled run starts the notifier when none runs";
    const auto notifierRuns = [&] { return (running = FindWindowA(kProgramWindowClassName, "Tindrel")) != nullptr; };
    ASSERT_TRUE(Eventually(notifierRuns) && PostMessageA(running, WM_COMMAND, 57665, 0));
    ASSERT_TRUE(Eventually([&] { return !IsWindow(running); }));
    // The notifier that opened the settings, not yet ended, is waited for after Cancel and started again.
    ProgramProcess opener;
    ASSERT_TRUE(opener.Start(folder + "Zantoli.exe", "/settings", folder.c_str()));
    Key(FindDialog(L"Zantoli Mail Settings"), IDC_ACCOUNT_LIST, VK_ESCAPE);
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(opener.WaitForExit(kWaitMs, code)) << "it was asked to exit";
    ASSERT_TRUE(NotifierStarts(3) == 3 && Eventually(notifierRuns));

    ASSERT_TRUE(main = Start());
    EXPECT_EQ(Send(main, IDC_KEEP_SEEN, BM_GETCHECK), BST_CHECKED) << "kept unless turned off";
    Click(main, IDC_ADD);
    ASSERT_TRUE(account = FindDialog(L"New Account"));
    EXPECT_TRUE(Send(account, IDC_SECURITY, CB_GETCURSEL) == 2 && Text(account, IDC_PORT) == L"995") << "TLS by default";
    Choose(account, IDC_SECURITY, 0);  // plain text on the usual port: no value for either
    Fill(account, {{IDC_LOGIN, L"alice"}, {IDC_SERVER, L"127.0.0.1"}, {IDC_INTERVAL, L"0"}, {IDC_PASSWORD, L"s\x00e9same"}});
    Click(account, IDOK);
    ASSERT_TRUE(Closes(account));
    for (const int id : {IDC_START_AT_SIGN_IN, IDOK})
        Click(main, id);
    EXPECT_EQ(End(), 0u);
    EXPECT_EQ(Unexpected({{"GLOBAL", "POP_COUNT", "1"}, {"GLOBAL", "KeepSeen", "1"}, {"POP0", "Duration", "0"},
                          {"POP0", "ProtectedPassward", "s\xc3\xa9same"}, {"POP0", "CryptPassward", ""},
                          {"POP0", "Port", ""}, {"POP0", "COLOR", "7"}}), "");
    EXPECT_EQ(RunCommand(), WideFromUtf8("\"" + folder + "Zantoli.exe\""));
    EXPECT_FALSE(IsWindow(running)) << "the running notifier was asked to exit";
    ASSERT_EQ(NotifierStarts(4), 4);

    for (const int button : {IDOK, IDCANCEL}) {  // the boxes show what was saved
        ASSERT_TRUE(main = Start());
        EXPECT_EQ(Send(main, IDC_START_AT_SIGN_IN, BM_GETCHECK) + Send(main, IDC_KEEP_SEEN, BM_GETCHECK),
                  button == IDOK ? 2 * BST_CHECKED : 0);
        for (const int id : {IDC_START_AT_SIGN_IN, IDC_KEEP_SEEN, button})
            Click(main, id);
        EXPECT_EQ(End(), button == IDOK ? 0u : 1u);
        EXPECT_EQ(RunCommand(), L"<absent>");
        EXPECT_EQ(Unexpected({{"GLOBAL", "KeepSeen", "0"}}), "");
        EXPECT_EQ(NotifierStarts(5), 5) << "a cancelled run leaves the running notifier alone";
    }
}

// A sign-in through the browser (Wine starts the stand-in that tests/support/oauth_server.py names)
// stores the refresh token the provider issued, sealed; a declined consent says so in the
// provider's words and stores none. Once the grant is withdrawn, the notifier's tooltip says so.
TEST_F(SettingProgramTest, ASignInStoresTheIssuedRefreshTokenSealedAndADeclinedOneNothing)
{
    const char *url = std::getenv("ZANTOLI_OAUTH_URL"), *browser = std::getenv("ZANTOLI_BROWSER"),
               *issued = std::getenv("ZANTOLI_OAUTH_ISSUED"), *trust = std::getenv("ZANTOLI_TLS_TRUST_PEM");
    if (!url || !browser || !issued || !trust)
        GTEST_SKIP() << "run through tests/support/oauth_server.py";
    const RegistryValue browsers(HKEY_CURRENT_USER, "Software\\Wine\\WineBrowser", "Browsers");
    DebugMonitor trace;
    std::string last;
    for (const bool decline : {false, true}) {
        browsers.Set(browser + std::string(decline ? " deny" : ""));
        HWND main = nullptr, account = nullptr, oauth = nullptr, box = nullptr;
        ASSERT_TRUE(main = Start());
        const DWORD settingId = setting.Id();
        Click(main, IDC_ADD);
        ASSERT_TRUE(account = FindDialog(L"New Account"));
        Fill(account, {{IDC_LOGIN, L"tester"}, {IDC_SERVER, L"127.0.0.1"}, {IDC_TRUST_FILE, WideFromUtf8(trust)}});
        Click(account, IDC_SIGN_IN_OPTIONS);
        ASSERT_TRUE(oauth = FindDialog(L"Sign-in"));
        Click(oauth, IDC_OAUTH_ON);
        ASSERT_TRUE(Eventually([&] { return Send(oauth, IDC_OAUTH_ON, BM_GETCHECK) == BST_CHECKED; }));
        Choose(oauth, IDC_OAUTH_PROVIDER, 2);  // custom
        Fill(oauth, {{IDC_CLIENT_ID, L"zantoli-test-client"}, {IDC_AUTHORIZE_URL, WideFromUtf8(url + std::string("/authorize"))},
                     {IDC_TOKEN_URL, WideFromUtf8(url + std::string("/token"))}, {IDC_SCOPE, L"mail"}});
        Click(oauth, IDC_SIGN_IN);
        ASSERT_TRUE(Eventually([&] {  // the message box shares the dialog's caption
            for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", L"Sign-in")) != nullptr;)
                box = w != oauth && IsWindowVisible(w) ? w : box;
            return box != nullptr;
        }));
        EXPECT_EQ(Text(box, 0xFFFF), decline ? L"The provider refused the sign-in: access_denied (The resource "
                                               L"owner or authorization server denied the request)"
                                             : L"Signed in as tester.");
        Click(box, IDOK);
        ASSERT_TRUE(Closes(box));
        EXPECT_EQ(Text(oauth, IDC_SIGN_IN_STATE), decline ? L"Not signed in" : L"Signed in");
        for (HWND dialog : {oauth, account, main}) {
            Click(dialog, IDOK);
            ASSERT_TRUE(Closes(dialog));
        }
        EXPECT_EQ(End(), 0u);
        std::ifstream tokens(issued);
        for (std::string line; std::getline(tokens, line);)
            last = line;
        const std::string section = decline ? "POP1" : "POP0";
        EXPECT_EQ(Unexpected({{section.c_str(), "Auth", "1"}, {section.c_str(), "RefreshToken", decline ? "" : last.c_str()}}), "");
        EXPECT_FALSE(last.empty() && !decline) << "no refresh token was issued";
        EXPECT_EQ(RegistryProfileStore("QUVA", "Zantoli").Read(section, "RefreshToken"), "") << "never in clear";
        const std::vector<std::string> writes = trace.Writes(settingId);
        EXPECT_EQ(std::count(writes.begin(), writes.end(), "Token granted with a new refresh token\n"), decline ? 0 : 1);
        for (const std::string& write : writes)
            EXPECT_TRUE(last.empty() || write.find(last) == std::string::npos) << write;
    }

    EXPECT_TRUE(SystemHttps()(url + std::string("/revoke"), "", trust, nullptr).status == 200);
    PostMessageA(FindWindowA(kProgramWindowClassName, "Tindrel"), WM_COMMAND, 57665, 0);  // the stand-in
    ASSERT_TRUE(Eventually([] { return !FindWindowA(kProgramWindowClassName, "Tindrel"); }));
    WriteProgramProfile("GLOBAL", "POP_COUNT", "1");  // the signed-in account alone
    ProgramProcess notifier;
    ASSERT_TRUE(notifier.Start());
    const std::string expected = "tray tooltip: QUVA - 127.0.0.1: sign-in expired: sign in again in Setting.exe\n";
    // A start under Wine, a check and a token request: more than the dialogs' bound on a loaded machine.
    EXPECT_TRUE(trace.WaitForWrite(notifier.Id(), expected, 3 * kWaitMs)) << trace.Writes(notifier.Id()).size() << " writes";
    PostMessageA(FindWindowA(kProgramWindowClassName, "Tindrel"), WM_COMMAND, 57665, 0);
    DWORD code = STILL_ACTIVE;
    EXPECT_TRUE(notifier.WaitForExit(kWaitMs, code) && code == 0);
}

// The Test button tries Dovecot (tests/support/with_dovecot.py) when it is there, its certificate signed by a CA
// only the trust file names; the account is cancelled.
TEST_F(SettingProgramTest, BadFieldsAreRefusedThePortFollowsTheSecurityARemovedSectionGoesAndTestTriesTheAccount)
{
    for (const auto& value : std::vector<std::array<const char*, 3>>{
             {"GLOBAL", "POP_COUNT", "2"}, {"POP0", "Account", "alice"}, {"POP1", "Account", "bob"},
             {"POP1", "Address", "127.0.0.1"}, {"POP1", "COLOR", "-1"},
             {"POP1", "CryptPassward", "80FF41"},  // bytes no text field could show
             {"POP1", "Security", "7"}})
        WriteProgramProfile(value[0], value[1], value[2]);
    DebugMonitor trace;
    HWND main = Start();
    const DWORD settingId = setting.Id();
    Key(main, IDC_ACCOUNT_LIST, VK_DOWN);  // from alice to bob
    Click(main, IDC_EDIT);
    HWND account = FindDialog(L"Edit Account");
    ASSERT_TRUE(main && account);
    EXPECT_EQ(Text(account, IDC_PASSWORD), L"") << "a stored password is never shown";
    EXPECT_EQ(Send(account, IDC_SECURITY, CB_GETCURSEL), CB_ERR) << "an unknown security is not guessed";
    Type(account, IDC_LOGIN, std::wstring(200, L'\x20ac'));  // 200 characters, 600 bytes
    Click(account, IDOK);
    EXPECT_TRUE(Eventually([&] { return !Text(account, IDC_PROBLEM).empty(); }));
    Type(account, IDC_LOGIN, L"bob");
    Click(account, IDOK);
    EXPECT_TRUE(Eventually([&] { return Text(account, IDC_PROBLEM).rfind(L"Choose the security", 0) == 0; }));
    Choose(account, IDC_SECURITY, 2);
    EXPECT_EQ(Text(account, IDC_PORT), L"995") << "the port follows the security";
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(account, IDC_FOLDER)));
    Choose(account, IDC_PROTOCOL, 1);
    EXPECT_EQ(Text(account, IDC_PORT), L"993") << "and the protocol";
    ASSERT_TRUE(IsWindowEnabled(GetDlgItem(account, IDC_FOLDER)));
    Fill(account, {{IDC_FOLDER, L"INBOX.Entw\x00fcrfe"}, {IDC_PORT, L"2110"}});
    Choose(account, IDC_SECURITY, 0);
    EXPECT_EQ(Text(account, IDC_PORT), L"2110") << "unless the user chose one";
    Key(account, IDC_INTERVAL, VK_RETURN);
    ASSERT_TRUE(Closes(account));
    Key(main, IDC_ACCOUNT_LIST, VK_UP);
    for (const int answer : {IDNO, IDYES}) {  // the Delete key asks, as the Remove button does
        answer == IDNO ? Key(main, IDC_ACCOUNT_LIST, VK_DELETE) : Click(main, IDC_REMOVE);
        HWND box = FindDialog(L"Remove Account");
        Click(box, answer);
        ASSERT_TRUE(box && Closes(box));
        EXPECT_EQ(Send(main, IDC_ACCOUNT_LIST, LVM_GETITEMCOUNT), answer == IDNO ? 2 : 1);
    }
    const auto given = [](const char* name) { const char* value = std::getenv(name); return WideFromUtf8(value ? value : ""); };
    if (!given("ZANTOLI_DOVECOT_TLS_PORT").empty()) {
        Click(main, IDC_ADD);
        ASSERT_TRUE(account = FindDialog(L"New Account"));
        Fill(account, {{IDC_LOGIN, given("ZANTOLI_DOVECOT_USER")}, {IDC_SERVER, L"localhost"},
                       {IDC_PORT, given("ZANTOLI_DOVECOT_TLS_PORT")}, {IDC_PASSWORD, L"not-the-password"},
                       {IDC_TRUST_FILE, given("ZANTOLI_TLS_TRUST_PEM")}});
        EXPECT_EQ(Tried(account), L"login refused");
        Type(account, IDC_PASSWORD, given("ZANTOLI_DOVECOT_PASSWORD"));
        EXPECT_EQ(Tried(account), L"Connected: 3 messages");

        Type(account, IDC_TRUST_FILE, L"");  // the system's roots know nothing of the test CA
        EXPECT_EQ(Tried(account).find(L"certificate not trusted"), 0u);
        const std::wstring certificate = Text(account, IDC_CERTIFICATE);
        EXPECT_EQ(certificate.find(L"Subject: CN=localhost\r\nIssued by: CN=\"Zantoli Test CA\"\r\nValid from 20"), 0u)
            << Utf8FromWide(certificate);
        const std::wstring fingerprint = certificate.substr(certificate.find(L"SHA-256: ") + 9);
        EXPECT_TRUE(fingerprint.size() == 95 && IsWindowVisible(GetDlgItem(account, IDC_TRUST_CERTIFICATE)));
        EXPECT_EQ(Tried(account, IDC_TRUST_CERTIFICATE), L"Connected: 3 messages");
        EXPECT_EQ(Text(account, IDC_FINGERPRINT), fingerprint);
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(account, IDC_CERTIFICATE)));

        Type(account, IDC_PORT, given("ZANTOLI_DOWN_PORT"));
        EXPECT_EQ(Tried(account), L"server unreachable");
        // A server that never answers: the dialog still answers, and Stop ends the test at once.
        Type(account, IDC_PORT, given("ZANTOLI_TLS_SILENT"));
        Click(account, IDC_TEST);
        ASSERT_TRUE(Eventually([&] { return Text(account, IDC_TEST) == L"S&top"; }));
        EXPECT_EQ(Text(account, IDC_TEST_RESULT), L"Connecting to localhost...");
        EXPECT_EQ(Tried(account), L"stopped");

        // IMAP: a good test offers the server's folders, and leaves the typed name alone.
        Choose(account, IDC_PROTOCOL, 1);
        Choose(account, IDC_SECURITY, 0);
        Fill(account, {{IDC_TRUST_FILE, L""}, {IDC_FINGERPRINT, L""}, {IDC_PORT, given("ZANTOLI_DOVECOT_IMAP_PORT")},
                       {IDC_FOLDER, L"INBOX"}});
        EXPECT_EQ(Tried(account), L"Connected: 3 unread messages");
        std::vector<std::wstring> offered;
        for (LRESULT item = 0; item < Send(account, IDC_FOLDER, CB_GETCOUNT); ++item) {
            wchar_t name[256] = {};
            offered.push_back(Send(account, IDC_FOLDER, CB_GETLBTEXTLEN, WPARAM(item)) < 256 &&
                              Send(account, IDC_FOLDER, CB_GETLBTEXT, WPARAM(item), LPARAM(name)) > 0 ? name : L"?");
        }
        std::sort(offered.begin(), offered.end());
        EXPECT_TRUE(offered == (std::vector<std::wstring>{L"Entw\x00fcrfe", L"INBOX"}) &&
                    Text(account, IDC_FOLDER) == L"INBOX");
        Click(account, IDCANCEL);
        ASSERT_TRUE(Closes(account));
        const std::vector<std::string> writes = trace.Writes(settingId);
        const auto masked = [](const std::string& write) { return write.find("PASS ****") != std::string::npos; };
        EXPECT_TRUE(std::any_of(writes.begin(), writes.end(), masked)) << writes.size() << " writes";
    }
    Click(main, IDOK);
    EXPECT_EQ(End(), 0u);
    EXPECT_EQ(Unexpected({{"GLOBAL", "POP_COUNT", "1"}, {"POP0", "Account", "bob"}, {"POP0", "Port", "2110"},
                          {"POP0", "ProtectedPassward", "\x80\xff\x41"}, {"POP1", "CryptPassward", ""},
                          {"POP0", "COLOR", "-1"}, {"POP0", "Protocol", "1"}, {"POP1", "Account", ""},
                          {"POP0", "Folder", "INBOX.Entw\xc3\xbcrfe"}, {"POP0", "Fingerprint", ""}}), "")
        << "the removed account's section is gone, the cancelled one never came";
    for (const std::string& write : trace.Writes(settingId))
        EXPECT_EQ(write.find("zantoli-test"), std::string::npos) << write;
}

}  // namespace
