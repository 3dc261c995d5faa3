#pragma once
// The dialog for one account: protocol, login name, server, security, port, folder (IMAP),
// interval, password, envelope colour, and the optional trust file and fingerprint. OK checks
// the fields and keeps the dialog open, saying what is wrong, until they are acceptable. Test
// tries the fields as they stand, once, and offers to trust a certificate the check refused.
#include <windows.h>

#include "setting/account_form.h"
#include "setting/account_test_win.h"
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
    void FillProtocolList();
    void OnProtocolChanged();
    int32_t ChosenProtocol() const;
    // The port and the security labels follow the protocol and security now chosen.
    void FollowChoices();
    void OnBrowseTrustFile();
    void OnTest();
    void OnTestDone();
    void OfferFolders(const std::vector<std::string>& folders);
    void ShowCertificate(const AccountTestReport* report);
    void OnTrustCertificate();
    void EndWith(int result);
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
    int32_t shownProtocol = 0;              // likewise
    AccountTestRunner tester;
    std::string refusedFingerprint;  // of the certificate the last test refused; or empty
};
