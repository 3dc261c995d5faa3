#pragma once
// The character window: the program's main window. A hidden, topmost, layered tool window cut
// to the character's outline; its timers drive the whole program on the user-interface thread:
// two follow the cursor and animate while the character is shown, a third starts each check
// when it is due. Hidden with nothing due, it takes no timer message at all. It owns the
// envelope windows and the tray icon.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "character/character_motion.h"
#include "character/command_ids.h"
#include "character/shapes_win.h"
#include "envelope/envelope_trail_win.h"
#include "platform/layered_window_win.h"
#include "platform/window_base_win.h"

class Scheduler;

// The tray icon's id and the message its notifications arrive with.
constexpr UINT kTrayIconId = 1;
constexpr UINT WM_TRAYNOTIFY = WM_USER + 100;
constexpr char kTrayTooltip[] = "QUVA";
// The message the shell broadcasts when the taskbar is created anew: its icons are gone.
UINT TaskbarCreatedMessage();

// The timers of the character window, and how long the system may hold each back to wake for
// it together with other timers.
constexpr UINT_PTR kFollowTimerId = 1;     // every 100 ms while shown: glide toward the cursor, reshape
constexpr UINT_PTR kAnimationTimerId = 2;  // every 500 ms while shown: animate, pulse, rebuild envelopes
constexpr UINT_PTR kSchedulerTimerId = 100;  // when the next check is due: start it
constexpr ULONG kFollowTolerance = 10;
constexpr ULONG kAnimationTolerance = 50;
constexpr ULONG kSchedulerTolerance = 1000;

// The tray icon; free functions over a window handle. The icon stays the caller's.
bool AddTrayIcon(HWND window, UINT id, HICON icon, const char* tooltip);
void SetTrayIcon(HWND window, UINT id, HICON icon, const char* tooltip);
void SetTrayTooltip(HWND window, UINT id, const char* tooltip);
bool RemoveTrayIcon(HWND window, UINT id);

class CharacterWnd : public WindowBase {
public:
    // Seeds rand with the tick count (the program's only seeding) and picks the first
    // animation; needs the animation catalogue. The scheduler holds the accounts this window
    // shows and checks; it, the art and the layered windows stay the creator's and must outlive
    // the window, which scales the art for the screen it is on; the envelopes are windows of
    // the given class.
    CharacterWnd(Scheduler& scheduler, Artwork& art, const LayeredWindows& layered,
                 const std::string& windowClass);
    ~CharacterWnd() override;

    // Non-zero: the character shows only while envelopes exist.
    int32_t showOnlyMailExist = 1;
    // The current stacking order, as its command id.
    int32_t zOrderMode = ID_ZORDER_TOPMOST;
    // The animation, the frame within it, and the frame shown (animation.frameIndex).
    AnimationState animation;
    HICON mainIcon = nullptr;    // icon 128: window, tray and drag icon
    int32_t alphaPhase = 0;  // this window's offset in the transparency pulse, 0..511
    std::string mailerPath;  // the user's mail program, from GLOBAL/MAILER

    // The envelope trail: rebuilt from the accounts' new mail, and laid out beside the window.
    void RefreshEnvelopes();
    void LayoutEnvelopes();
    // Shown while envelopes exist, or always when showOnlyMailExist is off.
    void UpdateCharacterVisibility();
    // Sets the scheduler's timer to when the next check is due, or stops it when nothing is;
    // after a check ends, once the accounts are loaded, and when the clock may have jumped.
    void ScheduleNextCheck();

    // The tray icon shows the envelope while a check of a coloured account runs.
    void RefreshTrayIcon();
    // The tooltip counts the new mail and names the first account whose last check failed; it
    // changes only when a check ends, when the mail is acknowledged, and once the accounts are
    // loaded.
    void RefreshTrayTooltip();
    HICON trayIcon = nullptr;  // the icon the tray shows now; null while there is none
    std::string trayTooltip = kTrayTooltip;  // the tooltip the tray shows now
    // Every account's new mail becomes seen (and kept, for accounts that keep it), and the
    // envelopes go.
    void MarkAllSeen();
    // The popup menu at the cursor; the chosen item arrives as WM_COMMAND.
    void ShowPopupMenu();
    // The open-file dialog for the mail program; true when the user chose one, which is kept.
    bool ChooseMailer();
    bool askingForMailer = false;  // while the open-file dialog for it shows
    // The user's mail program, or without one the system's default (the mailto: handler), or
    // without that the one the user chooses now.
    void LaunchChosenOrDefaultMailer();

    // WM_COMMAND: TRUE when the command was handled.
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    Scheduler& scheduler;

    LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
    void OnTimer(WPARAM id, LPARAM lParam);
    void OnPaint();
    void OnMove(WPARAM wParam, LPARAM lParam);
    void OnShowWindow(WPARAM wParam, LPARAM lParam);
    void OnDestroy(WPARAM wParam, LPARAM lParam);
    void OnDpiChanged(WPARAM wParam, LPARAM lParam);
    // Back from sleep: every account is checked again, and the next check's time is worked out
    // again; so it is when the clock is set.
    void OnResume();
    void OnTimeChange();

    void AppendAboutItem();
    void LoadMainIcon();
    // The follow and animation timers run exactly while the character is shown.
    void StartCharacterTimers();
    void StopCharacterTimers();
    void PlaceInBottomRightCorner();
    void AdvanceAnimation();
    // One step of the glide toward the cursor, or the whole glide at once.
    void FollowCursor(bool wholeGlide = false);

    // The window's rectangle and the cursor, for the trail.
    TrailAnchor Anchor() const;

    Artwork& art;
    const LayeredWindows& layered;
    EnvelopeTrail trail;
    // The frame whose shape the window has; -2 before the first.
    int32_t shapedFrame = -2;
    bool characterTimersOn = false;
    // Timer messages since the character was last hidden (or the start), for the debug channel.
    uint32_t timerMessages = 0;

    // The mouse, the tray, the menus and the system menu.
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    void OnTaskbarCreated();
    LRESULT OnInitMenuPopup(WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnRButtonDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);
    LRESULT OnQueryDragIcon(WPARAM wParam, LPARAM lParam);
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam);
};
