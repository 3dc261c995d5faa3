#pragma once
// The dialog for one account: login name, server, security, port, interval, password,
// envelope colour, and the optional trust file and fingerprint. OK checks the fields and keeps
// the dialog open, saying what is wrong, until they are acceptable.
#include <windows.h>

#include "setting/account_form.h"
#include "setting/dialog_win.h"

class AccountDialog : public Dialog {
public:
    // isNew: a new account (no password to keep) rather than an existing one.
    AccountDialog(const AccountSettings& settings, bool isNew);

    // The settings as edited; meaningful after RunModal returned IDOK.
    const AccountSettings& Result() const { return result; }

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnInitDialog();
    void FillColorList();
    void FillSecurityList();
    void OnSecurityChanged();
    int32_t ChosenSecurity() const;
    void OnOk();
    void OnSignInOptions();
    AccountForm ReadForm() const;
    void ShowProblem(const FormProblem& problem);
    void OnFieldChanged();
    void OnDrawColorItem(const DRAWITEMSTRUCT& item) const;
    INT_PTR OnColorStatic(HDC dc, HWND control) const;

    AccountSettings original;
    AccountSettings result;
    AccountSettings signIn;  // the sign-in values as the sign-in dialog left them
    bool isNew;
    bool showingProblem = false;
    int32_t shownSecurity = kSecurityNone;  // the choice the port field was last set for
};
