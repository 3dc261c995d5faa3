// Stands in for Zantoli.exe beside a copy of Setting.exe: it records that it was started, and
// from which folder, in "started.txt" next to itself, and ends at once.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    std::wstring marker = path;
    marker = marker.substr(0, marker.find_last_of(L'\\') + 1) + L"started.txt";

    wchar_t folder[MAX_PATH] = {};
    const DWORD folderLength = GetCurrentDirectoryW(MAX_PATH, folder);
    HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(file, folder, folderLength * sizeof(wchar_t), &written, nullptr);
    CloseHandle(file);
    return 0;
}
