// What the user does to the character window: its commands (menu items, the tray double-click
// and the checks' notifications), the popup menu, the clicks, and acknowledging new mail.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <string>

#include "character/character_wnd_win.h"
#include "mail/scheduler.h"
#include "mail/seen_keeping.h"
#include "mail/uid_reconcile.h"
#include "resource.h"
#include "profile/profile.h"
#include "platform/debug_channel.h"
#include "platform/wide_text_win.h"

namespace {

// The settings program, found by the program search: it sits beside this one.
constexpr char kSettingsProgram[] = "Setting.exe";

// The whole wParam is compared: a control's notification or an accelerator carries a non-zero
// high word and is none of our commands.
bool IsCommand(WPARAM wParam, int command)
{
    return wParam == static_cast<WPARAM>(command);
}

// Where each stacking order puts the window. "Top" must leave the topmost band, or it would
// change nothing for a window that starts topmost.
HWND InsertAfterFor(int zOrder)
{
    switch (zOrder) {
    case ID_ZORDER_TOPMOST:
        return HWND_TOPMOST;
    case ID_ZORDER_TOP:
        return HWND_NOTOPMOST;
    default:
        return HWND_BOTTOM;
    }
}

void ApplyZOrder(HWND window, int zOrder)
{
    const UINT flags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;
    SetWindowPos(window, InsertAfterFor(zOrder), 0, 0, 0, 0, flags);
    // Leaving the topmost band does not lift a window that sat at the bottom: raise it too.
    if (zOrder == ID_ZORDER_TOP)
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, flags);
}

// Whether the path fits the shell's path buffers. A longer one is refused before it reaches
// them: their path search does not survive it.
bool FitsPathBuffer(const std::wstring& path)
{
    return path.size() < MAX_PATH;
}

// Starts the user's mail program in the Windows directory, as the shell's "open" would.
// Nothing happens without a path or with one too long, and a failure shows nothing.
void LaunchMailer(const std::string& path)
{
    if (path.empty())
        return;
    const std::wstring file = WideFromUtf8(path);
    if (!FitsPathBuffer(file)) {
        DebugWrite("Mailer path too long: not started\n");
        return;
    }
    wchar_t windowsDirectory[MAX_PATH] = {};
    GetWindowsDirectoryW(windowsDirectory, MAX_PATH);
    ShellExecuteW(GetDesktopWindow(), L"open", file.c_str(), L"", windowsDirectory, SW_SHOWNORMAL);
}

// The open-file dialog, starting at the current path (or at no name when that path does not
// fit the dialog's buffer); true with the full path when the user confirms a file.
bool AskForMailer(const std::string& current, std::string& chosen)
{
    wchar_t file[MAX_PATH] = {};
    const std::wstring start = WideFromUtf8(current);
    if (FitsPathBuffer(start))
        lstrcpynW(file, start.c_str(), MAX_PATH);

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFilter = L"Executable Files (*.exe)\0*.exe\0All Files (*.*)\0*.*\0";
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;  // a longer choice is refused by the dialog itself
    dialog.lpstrDefExt = L"exe";
    // The dialog must not leave this long-running program inside the chosen folder, which
    // could then be neither removed nor renamed while it runs.
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog))
        return false;
    chosen = Utf8FromWide(file);
    return true;
}

class LoadedMenu {
public:
    explicit LoadedMenu(UINT id) : menu(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id))) {}
    LoadedMenu(const LoadedMenu&) = delete;
    LoadedMenu& operator=(const LoadedMenu&) = delete;
    ~LoadedMenu()
    {
        if (menu)
            DestroyMenu(menu);
    }
    HMENU Get() const { return menu; }

private:
    HMENU menu;
};

}  // namespace

BOOL CharacterWnd::OnCommand(WPARAM wParam, LPARAM)
{
    // The checks say that the tray icon may have to change. At a check's end the envelopes
    // follow at once (a hidden character has no animation tick to bring them) and the
    // scheduler's timer is set to the next due check.
    if (IsCommand(wParam, ID_CHECK_STARTED) || IsCommand(wParam, ID_CHECK_FINISHED)) {
        RefreshTrayIcon();
        RefreshTrayTooltip();
        if (IsCommand(wParam, ID_CHECK_FINISHED)) {
            RefreshEnvelopes();
            ScheduleNextCheck();
        }
        return FALSE;
    }

    BOOL handled = TRUE;
    if (IsCommand(wParam, ID_ZORDER_TOPMOST) || IsCommand(wParam, ID_ZORDER_TOP) ||
        IsCommand(wParam, ID_ZORDER_BOTTOM)) {
        zOrderMode = static_cast<int32_t>(wParam);
        ApplyZOrder(Handle(), zOrderMode);
    } else if (IsCommand(wParam, ID_MAIL_SETTINGS)) {
        // The settings program edits the profile this one would overwrite at exit, so this one
        // ends whether or not the other started.
        WinExec(kSettingsProgram, SW_SHOW);
        PostMessageW(Handle(), WM_COMMAND, ID_APP_EXIT, 0);
    } else if (IsCommand(wParam, ID_TOGGLE_SHOW_ONLY_MAIL)) {
        showOnlyMailExist = !showOnlyMailExist;
        UpdateCharacterVisibility();
    } else if (IsCommand(wParam, ID_LAUNCH_MAILER)) {
        LaunchMailer(mailerPath);
    } else if (IsCommand(wParam, ID_CHOOSE_MAILER)) {
        std::string chosen;
        if (AskForMailer(mailerPath, chosen)) {
            mailerPath = chosen;
            WriteProfileText("GLOBAL", "MAILER", mailerPath);
        }
    } else if (IsCommand(wParam, ID_APP_EXIT)) {
        Destroy();
    } else {
        handled = FALSE;  // IDCANCEL and everything else: nothing of its own
    }
    RefreshEnvelopes();
    return handled;
}

void CharacterWnd::MarkAllSeen()
{
    // Written at once: the acknowledgement is what the user expects to find after a restart.
    for (const auto& account : scheduler.Accounts()) {
        if (account && MarkSeen(*account))
            KeepSeenUids(*account);
    }
    RefreshEnvelopes();
}

void CharacterWnd::ShowPopupMenu()
{
    LoadedMenu menu(IDR_POPUP_MENU);
    if (!menu.Get())
        return;
    POINT cursor{};
    GetCursorPos(&cursor);
    // A menu closes on a click elsewhere only while its owner is the foreground window; the
    // null message afterwards lets the task switch that follows the menu take effect.
    SetForegroundWindow(Handle());
    TrackPopupMenu(GetSubMenu(menu.Get(), 0), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, cursor.x, cursor.y, 0,
                   Handle(), nullptr);
    PostMessageW(Handle(), WM_NULL, 0, 0);
}

LRESULT CharacterWnd::OnTrayNotify(WPARAM wParam, LPARAM lParam)
{
    switch (lParam) {
    case WM_LBUTTONDBLCLK:
        PostMessageW(Handle(), WM_COMMAND, ID_LAUNCH_MAILER, 0);
        break;
    case WM_RBUTTONDOWN:
        // The envelopes go before the menu opens.
        MarkAllSeen();
        if (wParam == kTrayIconId)
            ShowPopupMenu();
        break;
    default:
        break;
    }
    return 1;
}

LRESULT CharacterWnd::OnInitMenuPopup(WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = Default(WM_INITMENUPOPUP, wParam, lParam);
    if (HIWORD(lParam))
        return result;  // the system menu is the platform's own
    // Marks the current stacking order and the show-only-with-mail option, in any menu that
    // offers them; every other item is unchecked.
    HMENU popup = reinterpret_cast<HMENU>(wParam);
    const int count = GetMenuItemCount(popup);
    for (int position = 0; position < count; ++position) {
        const UINT id = GetMenuItemID(popup, position);
        const bool checked = id == static_cast<UINT>(zOrderMode) ||
                             (id == static_cast<UINT>(ID_TOGGLE_SHOW_ONLY_MAIL) && showOnlyMailExist);
        CheckMenuItem(popup, position, MF_BYPOSITION | (checked ? MF_CHECKED : MF_UNCHECKED));
    }
    return result;
}

LRESULT CharacterWnd::OnLButtonDown(WPARAM wParam, LPARAM lParam)
{
    MarkAllSeen();
    return Default(WM_LBUTTONDOWN, wParam, lParam);
}

LRESULT CharacterWnd::OnRButtonDown(WPARAM wParam, LPARAM lParam)
{
    Default(WM_RBUTTONDOWN, wParam, lParam);
    // The mail is acknowledged once the menu has closed, whatever was chosen.
    ShowPopupMenu();
    MarkAllSeen();
    return 0;
}

LRESULT CharacterWnd::OnSysCommand(WPARAM wParam, LPARAM lParam)
{
    if ((wParam & 0xFFF0) == ID_ABOUT_SYSTEM_COMMAND)
        return 0;  // the About item has nothing to show
    return Default(WM_SYSCOMMAND, wParam, lParam);
}

LRESULT CharacterWnd::OnQueryDragIcon(WPARAM, LPARAM)
{
    return reinterpret_cast<LRESULT>(mainIcon);
}

LRESULT CharacterWnd::OnEraseBkgnd(WPARAM, LPARAM)
{
    return TRUE;  // painting covers the whole window from an off-screen buffer
}
