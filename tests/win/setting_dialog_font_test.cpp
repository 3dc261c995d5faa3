#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "setting/dialog_win.h"

namespace {

constexpr int kFontProbeDialog = 201;  // setting_test.rc
constexpr int kFontProbeText = 2001;

std::wstring FaceOf(HWND window)
{
    auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    LOGFONTW described{};
    if (!font || !GetObjectW(font, sizeof described, &described))
        return L"<none>";
    return described.lfFaceName;
}

// Notes the fonts of the dialog and of its text as it opens, then closes at once.
class FontProbe : public Dialog {
public:
    FontProbe() : Dialog(kFontProbeDialog) {}
    std::wstring dialogFace;
    std::wstring textFace;

protected:
    INT_PTR HandleMessage(UINT message, WPARAM, LPARAM) override
    {
        if (message != WM_INITDIALOG)
            return FALSE;
        dialogFace = FaceOf(Handle());
        textFace = FaceOf(Item(kFontProbeText));
        EndDialog(Handle(), IDOK);
        return TRUE;
    }
};

TEST(SettingDialogFont, DialogsOpenInTheSystemMessageFontWhateverTheirTemplateNames)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    const std::wstring messageFace = metrics.lfMessageFont.lfFaceName;
    ASSERT_NE(messageFace, L"Courier New") << "the probe's own font must differ for this test to mean anything";

    FontProbe probe;
    EXPECT_EQ(probe.RunModal(nullptr), IDOK);
    EXPECT_EQ(probe.dialogFace, messageFace);
    EXPECT_EQ(probe.textFace, messageFace);
}

}  // namespace
