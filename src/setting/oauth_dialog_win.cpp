#include "setting/oauth_dialog_win.h"

#include "platform/wide_text_win.h"
#include "setting/setting_resource.h"
#include "setting/sign_in_win.h"

namespace {

// The providers in the order of the list, with their stored names.
const wchar_t* const kProviderLabels[] = {L"Microsoft", L"Google", L"Custom"};
const char* const kProviderNames[] = {"microsoft", "google", "custom"};

}  // namespace

OAuthDialog::OAuthDialog(const AccountSettings& settings) : Dialog(IDD_OAUTH), result(settings) {}

INT_PTR OAuthDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            if (TakeForm())
                EndDialog(Handle(), IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(Handle(), IDCANCEL);
            return TRUE;
        case IDC_SIGN_IN:
            OnSignIn();
            return TRUE;
        case IDC_OAUTH_ON:
        case IDC_OAUTH_PROVIDER:
            EnableFields();
            return FALSE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

void OAuthDialog::OnInitDialog()
{
    const OAuthForm form = OAuthFormFromSettings(result);
    CheckDlgButton(Handle(), IDC_OAUTH_ON, form.on ? BST_CHECKED : BST_UNCHECKED);
    HWND list = Item(IDC_OAUTH_PROVIDER);
    int selected = 2;
    for (int i = 0; i < 3; ++i) {
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kProviderLabels[i]));
        if (form.provider == kProviderNames[i])
            selected = i;
    }
    SendMessageW(list, CB_SETCURSEL, WPARAM(selected), 0);
    SetItemText(IDC_CLIENT_ID, form.clientId);
    SetItemText(IDC_AUTHORIZE_URL, form.authorizeUrl);
    SetItemText(IDC_TOKEN_URL, form.tokenUrl);
    SetItemText(IDC_SCOPE, form.scope);
    for (const int id : {IDC_CLIENT_ID, IDC_CLIENT_SECRET, IDC_AUTHORIZE_URL, IDC_TOKEN_URL, IDC_SCOPE})
        SendMessageW(Item(id), EM_LIMITTEXT, 2048, 0);
    EnableFields();
    ShowState();
}

// The endpoints are typed only for "custom"; the presets know theirs.
void OAuthDialog::EnableFields()
{
    const bool on = IsDlgButtonChecked(Handle(), IDC_OAUTH_ON) == BST_CHECKED;
    const bool custom = SendMessageW(Item(IDC_OAUTH_PROVIDER), CB_GETCURSEL, 0, 0) == 2;
    for (const int id : {IDC_OAUTH_PROVIDER, IDC_CLIENT_ID, IDC_CLIENT_SECRET, IDC_SIGN_IN})
        EnableWindow(Item(id), on);
    for (const int id : {IDC_AUTHORIZE_URL, IDC_TOKEN_URL, IDC_SCOPE})
        EnableWindow(Item(id), on && custom);
}

OAuthForm OAuthDialog::ReadForm() const
{
    OAuthForm form;
    form.on = IsDlgButtonChecked(Handle(), IDC_OAUTH_ON) == BST_CHECKED;
    const LRESULT provider = SendMessageW(Item(IDC_OAUTH_PROVIDER), CB_GETCURSEL, 0, 0);
    form.provider = kProviderNames[provider >= 0 && provider < 3 ? provider : 2];
    form.clientId = ItemText(IDC_CLIENT_ID);
    form.clientSecret = ItemText(IDC_CLIENT_SECRET);
    form.authorizeUrl = ItemText(IDC_AUTHORIZE_URL);
    form.tokenUrl = ItemText(IDC_TOKEN_URL);
    form.scope = ItemText(IDC_SCOPE);
    return form;
}

bool OAuthDialog::TakeForm()
{
    const OAuthForm form = ReadForm();
    const std::string problem = CheckOAuthForm(form);
    SetItemText(IDC_OAUTH_PROBLEM, problem);
    if (!problem.empty()) {
        MessageBeep(MB_ICONWARNING);
        return false;
    }
    ApplyOAuthForm(form, result);
    return true;
}

void OAuthDialog::OnSignIn()
{
    if (!TakeForm())
        return;
    const SignInResult signIn = SignIn(Handle(), result);
    if (signIn.signedIn) {
        result.RefreshToken = signIn.refreshToken;
        result.UnreadableSecrets &= ~kSecretRefreshToken;
    }
    ShowState();
    if (!signIn.message.empty())
        MessageBoxW(Handle(), WideFromUtf8(signIn.message).c_str(), L"Sign-in",
                    MB_OK | (signIn.signedIn ? MB_ICONINFORMATION : MB_ICONWARNING));
}

void OAuthDialog::ShowState()
{
    SetItemText(IDC_SIGN_IN_STATE, !result.RefreshToken.empty() ? "Signed in"
                                   : (result.UnreadableSecrets & kSecretRefreshToken)
                                       ? "Sign in again: the stored sign-in is unreadable"
                                       : "Not signed in");
}
