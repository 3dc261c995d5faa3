#include "setting/sign_in_start_win.h"

#include <windows.h>

#include <string>

#include "setting/notifier_launch_win.h"

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kValueName[] = L"Zantoli";

}  // namespace

bool StartsAtSignIn()
{
    const DWORD anyText = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    return RegGetValueW(HKEY_CURRENT_USER, kRunKey, kValueName, anyText, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool SetStartAtSignIn(bool start)
{
    HKEY run = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &run,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LSTATUS status = ERROR_SUCCESS;
    if (start) {
        // Quoted, as the path may hold blanks ("Program Files", a user name).
        const std::wstring path = NotifierPath();
        if (path.empty()) {
            RegCloseKey(run);
            return false;
        }
        const std::wstring command = L"\"" + path + L"\"";
        status = RegSetValueExW(run, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                DWORD((command.size() + 1) * sizeof(wchar_t)));
    } else {
        status = RegDeleteValueW(run, kValueName);
        if (status == ERROR_FILE_NOT_FOUND)
            status = ERROR_SUCCESS;
    }
    RegCloseKey(run);
    return status == ERROR_SUCCESS;
}
