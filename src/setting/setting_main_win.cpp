// Setting.exe: edits the notifier's accounts and options in its profile, then starts the
// notifier again (the notifier ends itself when it opens the settings; one that runs while the
// settings are saved is asked to exit first, so that the changes apply at once).
#include <windows.h>
#include <commctrl.h>

#include "setting/account_settings.h"
#include "setting/notifier_launch_win.h"
#include "setting/program_options.h"
#include "setting/setting_dialog_win.h"
#include "setting/sign_in_start_win.h"
#include "profile/profile.h"
#include "platform/registry_profile_store_win.h"

namespace {

const wchar_t kTitle[] = L"Zantoli Mail Settings";
// How long a running notifier may take to end its checks and exit.
constexpr DWORD kNotifierExitWaitMs = 10000;

// Writes everything and reads it back; false when the profile or the Run key does not hold
// what was written.
bool SaveAll(const AccountSettingsList& accounts, const ProgramOptions& options)
{
    bool saved = SaveAccountSettings(accounts);
    WriteKeepSeen(options.keepSeen);
    saved = ReadKeepSeen() == options.keepSeen && saved;
    return SetStartAtSignIn(options.startAtSignIn) && saved;
}

// The running notifier exits before the profile is written, as it writes its own options
// while it exits, and starts again afterwards.
int SaveAndRestart(const SettingDialog& dialog)
{
    HWND running = FindRunningNotifier();
    const bool stopped = !running || StopNotifier(running, kNotifierExitWaitMs);
    int exitCode = 0;
    if (!SaveAll(dialog.Accounts(), dialog.Options())) {
        MessageBoxW(nullptr, L"The settings could not be saved completely. Please check them and try again.",
                    kTitle, MB_OK | MB_ICONERROR);
        exitCode = 2;
    }
    if (!stopped)
        MessageBoxW(nullptr, L"Zantoli did not close. The changes apply when it starts again.", kTitle,
                    MB_OK | MB_ICONWARNING);
    else if (!StartNotifier())
        MessageBoxW(nullptr, L"Zantoli.exe could not be started.", kTitle, MB_OK | MB_ICONWARNING);
    return exitCode;
}

// After Cancel the notifier runs as it did before the settings opened. The one that opened
// them ends itself, and may not have finished yet: it is waited for (asked again to exit, which
// it is doing anyway) and started afresh.
void RestoreNotifier()
{
    HWND running = FindRunningNotifier();
    if (running && StartedByNotifier(running) && StopNotifier(running, kNotifierExitWaitMs))
        running = nullptr;
    if (!running && !StartNotifier())
        MessageBoxW(nullptr, L"Zantoli.exe could not be started.", kTitle, MB_OK | MB_ICONWARNING);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_LISTVIEW_CLASSES;
    InitCommonControlsEx(&controls);

    // The notifier's own profile: HKCU\Software\QUVA\Zantoli.
    RegistryProfileStore profile("QUVA", "Zantoli");
    SetProfileStore(&profile);
    ProgramOptions options;
    options.startAtSignIn = StartsAtSignIn();
    options.keepSeen = ReadKeepSeen();
    SettingDialog dialog(LoadAccountSettings(), options);
    int exitCode = 1;
    if (dialog.RunModal(nullptr) == IDOK)
        exitCode = SaveAndRestart(dialog);
    else
        RestoreNotifier();
    SetProfileStore(nullptr);
    return exitCode;
}
