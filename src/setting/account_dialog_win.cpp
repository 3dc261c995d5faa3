#include "setting/account_dialog_win.h"

#include "profile/envelope_palette.h"
#include "platform/gdi_win.h"
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
    case FormField::TrustFile:
        return IDC_TRUST_FILE;
    case FormField::Fingerprint:
        return IDC_FINGERPRINT;
    case FormField::None:
        break;
    }
    return 0;
}

// The security choices in the order of their stored values.
const wchar_t* const kSecurityLabels[] = {L"None", L"STLS", L"TLS"};

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
            EndDialog(Handle(), IDCANCEL);
            return TRUE;
        case IDC_SIGN_IN_OPTIONS:
            OnSignInOptions();
            return TRUE;
        default:
            if (LOWORD(wParam) == IDC_SECURITY && HIWORD(wParam) == CBN_SELCHANGE)
                OnSecurityChanged();
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
    SendMessageW(Item(IDC_LOGIN), EM_LIMITTEXT, 255, 0);
    SendMessageW(Item(IDC_SERVER), EM_LIMITTEXT, 255, 0);
    SendMessageW(Item(IDC_PORT), EM_LIMITTEXT, 5, 0);
    SendMessageW(Item(IDC_INTERVAL), EM_LIMITTEXT, 5, 0);
    SendMessageW(Item(IDC_PASSWORD), EM_LIMITTEXT, 255, 0);
    SendMessageW(Item(IDC_TRUST_FILE), EM_LIMITTEXT, MAX_PATH - 1, 0);
    SendMessageW(Item(IDC_FINGERPRINT), EM_LIMITTEXT, 128, 0);
    ShowWindow(Item(IDC_PASSWORD_HINT), isNew ? SW_HIDE : SW_SHOW);
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

// A stored value outside the three shows no choice and is kept unless the user picks one.
void AccountDialog::FillSecurityList()
{
    HWND list = Item(IDC_SECURITY);
    for (const wchar_t* label : kSecurityLabels)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label));
    const bool known = original.Security >= kSecurityNone && original.Security <= kSecurityTls;
    SendMessageW(list, CB_SETCURSEL, WPARAM(known ? original.Security : -1), 0);
    shownSecurity = original.Security;
}

int32_t AccountDialog::ChosenSecurity() const
{
    const LRESULT index = SendMessageW(Item(IDC_SECURITY), CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? original.Security : int32_t(index);
}

// The port follows the choice unless the user gave one of their own.
void AccountDialog::OnSecurityChanged()
{
    const int32_t chosen = ChosenSecurity();
    SetItemText(IDC_PORT, PortForSecurity(ItemText(IDC_PORT), shownSecurity, chosen));
    shownSecurity = chosen;
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
    EndDialog(Handle(), IDOK);
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
