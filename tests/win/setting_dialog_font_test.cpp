// The account dialog inside this process, from the program's own resources.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/wide_text_win.h"
#include "setting/account_dialog_win.h"
#include "setting/setting_resource.h"

namespace {

// Notes the dialog's font and each complaint that would not fit the problem line, then closes.
class AccountDialogProbe : public AccountDialog {
public:
    AccountDialogProbe() : AccountDialog(NewAccountSettings(), true) {}
    LOGFONTW font{};
    std::string cutOff;

protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        const INT_PTR result = AccountDialog::HandleMessage(message, wParam, lParam);
        if (message != WM_INITDIALOG)
            return result;
        HWND problem = Item(IDC_PROBLEM);
        auto shown = reinterpret_cast<HFONT>(SendMessageW(Handle(), WM_GETFONT, 0, 0));
        GetObjectW(shown, sizeof font, &font);
        HDC dc = GetDC(problem);
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(problem, WM_GETFONT, 0, 0)));
        RECT line{};
        GetClientRect(problem, &line);
        for (std::string AccountForm::*field : {&AccountForm::login, &AccountForm::port, &AccountForm::interval,
                                                &AccountForm::password, &AccountForm::fingerprint}) {
            AccountForm bad{"alice", "pop.example.com", "995", "10", "", 7, kSecurityTls, "", ""};
            bad.*field = std::string(505, 'x');
            const std::string complaint = CheckForm(bad).message;
            RECT needed{0, 0, line.right, 0};
            DrawTextW(dc, WideFromUtf8(complaint).c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
            if (needed.bottom > line.bottom || needed.right > line.right)
                cutOff += complaint + "\n";
        }
        ReleaseDC(problem, dc);
        EndDialog(Handle(), IDOK);
        return result;
    }
};

TEST(SettingAccountDialog, OpensInTheSystemMessageFontAndEachComplaintFitsTheProblemLine)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    ASSERT_NE(std::wstring(metrics.lfMessageFont.lfFaceName), L"Segoe UI") << "the template's font must differ";
    AccountDialogProbe probe;
    ASSERT_EQ(probe.RunModal(nullptr), IDOK);
    EXPECT_EQ(std::wstring(probe.font.lfFaceName), metrics.lfMessageFont.lfFaceName);
    EXPECT_EQ(probe.cutOff, "");
}

}  // namespace
