// A stand-in for a program that the notifier starts (the settings program, a mail program):
// it appends one line to "started.txt" beside itself, "<show command>|<current directory>",
// and ends at once.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char path[MAX_PATH] = {}, directory[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    GetCurrentDirectoryA(MAX_PATH, directory);
    std::string record = path;
    record = record.substr(0, record.find_last_of("\\/") + 1) + "started.txt";
    STARTUPINFOA startup{};
    GetStartupInfoA(&startup);
    FILE* file = std::fopen(record.c_str(), "a");
    if (!file)
        return 1;
    std::fprintf(file, "%d|%s\n", (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1, directory);
    return std::fclose(file);
}
