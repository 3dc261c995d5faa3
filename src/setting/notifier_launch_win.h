#pragma once
// The notifier as the settings program meets it: found running, asked to exit, started again.
#include <windows.h>

#include <string>

// Zantoli.exe in this program's own folder; empty when that folder cannot be told.
std::wstring NotifierPath();

// The character window of a notifier running on this desktop, or null.
HWND FindRunningNotifier();

// Whether the notifier that owns `window` started this program: it ends itself then, and may
// still be ending.
bool StartedByNotifier(HWND window);

// Asks the notifier that owns `window` to exit, as its own exit command does, and waits for
// its process to end, at most waitMs. True once it has ended.
bool StopNotifier(HWND window, DWORD waitMs);

// Starts Zantoli.exe from this program's own folder. Its absence is not a failure (the
// settings program may be run on its own); false only when it is there and will not start.
bool StartNotifier();
