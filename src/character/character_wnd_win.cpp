#include "character/character_wnd_win.h"

#include <cstdlib>
#include <optional>
#include <string>

#include "character/animation_catalog.h"
#include "mail/scheduler.h"
#include "mail/uid_reconcile.h"
#include "platform/debug_channel.h"
#include "platform/gdi_win.h"
#include "platform/tick_count.h"
#include "platform/tolerant_timer_win.h"
#include "profile/profile.h"

namespace {

constexpr UINT kMainIconId = 128;
constexpr UINT kAboutItemStringId = 101;
constexpr char kGlobalSection[] = "GLOBAL";

// When a completed animation cycle last had its chance to switch animation.
uint32_t lastAnimationSwitchTick = 0;

int Random()
{
    return std::rand();
}

bool AnyNewMail(const AccountList& accounts)
{
    for (const auto& account : accounts)
        if (account && NewUidCount(*account) > 0)
            return true;
    return false;
}

// Each account's colour and new-mail count, in account order. The count is read under the
// account's lock: a check may be changing the set right now.
std::vector<AccountMailCount> CountNewMail(const AccountList& accounts)
{
    std::vector<AccountMailCount> counts;
    counts.reserve(accounts.size());
    for (const auto& account : accounts)
        counts.push_back({account->Color, NewUidCount(*account)});
    return counts;
}

}  // namespace

CharacterWnd::CharacterWnd(Scheduler& scheduler, Artwork& art, const LayeredWindows& layered,
                           const std::string& windowClass)
    : scheduler(scheduler), art(art), layered(layered), trail(art.envelope, layered, windowClass, kCharacterCaption)
{
    std::srand(TickCount());
    // With no animation at all this is 0 rather than a division by zero.
    animation.animationIndex = animationCatalog.AnimationFromRandom(Random());
}

CharacterWnd::~CharacterWnd() = default;

LRESULT CharacterWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(wParam, lParam);
    case WM_TIMER:
        OnTimer(wParam, lParam);
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_MOVE:
        OnMove(wParam, lParam);
        return 0;
    case WM_SHOWWINDOW:
        OnShowWindow(wParam, lParam);
        return 0;
    case WM_DESTROY:
        OnDestroy(wParam, lParam);
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(wParam, lParam);
        return 0;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMRESUMEAUTOMATIC)
            OnResume();
        return TRUE;
    case WM_TIMECHANGE:
        OnTimeChange();
        return 0;
    case WM_COMMAND:
        return OnCommand(wParam, lParam) ? 0 : Default(message, wParam, lParam);
    case WM_TRAYNOTIFY:
        return OnTrayNotify(wParam, lParam);
    case WM_INITMENUPOPUP:
        return OnInitMenuPopup(wParam, lParam);
    case WM_MOUSEACTIVATE:
        // A click acknowledges the mail; it must not take the focus from the user's window.
        return MA_NOACTIVATE;
    case WM_LBUTTONDOWN:
        return OnLButtonDown(wParam, lParam);
    case WM_RBUTTONDOWN:
        return OnRButtonDown(wParam, lParam);
    case WM_SYSCOMMAND:
        return OnSysCommand(wParam, lParam);
    case WM_QUERYDRAGICON:
        return OnQueryDragIcon(wParam, lParam);
    case WM_ERASEBKGND:
        return OnEraseBkgnd(wParam, lParam);
    default:
        if (message == TaskbarCreatedMessage()) {
            OnTaskbarCreated();
            return 0;
        }
        return Default(message, wParam, lParam);
    }
}

LRESULT CharacterWnd::OnCreate(WPARAM wParam, LPARAM lParam)
{
    // Every start begins topmost and showing only with mail, whatever the profile says.
    zOrderMode = ID_ZORDER_TOPMOST;
    showOnlyMailExist = 1;
    mailerPath = ReadProfileText(kGlobalSection, "MAILER");
    if (Default(WM_CREATE, wParam, lParam) == -1)
        return -1;

    AppendAboutItem();
    LoadMainIcon();
    ScaleArtwork(art, ArtScaleForWindow(Handle()));
    ApplyWindowShape(Handle(), CurrentFrameKeyRegion(art, animation.frameIndex));
    AddTrayIcon(Handle(), kTrayIconId, mainIcon, kTrayTooltip);
    ShowWindow(Handle(), SW_HIDE);

    // A tool window: no taskbar button.
    const LONG exStyle = GetWindowLongA(Handle(), GWL_EXSTYLE);
    SetWindowLongA(Handle(), GWL_EXSTYLE, (exStyle & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW);
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);

    alphaPhase = Random() % 512;
    layered.MakeLayered(Handle());  // invisible until the first pulse
    PlaceInBottomRightCorner();
    return 0;
}

void CharacterWnd::AppendAboutItem()
{
    HMENU systemMenu = GetSystemMenu(Handle(), FALSE);
    if (!systemMenu)
        return;
    wchar_t text[256] = {};
    if (LoadStringW(GetModuleHandleW(nullptr), kAboutItemStringId, text, 256) <= 0)
        return;
    AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(systemMenu, MF_STRING, ID_ABOUT_SYSTEM_COMMAND, text);
}

void CharacterWnd::LoadMainIcon()
{
    mainIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kMainIconId));
    SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(mainIcon));
    SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(mainIcon));
}

void CharacterWnd::StartCharacterTimers()
{
    if (characterTimersOn)
        return;
    characterTimersOn = true;
    DebugWrite("timer messages while hidden: " + std::to_string(timerMessages) + "\n");
    // Nothing pulsed while hidden: the character appears as bright as the pulse is now.
    layered.Pulse(Handle(), alphaPhase);
    SetTolerantTimer(Handle(), kFollowTimerId, 100, kFollowTolerance);
    SetTolerantTimer(Handle(), kAnimationTimerId, 500, kAnimationTolerance);
}

void CharacterWnd::StopCharacterTimers()
{
    if (!characterTimersOn)
        return;
    characterTimersOn = false;
    KillTimer(Handle(), kFollowTimerId);
    KillTimer(Handle(), kAnimationTimerId);
    timerMessages = 0;
}

void CharacterWnd::ScheduleNextCheck()
{
    if (!Handle())
        return;
    const std::optional<uint32_t> wait = scheduler.NextCheckWait();
    if (wait)
        SetTolerantTimer(Handle(), kSchedulerTimerId, *wait, kSchedulerTolerance);
    else
        KillTimer(Handle(), kSchedulerTimerId);
}

void CharacterWnd::OnResume()
{
    // Connections held across a sleep are most likely dead, and mail came in meanwhile. The
    // automatic resume comes on every wake, with or without a user at the keyboard.
    scheduler.ResumeChecks();
    ScheduleNextCheck();
}

void CharacterWnd::OnTimeChange()
{
    ScheduleNextCheck();
}

void CharacterWnd::PlaceInBottomRightCorner()
{
    RECT desktop{};
    GetClientRect(GetDesktopWindow(), &desktop);
    const SIZE size = CurrentFrameSize(art, animation.frameIndex);
    SetWindowPos(Handle(), HWND_TOPMOST, desktop.right - size.cx - desktop.left, desktop.bottom - desktop.top - size.cy,
                 size.cx, size.cy, SWP_NOACTIVATE);
}

void CharacterWnd::OnTimer(WPARAM id, LPARAM lParam)
{
    ++timerMessages;
    switch (id) {
    case kSchedulerTimerId:
        scheduler.RunScheduler();
        ScheduleNextCheck();
        break;
    case kAnimationTimerId:
        AdvanceAnimation();
        layered.Pulse(Handle(), alphaPhase);
        RefreshEnvelopes();
        break;
    case kFollowTimerId:
        FollowCursor();
        break;
    default:
        break;
    }
    // Whatever the timer: accounts whose check has ended since exit began are freed. The tray
    // icon follows the checks' own notifications.
    scheduler.ReapRetiredAccounts();
    Default(WM_TIMER, id, lParam);
}

void CharacterWnd::AdvanceAnimation()
{
    // Only the frame changes here; the next FollowCursor shows it with its shape and size.
    ::AdvanceAnimation(animation, lastAnimationSwitchTick, animationCatalog, TickCount(), Random);
}

void CharacterWnd::FollowCursor(bool wholeGlide)
{
    POINT cursor{};
    GetCursorPos(&cursor);
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    const MotionPoint target = FollowTarget({cursor.x, cursor.y}, AnyNewMail(scheduler.Accounts()),
                                            MotionRect{desktop.left, desktop.top, desktop.right, desktop.bottom},
                                            art.scale);
    RECT window{};
    GetWindowRect(Handle(), &window);
    const MotionPoint here{window.left, window.top};
    const MotionPoint corner = wholeGlide ? GlideEnd(target, here) : EaseToward(target, here);

    // Reshaping, repainting and moving each cost a round trip to the window system ten times a
    // second, so a tick does only what changed: a new frame, or a new place or size.
    if (animation.frameIndex != shapedFrame) {
        ApplyWindowShape(Handle(), CurrentFrameKeyRegion(art, animation.frameIndex));
        InvalidateRect(Handle(), nullptr, FALSE);
        shapedFrame = animation.frameIndex;
    }
    const SIZE size = CurrentFrameSize(art, animation.frameIndex);
    if (corner.x != window.left || corner.y != window.top || size.cx != window.right - window.left ||
        size.cy != window.bottom - window.top)
        SetWindowPos(Handle(), nullptr, corner.x, corner.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CharacterWnd::OnPaint()
{
    PaintDC paint(Handle());
    if (IsIconic(Handle()))
        return;
    RECT client{};
    GetClientRect(Handle(), &client);
    // The frame is composed off screen and reaches it in one transfer: no flicker.
    MemoryDC memory(paint.Get());
    Bitmap buffer(CreateCompatibleBitmap(paint.Get(), client.right, client.bottom));
    if (!memory.Get() || !buffer)
        return;
    SelectGuard select(memory.Get(), buffer.Get());
    DrawCurrentFrame(art, Handle(), memory.Get(), animation.frameIndex);
    BitBlt(paint.Get(), client.left, client.top, client.right - client.left, client.bottom - client.top,
           memory.Get(), client.left, client.top, SRCCOPY);
}

void CharacterWnd::OnMove(WPARAM wParam, LPARAM lParam)
{
    Default(WM_MOVE, wParam, lParam);
    LayoutEnvelopes();  // the trail follows the character
}

void CharacterWnd::OnShowWindow(WPARAM wParam, LPARAM lParam)
{
    Default(WM_SHOWWINDOW, wParam, lParam);
    trail.Show(wParam != 0);
    if (wParam)
        StartCharacterTimers();
    else
        StopCharacterTimers();
}

void CharacterWnd::OnDestroy(WPARAM wParam, LPARAM lParam)
{
    // Returns once every check has ended: no worker outlives its account or this window.
    scheduler.StopAllChecks();
    WriteProfileNumber(kGlobalSection, "WINDOW_POS", zOrderMode);
    WriteProfileNumber(kGlobalSection, "ShowOnlyMailExist", showOnlyMailExist);
    trail.Clear(Anchor());
    Default(WM_DESTROY, wParam, lParam);
    RemoveTrayIcon(Handle(), kTrayIconId);
}

void CharacterWnd::OnDpiChanged(WPARAM wParam, LPARAM lParam)
{
    // The character crossed to a monitor of another density, or the user changed it: the art
    // is drawn anew at that monitor's scale, pixels repeated, never smoothed.
    if (!ScaleArtwork(art, ArtScaleForDpi(LOWORD(wParam))))
        return;
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    const SIZE size = CurrentFrameSize(art, animation.frameIndex);
    ApplyWindowShape(Handle(), CurrentFrameKeyRegion(art, animation.frameIndex));
    shapedFrame = animation.frameIndex;
    SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(Handle(), nullptr, FALSE);
    trail.Rescale(Anchor());
}

TrailAnchor CharacterWnd::Anchor() const
{
    TrailAnchor anchor;
    anchor.window = Handle();
    GetWindowRect(Handle(), &anchor.rect);
    GetCursorPos(&anchor.cursor);
    return anchor;
}

void CharacterWnd::RefreshEnvelopes()
{
    if (!Handle())
        return;
    trail.Refresh(Anchor(), CountNewMail(scheduler.Accounts()));
    UpdateCharacterVisibility();
}

void CharacterWnd::LayoutEnvelopes()
{
    if (Handle())
        trail.Layout(Anchor());
}

void CharacterWnd::UpdateCharacterVisibility()
{
    if (!Handle())
        return;
    const bool visible = !showOnlyMailExist || trail.Size() > 0;
    // Nothing followed the cursor while hidden: the character is moved to where its glide would
    // have brought it before it is shown, so it never shows at its old place.
    if (visible && !IsWindowVisible(Handle()))
        FollowCursor(true);
    ShowWindow(Handle(), visible ? SW_SHOWNOACTIVATE : SW_HIDE);
}
