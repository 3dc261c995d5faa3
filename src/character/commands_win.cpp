// What the user does to the character window: its commands (menu items, the tray double-click
// and the checks' notifications), the popup menu, the clicks, and acknowledging new mail.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

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

// Starts a mail program in the Windows directory, as the shell's "open" would. Nothing
// happens with a path too long, and a failure shows nothing.
void LaunchMailer(const std::wstring& file)
{
    if (!FitsPathBuffer(file)) {
        DebugWrite("Mailer path too long: not started\n");
        return;
    }
    wchar_t windowsDirectory[MAX_PATH] = {};
    GetWindowsDirectoryW(windowsDirectory, MAX_PATH);
    ShellExecuteW(GetDesktopWindow(), L"open", file.c_str(), L"", windowsDirectory, SW_SHOWNORMAL);
}

// The program the system opens mailto: links with: the user's default mail program. Empty when
// none is registered.
std::wstring DefaultMailProgram()
{
    wchar_t path[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    if (AssocQueryStringW(ASSOCF_NOTRUNCATE, ASSOCSTR_EXECUTABLE, L"mailto", L"open", path, &length) != S_OK)
        return std::wstring();
    return path;
}

// The open-file dialog shows where the user looks: in the middle of the monitor with the
// cursor, which has just been at the tray or on the character.
UINT_PTR CALLBACK CentreOpenDialog(HWND hook, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_NOTIFY || reinterpret_cast<const NMHDR*>(lParam)->code != CDN_INITDONE)
        return 0;
    const HWND dialog = GetParent(hook);  // the hook's window is a child of the real dialog
    POINT cursor{};
    GetCursorPos(&cursor);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT rect{};
    if (!GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor) || !GetWindowRect(dialog, &rect))
        return 0;
    const RECT& work = monitor.rcWork;
    const int x = work.left + ((work.right - work.left) - (rect.right - rect.left)) / 2;
    const int y = work.top + ((work.bottom - work.top) - (rect.bottom - rect.top)) / 2;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}

// The open-file dialog, starting at the current path (or, without one or when it does not fit
// the dialog's buffer, in the program files folder, where mail programs are installed); true
// with the full path when the user confirms a file.
bool AskForMailer(const std::string& current, std::string& chosen)
{
    wchar_t file[MAX_PATH] = {};
    const std::wstring start = WideFromUtf8(current);
    if (FitsPathBuffer(start))
        lstrcpynW(file, start.c_str(), MAX_PATH);
    wchar_t programFiles[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles);

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFilter = L"Executable Files (*.exe)\0*.exe\0All Files (*.*)\0*.*\0";
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;  // a longer choice is refused by the dialog itself
    dialog.lpstrDefExt = L"exe";
    dialog.lpstrInitialDir = file[0] ? nullptr : programFiles;
    dialog.lpfnHook = CentreOpenDialog;
    // The dialog must not leave this long-running program inside the chosen folder, which
    // could then be neither removed nor renamed while it runs.
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR |
                   OFN_ENABLEHOOK;
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
        LaunchChosenOrDefaultMailer();
    } else if (IsCommand(wParam, ID_CHOOSE_MAILER)) {
        ChooseMailer();
    } else if (IsCommand(wParam, ID_APP_EXIT)) {
        Destroy();
    } else {
        handled = FALSE;  // IDCANCEL and everything else: nothing of its own
    }
    RefreshEnvelopes();
    return handled;
}

bool CharacterWnd::ChooseMailer()
{
    // The dialog's own message loop still delivers the tray's double-clicks: one dialog at a time.
    if (askingForMailer)
        return false;
    std::string chosen;
    askingForMailer = true;
    const bool confirmed = AskForMailer(mailerPath, chosen);
    askingForMailer = false;
    if (!confirmed)
        return false;
    mailerPath = chosen;
    WriteProfileText("GLOBAL", "MAILER", mailerPath);
    return true;
}

void CharacterWnd::LaunchChosenOrDefaultMailer()
{
    // Without a program of the user's own, the system's mail program; only a system without
    // one asks, and starts what the user chose.
    if (!mailerPath.empty()) {
        LaunchMailer(WideFromUtf8(mailerPath));
        return;
    }
    const std::wstring standard = DefaultMailProgram();
    if (!standard.empty())
        LaunchMailer(standard);
    else if (ChooseMailer())
        LaunchMailer(WideFromUtf8(mailerPath));
}

void CharacterWnd::MarkAllSeen()
{
    // Written at once: the acknowledgement is what the user expects to find after a restart.
    for (const auto& account : scheduler.Accounts()) {
        if (account && MarkSeen(*account))
            KeepSeenUids(*account);
    }
    RefreshEnvelopes();
    RefreshTrayTooltip();
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
