#include "setting/account_dialog_win.h"

#include <commdlg.h>

#include "profile/envelope_palette.h"
#include "platform/gdi_win.h"
#include "setting/account_labels.h"
#include "setting/color_names.h"
#include "setting/oauth_dialog_win.h"
#include "setting/oauth_form.h"
#include "setting/setting_resource.h"
#include "platform/wide_text_win.h"

namespace {

int FieldControl(FormField field)
{
    switch (field) {
    case FormField::Login:
        return IDC_LOGIN;
    case FormField::Server:
        return IDC_SERVER;
    case FormField::Port:
        return IDC_PORT;
    case FormField::Interval:
        return IDC_INTERVAL;
    case FormField::Password:
        return IDC_PASSWORD;
    case FormField::Security:
        return IDC_SECURITY;
    case FormField::TrustFile:
        return IDC_TRUST_FILE;
    case FormField::Fingerprint:
        return IDC_FINGERPRINT;
    case FormField::Folder:
        return IDC_FOLDER;
    case FormField::None:
        break;
    }
    return 0;
}

// Posted by the test's thread when its report is ready.
constexpr UINT kTestDoneMessage = WM_APP + 1;

// Dark red, readable on the dialog's face in the usual colour schemes.
constexpr COLORREF kProblemTextColor = RGB(176, 0, 0);

}  // namespace

AccountDialog::AccountDialog(const AccountSettings& settings, bool isNew)
    : Dialog(IDD_ACCOUNT), original(settings), result(settings), signIn(settings), isNew(isNew)
{
}

INT_PTR AccountDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            OnOk();
            return TRUE;
        case IDCANCEL:
            EndWith(IDCANCEL);
            return TRUE;
        case IDC_BROWSE_TRUST:
            OnBrowseTrustFile();
            return TRUE;
        case IDC_TEST:
            OnTest();
            return TRUE;
        case IDC_TRUST_CERTIFICATE:
            OnTrustCertificate();
            return TRUE;
        case IDC_SIGN_IN_OPTIONS:
            OnSignInOptions();
            return TRUE;
        default:
            if (LOWORD(wParam) == IDC_SECURITY && HIWORD(wParam) == CBN_SELCHANGE)
                OnSecurityChanged();
            if (LOWORD(wParam) == IDC_PROTOCOL && HIWORD(wParam) == CBN_SELCHANGE)
                OnProtocolChanged();
            if (HIWORD(wParam) == EN_CHANGE || HIWORD(wParam) == CBN_SELCHANGE)
                OnFieldChanged();
            return FALSE;
        }
    case WM_DRAWITEM:
        if (wParam != IDC_COLOR)
            return FALSE;
        OnDrawColorItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_CTLCOLORSTATIC:
        return OnColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case kTestDoneMessage:
        OnTestDone();
        return TRUE;
    default:
        return FALSE;
    }
}

void AccountDialog::OnInitDialog()
{
    SetWindowTextW(Handle(), isNew ? L"New Account" : L"Edit Account");
    const AccountForm form = FormFromSettings(original);
    SetItemText(IDC_LOGIN, form.login);
    SetItemText(IDC_SERVER, form.server);
    SetItemText(IDC_PORT, form.port);
    SetItemText(IDC_INTERVAL, form.interval);
    SetItemText(IDC_TRUST_FILE, form.trustFile);
    SetItemText(IDC_FINGERPRINT, form.fingerprint);
    SetItemText(IDC_FOLDER, form.folder);
    SendMessageW(Item(IDC_LOGIN), EM_LIMITTEXT, 255, 0);
    SendMessageW(Item(IDC_SERVER), EM_LIMITTEXT, 255, 0);
    SendMessageW(Item(IDC_PORT), EM_LIMITTEXT, 5, 0);
    SendMessageW(Item(IDC_INTERVAL), EM_LIMITTEXT, 5, 0);
    SendMessageW(Item(IDC_PASSWORD), EM_LIMITTEXT, 255, 0);
    SendMessageW(Item(IDC_TRUST_FILE), EM_LIMITTEXT, MAX_PATH - 1, 0);
    SendMessageW(Item(IDC_FINGERPRINT), EM_LIMITTEXT, 128, 0);
    SendMessageW(Item(IDC_FOLDER), CB_LIMITTEXT, 255, 0);
    ShowWindow(Item(IDC_PASSWORD_HINT), isNew ? SW_HIDE : SW_SHOW);
    FillProtocolList();
    FillSecurityList();
    FillColorList();
    showingProblem = false;
}

// The ten named colours, and an existing account's unnamed value as an eleventh entry, so
// that it is shown and kept unless the user picks another.
void AccountDialog::FillColorList()
{
    HWND list = Item(IDC_COLOR);
    const auto add = [list](int32_t color) {
        const std::wstring label = WideFromUtf8(ColorLabel(color));
        const LRESULT index = SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label.c_str()));
        SendMessageW(list, CB_SETITEMDATA, WPARAM(index), LPARAM(color));
        return index;
    };
    LRESULT selected = 0;
    for (int32_t color = 0; color < kNamedColorCount; ++color) {
        const LRESULT index = add(color);
        if (color == original.Color)
            selected = index;
    }
    if (!IsNamedColor(original.Color))
        selected = add(original.Color);
    SendMessageW(list, CB_SETCURSEL, WPARAM(selected), 0);
}

// A stored value outside the three shows no choice, and the form is refused until the user
// picks one: guessing could send the password in clear.
void AccountDialog::FillSecurityList()
{
    HWND list = Item(IDC_SECURITY);
    for (int32_t security = 0; security < kSecurityCount; ++security)
        SendMessageW(list, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(WideFromUtf8(SecurityLabel(original.Protocol, security)).c_str()));
    const bool known = original.Security >= kSecurityNone && original.Security <= kSecurityTls;
    SendMessageW(list, CB_SETCURSEL, WPARAM(known ? original.Security : -1), 0);
    shownSecurity = original.Security;
}

int32_t AccountDialog::ChosenSecurity() const
{
    const LRESULT index = SendMessageW(Item(IDC_SECURITY), CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? original.Security : int32_t(index);
}

void AccountDialog::OnSecurityChanged()
{
    FollowChoices();
}

AccountForm AccountDialog::ReadForm() const
{
    AccountForm form;
    form.login = ItemText(IDC_LOGIN);
    form.server = ItemText(IDC_SERVER);
    form.port = ItemText(IDC_PORT);
    form.interval = ItemText(IDC_INTERVAL);
    form.password = ItemText(IDC_PASSWORD);
    form.security = ChosenSecurity();
    form.trustFile = ItemText(IDC_TRUST_FILE);
    form.fingerprint = ItemText(IDC_FINGERPRINT);
    form.protocol = ChosenProtocol();
    form.folder = ItemText(IDC_FOLDER);
    const LRESULT index = SendMessageW(Item(IDC_COLOR), CB_GETCURSEL, 0, 0);
    form.color = index == CB_ERR ? original.Color
                                 : int32_t(SendMessageW(Item(IDC_COLOR), CB_GETITEMDATA, WPARAM(index), 0));
    return form;
}

void AccountDialog::OnOk()
{
    const AccountForm form = ReadForm();
    const FormProblem problem = CheckForm(form);
    if (problem) {
        ShowProblem(problem);
        return;
    }
    result = SettingsFromForm(form, original);
    CopySignIn(signIn, result);
    EndWith(IDOK);
}

// The sign-in values live in a dialog of their own; the sign-in uses the login name and trust
// file as typed here.
void AccountDialog::OnSignInOptions()
{
    AccountSettings edited = signIn;
    edited.Account = ItemText(IDC_LOGIN);
    edited.TrustFile = ItemText(IDC_TRUST_FILE);
    OAuthDialog dialog(edited);
    if (dialog.RunModal(Handle()) == IDOK)
        CopySignIn(dialog.Result(), signIn);
}

void AccountDialog::ShowProblem(const FormProblem& problem)
{
    SetItemText(IDC_PROBLEM, problem.message);
    showingProblem = true;
    MessageBeep(MB_ICONWARNING);
    const int field = FieldControl(problem.field);
    FocusItem(field);
    SendMessageW(Item(field), EM_SETSEL, 0, -1);
}

// Once the user changes something, the last complaint no longer applies.
void AccountDialog::OnFieldChanged()
{
    if (!showingProblem)
        return;
    showingProblem = false;
    SetItemText(IDC_PROBLEM, "");
}

// Each colour with a swatch of the envelope's colour before its name.
void AccountDialog::OnDrawColorItem(const DRAWITEMSTRUCT& item) const
{
    if (item.itemID == UINT(-1))
        return;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    HDC dc = item.hDC;
    RECT area = item.rcItem;
    FillRect(dc, &area, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));

    const int32_t color = int32_t(item.itemData);
    const int side = area.bottom - area.top - 4;
    RECT swatch{area.left + 3, area.top + 2, area.left + 3 + side * 3 / 2, area.top + 2 + side};
    // A value without a name gets an empty frame: the palette has no colour to show for it.
    if (IsNamedColor(color)) {
        GdiObject<HBRUSH> brush(CreateSolidBrush(EnvelopePalette[size_t(color)]));
        FillRect(dc, &swatch, brush.Get());
    }
    FrameRect(dc, &swatch, GetSysColorBrush(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));

    wchar_t label[64] = {};
    SendMessageW(item.hwndItem, CB_GETLBTEXT, item.itemID, reinterpret_cast<LPARAM>(label));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT text = area;
    text.left = swatch.right + 5;
    DrawTextW(dc, label, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (item.itemState & ODS_FOCUS)
        DrawFocusRect(dc, &area);
}

INT_PTR AccountDialog::OnColorStatic(HDC dc, HWND control) const
{
    if (control != Item(IDC_PROBLEM))
        return FALSE;
    SetTextColor(dc, kProblemTextColor);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

// Like the security, a stored protocol outside the two shows no choice and is kept.
void AccountDialog::FillProtocolList()
{
    HWND list = Item(IDC_PROTOCOL);
    for (int32_t protocol = 0; protocol < kProtocolCount; ++protocol)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFromUtf8(ProtocolLabel(protocol)).c_str()));
    const bool known = original.Protocol == kProtocolPop3 || original.Protocol == kProtocolImap;
    SendMessageW(list, CB_SETCURSEL, WPARAM(known ? original.Protocol : -1), 0);
    shownProtocol = original.Protocol;
    EnableWindow(Item(IDC_FOLDER_LABEL), original.Protocol == kProtocolImap);
    EnableWindow(Item(IDC_FOLDER), original.Protocol == kProtocolImap);
}

int32_t AccountDialog::ChosenProtocol() const
{
    const LRESULT index = SendMessageW(Item(IDC_PROTOCOL), CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? original.Protocol : int32_t(index);
}

// Only IMAP has folders, and it calls its upgrade to TLS STARTTLS where POP3 says STLS.
void AccountDialog::OnProtocolChanged()
{
    const int32_t protocol = ChosenProtocol();
    EnableWindow(Item(IDC_FOLDER_LABEL), protocol == kProtocolImap);
    EnableWindow(Item(IDC_FOLDER), protocol == kProtocolImap);
    HWND list = Item(IDC_SECURITY);
    const LRESULT selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
    SendMessageW(list, CB_DELETESTRING, WPARAM(kSecurityStls), 0);
    SendMessageW(list, CB_INSERTSTRING, WPARAM(kSecurityStls),
                 reinterpret_cast<LPARAM>(WideFromUtf8(SecurityLabel(protocol, kSecurityStls)).c_str()));
    SendMessageW(list, CB_SETCURSEL, WPARAM(selected), 0);
    FollowChoices();
}

// The port follows the choices unless the user gave one of their own.
void AccountDialog::FollowChoices()
{
    const int32_t protocol = ChosenProtocol();
    const int32_t security = ChosenSecurity();
    SetItemText(IDC_PORT, PortForChoice(ItemText(IDC_PORT), DefaultPort(shownSecurity, shownProtocol),
                                        DefaultPort(security, protocol)));
    shownProtocol = protocol;
    shownSecurity = security;
}

void AccountDialog::OnBrowseTrustFile()
{
    wchar_t file[MAX_PATH] = {};
    const std::wstring typed = WideFromUtf8(ItemText(IDC_TRUST_FILE));
    typed.copy(file, MAX_PATH - 1);
    OPENFILENAMEW open{};
    open.lStructSize = sizeof open;
    open.hwndOwner = Handle();
    open.lpstrFilter = L"Certificates (*.pem, *.crt, *.cer, *.der)\0*.pem;*.crt;*.cer;*.der\0All files\0*.*\0";
    open.lpstrFile = file;
    open.nMaxFile = MAX_PATH;
    open.lpstrTitle = L"Trust File";
    open.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    bool chosen = GetOpenFileNameW(&open) != FALSE;
    // A typed path the dialog cannot start from: start from nothing instead.
    if (!chosen && CommDlgExtendedError() == FNERR_INVALIDFILENAME) {
        file[0] = L'\0';
        chosen = GetOpenFileNameW(&open) != FALSE;
    }
    if (chosen)
        SetDlgItemTextW(Handle(), IDC_TRUST_FILE, file);
}

// Test, or Stop while a test runs. The fields are checked as OK checks them, and the account
// as typed (with the saved password when the field is empty) is tried once; nothing is saved.
void AccountDialog::OnTest()
{
    if (tester.Busy()) {
        tester.RequestStop();
        return;
    }
    const AccountForm form = ReadForm();
    if (const FormProblem problem = CheckForm(form)) {
        ShowProblem(problem);
        return;
    }
    ShowCertificate(nullptr);
    AccountSettings account = SettingsFromForm(form, original);
    CopySignIn(signIn, account);
    if (!tester.Start(account, Handle(), kTestDoneMessage))
        return;
    SetItemText(IDC_TEST_RESULT, "Connecting to " + account.Address + "...");
    SetItemText(IDC_TEST, "S&top");
}

void AccountDialog::OnTestDone()
{
    if (!tester.Busy())
        return;  // its dialog ended the test already
    const AccountTestReport report = tester.Collect();
    SetItemText(IDC_TEST, "&Test");
    // The provider may have stopped taking the old refresh token already: OK stores this one.
    if (!report.rotatedRefreshToken.empty())
        signIn.RefreshToken = report.rotatedRefreshToken;
    if (report.certificateRefused)
        SetItemText(IDC_TEST_RESULT, report.text + ". Trust it only if this is your server's fingerprint:");
    else
        SetItemText(IDC_TEST_RESULT, report.text);
    ShowCertificate(report.certificateRefused ? &report : nullptr);
    OfferFolders(report.folders);
}

// The server's folders in the folder field's list; what the user typed stays, and may still
// be any name.
void AccountDialog::OfferFolders(const std::vector<std::string>& folders)
{
    if (folders.empty())
        return;
    const HWND field = Item(IDC_FOLDER);
    const std::string typed = ItemText(IDC_FOLDER);
    SendMessageW(field, CB_RESETCONTENT, 0, 0);  // empties the edit part too
    for (const std::string& folder : folders)
        SendMessageW(field, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFromUtf8(folder).c_str()));
    SetItemText(IDC_FOLDER, typed);
}

// The certificate the test refused, with the offer to trust it; nothing when report is null.
void AccountDialog::ShowCertificate(const AccountTestReport* report)
{
    refusedFingerprint = report ? report->certificate.fingerprint : std::string();
    SetItemText(IDC_CERTIFICATE, report ? CertificateText(report->certificate) : std::string());
    ShowWindow(Item(IDC_CERTIFICATE), report ? SW_SHOW : SW_HIDE);
    ShowWindow(Item(IDC_TRUST_CERTIFICATE), report ? SW_SHOW : SW_HIDE);
}

// Pins exactly the certificate shown, in the fingerprint field (saved with OK), and tries again.
void AccountDialog::OnTrustCertificate()
{
    if (refusedFingerprint.empty())
        return;
    SetItemText(IDC_FINGERPRINT, refusedFingerprint);
    FocusItem(IDC_TEST);  // the button goes away
    OnTest();
}

// A test still running ends with the dialog: its thread must not outlive the fields it uses.
void AccountDialog::EndWith(int result)
{
    tester.Stop();
    EndDialog(Handle(), result);
}
