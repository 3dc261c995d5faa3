#pragma once
// Timers that let the system wake for them together with others: SetCoalescableTimer where the
// system has it (looked up at run time), SetTimer elsewhere.
#include <windows.h>

// Sets or resets the window's timer id to fire every elapseMs; the system may hold each firing
// back by up to toleranceMs to share the wake-up with other timers. elapseMs is held to the
// longest the system accepts. False when the timer could not be set.
bool SetTolerantTimer(HWND window, UINT_PTR id, DWORD elapseMs, ULONG toleranceMs);
