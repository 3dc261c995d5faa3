#include "setting/dialog_win.h"

#include <vector>

#include "setting/dialog_template.h"
#include "platform/wide_text_win.h"

namespace {

// The font the user chose for message boxes, in the form a dialog template takes.
DialogFont MessageFont()
{
    DialogFont font;
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return font;
    const LOGFONTW& message = metrics.lfMessageFont;
    HDC screen = GetDC(nullptr);
    const int pixelsPerInch = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    const int height = message.lfHeight < 0 ? -message.lfHeight : message.lfHeight;
    if (height > 0)
        font.pointSize = uint16_t(MulDiv(height, 72, pixelsPerInch));
    font.weight = uint16_t(message.lfWeight);
    font.italic = message.lfItalic;
    font.charset = message.lfCharSet;
    for (const wchar_t* c = message.lfFaceName; *c; ++c)
        font.face += char16_t(*c);
    return font;
}

}  // namespace

INT_PTR Dialog::RunModal(HWND owner)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    const LPARAM self = reinterpret_cast<LPARAM>(this);
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(templateId), MAKEINTRESOURCEW(5));  // RT_DIALOG
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const auto* bytes = static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    const DialogFont font = MessageFont();
    std::vector<uint8_t> adjusted;
    if (bytes && !font.face.empty())
        adjusted = WithDialogFont(bytes, SizeofResource(instance, found), font);
    if (adjusted.empty())
        return DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), owner, DialogProc, self);
    return DialogBoxIndirectParamW(instance, reinterpret_cast<const DLGTEMPLATE*>(adjusted.data()), owner,
                                   DialogProc, self);
}

void Dialog::FocusItem(int id) const
{
    SendMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE);
}

std::string Dialog::ItemText(int id) const
{
    HWND item = Item(id);
    const int length = GetWindowTextLengthW(item);
    std::wstring text(size_t(length) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(item, &text[0], length + 1)));
    return Utf8FromWide(text);
}

void Dialog::SetItemText(int id, const std::string& text) const
{
    SetDlgItemTextW(window, id, WideFromUtf8(text).c_str());
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        dialog->window = window;
        return dialog->HandleMessage(message, wParam, lParam);
    }
    auto* dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!dialog)
        return FALSE;  // messages before WM_INITDIALOG (WM_SETFONT, WM_MEASUREITEM, ...)
    const INT_PTR result = dialog->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY)
        dialog->window = nullptr;
    return result;
}
