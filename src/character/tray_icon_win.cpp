// The tray icon of the character window: added at creation, switched to the envelope while a
// check of a coloured account runs, its tooltip telling of new mail and of a failing account,
// added again when the shell restarts, removed at the end.
#include <windows.h>
#include <shellapi.h>

#include <mutex>
#include <string>

#include "character/character_wnd_win.h"
#include "character/tray_tooltip.h"
#include "mail/scheduler.h"
#include "platform/debug_channel.h"

namespace {

// The first-version record: every shell since the first tray understands it, and it is all
// this icon needs (icon, callback message and a short tooltip).
NOTIFYICONDATAA TrayRecord(HWND window, UINT id)
{
    NOTIFYICONDATAA record{};
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = window;
    record.uID = id;
    return record;
}

// The 64-byte buffer of the first version holds 63 characters and the terminator.
void CopyTooltip(NOTIFYICONDATAA& record, const char* tooltip)
{
    lstrcpynA(record.szTip, tooltip ? tooltip : "", 64);
}

// The icon the tray should show: the envelope while a check of an account with a colour runs
// (an account that idles on its open connection is not being checked). At most one check
// runs at a time, so the first running account decides.
HICON WantedTrayIcon(const AccountList& accounts, HICON normal, HICON envelope)
{
    for (const auto& account : accounts) {
        if (!account || !CheckRunning(*account))
            continue;
        return account->Color != -1 && envelope ? envelope : normal;
    }
    return normal;
}

// The tooltip the tray should show: the new mail of every account, and the first account that is
// never checked or whose last check failed, and why.
std::string WantedTooltip(const AccountList& accounts)
{
    size_t newCount = 0;
    const MailAccount* failing = nullptr;
    std::string reason;
    for (const auto& account : accounts) {
        const char* never = WhyNeverChecked(*account);
        std::lock_guard<std::mutex> guard(account->uidLock);
        newCount += account->newUids.size();
        if (!failing && (never || !account->lastFailure.empty())) {
            failing = account.get();
            reason = never ? never : account->lastFailure;
        }
    }
    return TrayTooltipText(accounts.size(), newCount, failing ? failing->Address : std::string(), reason);
}

}  // namespace

bool AddTrayIcon(HWND window, UINT id, HICON icon, const char* tooltip)
{
    NOTIFYICONDATAA record = TrayRecord(window, id);
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = WM_TRAYNOTIFY;
    record.hIcon = icon;
    CopyTooltip(record, tooltip);
    return Shell_NotifyIconA(NIM_ADD, &record) != FALSE;
}

void SetTrayIcon(HWND window, UINT id, HICON icon, const char* tooltip)
{
    // Only the icon changes; the tooltip is copied for completeness but not flagged.
    NOTIFYICONDATAA record = TrayRecord(window, id);
    record.uFlags = NIF_ICON;
    record.hIcon = icon;
    CopyTooltip(record, tooltip);
    Shell_NotifyIconA(NIM_MODIFY, &record);
}

void SetTrayTooltip(HWND window, UINT id, const char* tooltip)
{
    NOTIFYICONDATAA record = TrayRecord(window, id);
    record.uFlags = NIF_TIP;
    CopyTooltip(record, tooltip);
    Shell_NotifyIconA(NIM_MODIFY, &record);
}

bool RemoveTrayIcon(HWND window, UINT id)
{
    NOTIFYICONDATAA record = TrayRecord(window, id);
    DebugWrite("tray icon: removed\n");
    return Shell_NotifyIconA(NIM_DELETE, &record) != FALSE;
}

UINT TaskbarCreatedMessage()
{
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

void CharacterWnd::RefreshTrayIcon()
{
    if (!Handle())
        return;
    // Called at every timer tick: the shell hears only of real changes, each a cross-process
    // message that a busy shell would make the user-interface thread wait for.
    const HICON wanted = WantedTrayIcon(scheduler.Accounts(), mainIcon, art.envelopeIcon);
    if (wanted != trayIcon) {
        SetTrayIcon(Handle(), kTrayIconId, wanted, nullptr);
        trayIcon = wanted;
        DebugWrite(wanted == mainIcon ? "tray icon: normal\n" : "tray icon: envelope\n");
    }
}

void CharacterWnd::RefreshTrayTooltip()
{
    if (!Handle())
        return;
    const std::string tooltip = WantedTooltip(scheduler.Accounts());
    if (tooltip != trayTooltip) {
        SetTrayTooltip(Handle(), kTrayIconId, tooltip.c_str());
        trayTooltip = tooltip;
        DebugWrite("tray tooltip: " + tooltip + "\n");
    }
}

void CharacterWnd::OnTaskbarCreated()
{
    // A new shell knows none of the old icons: add ours again, as it shows now.
    AddTrayIcon(Handle(), kTrayIconId, trayIcon ? trayIcon : mainIcon, trayTooltip.c_str());
}
