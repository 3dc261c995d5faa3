// Setting.exe: edits the notifier's accounts in its profile, then starts the notifier again
// (the notifier ends itself when it opens the settings).
#include <windows.h>
#include <commctrl.h>

#include "setting/account_settings.h"
#include "setting/notifier_launch_win.h"
#include "setting/setting_dialog_win.h"
#include "settings/profile.h"
#include "platform/registry_profile_store_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_LISTVIEW_CLASSES;
    InitCommonControlsEx(&controls);

    // The notifier's own profile: HKCU\Software\QUVA\Zantoli.
    RegistryProfileStore profile("QUVA", "Zantoli");
    SetProfileStore(&profile);
    SettingDialog dialog(LoadAccountSettings());
    const INT_PTR result = dialog.RunModal(nullptr);
    int exitCode = result == IDOK ? 0 : 1;
    if (result == IDOK && !SaveAccountSettings(dialog.Accounts())) {
        MessageBoxW(nullptr, L"The settings could not be saved completely. Please check them and try again.",
                    L"Zantoli Mail Settings", MB_OK | MB_ICONERROR);
        exitCode = 2;
    }
    SetProfileStore(nullptr);

    // Cancel too: the notifier closed itself to open the settings and should come back.
    if (!StartNotifier())
        MessageBoxW(nullptr, L"Zantoli.exe could not be started.", L"Zantoli Mail Settings", MB_OK | MB_ICONWARNING);
    return exitCode;
}
