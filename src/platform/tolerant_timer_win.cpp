#include "platform/tolerant_timer_win.h"

#include <algorithm>

namespace {

using SetCoalescableTimerFn = UINT_PTR(WINAPI*)(HWND, UINT_PTR, UINT, TIMERPROC, ULONG);

SetCoalescableTimerFn LookUpSetCoalescableTimer()
{
    // User32 stays loaded for as long as any window exists.
    HMODULE user32 = GetModuleHandleA("User32.dll");
    return user32 ? reinterpret_cast<SetCoalescableTimerFn>(
                        reinterpret_cast<void*>(GetProcAddress(user32, "SetCoalescableTimer")))
                  : nullptr;
}

}  // namespace

bool SetTolerantTimer(HWND window, UINT_PTR id, DWORD elapseMs, ULONG toleranceMs)
{
    static const SetCoalescableTimerFn setCoalescable = LookUpSetCoalescableTimer();
    const UINT elapse = std::min<DWORD>(elapseMs, USER_TIMER_MAXIMUM);
    if (setCoalescable)
        return setCoalescable(window, id, elapse, nullptr, toleranceMs) != 0;
    return SetTimer(window, id, elapse, nullptr) != 0;
}
