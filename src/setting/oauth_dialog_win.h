#pragma once
// The sign-in values of one account: OAuth 2.0 on or off, the provider, the client, the
// custom endpoints, and the "Sign in..." button that gets the refresh token.
#include <windows.h>

#include "setting/dialog_win.h"
#include "setting/oauth_form.h"

class OAuthDialog : public Dialog {
public:
    // settings: the account as edited so far (its login name and trust file are used by the
    // sign-in).
    explicit OAuthDialog(const AccountSettings& settings);

    // The settings with the sign-in values as edited; meaningful after RunModal returned IDOK.
    const AccountSettings& Result() const { return result; }

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnInitDialog();
    void EnableFields();
    OAuthForm ReadForm() const;
    // Checks the form into result; false, saying why, when it is not acceptable.
    bool TakeForm();
    void OnSignIn();
    void ShowState();

    AccountSettings result;
};
