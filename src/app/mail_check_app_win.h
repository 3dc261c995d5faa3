#pragma once
// The application object and the Windows side of the process-wide state.
#include <windows.h>

#include <memory>
#include <vector>

#include "app/app_state.h"
#include "mail/scheduler.h"
#include "platform/app_base_win.h"
#include "platform/gdi_win.h"

using SetLayeredWindowAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

// "User32.dll", loaded by the application object's constructor; released by ExitInstance.
extern HMODULE user32Module;
// SetLayeredWindowAttributes, looked up at run time; null where the platform lacks it,
// and then every window stays opaque.
extern SetLayeredWindowAttributesFn setLayeredAttributes;

class DeskApp : public AppBase {
public:
    // Directs the profile to the current user's registry branch Software\QUVA\<application>.
    bool InitInstance() override;
    virtual int SaveSettings() = 0;
};

class MailCheckApp : public DeskApp {
public:
    MailCheckApp();
    ~MailCheckApp() override;

    // Start-up: profile, images, window class, the single-instance guard, the character
    // window and the accounts. A second instance stops at the guard, without a main window.
    bool InitInstance() override;
    // Shut-down: releases what start-up made.
    int ExitInstance() override;
    int SaveSettings() override;
    void LoadAccount(int index, MailAccount& account);

    // The images every window draws with; filled once at start-up, read-only afterwards.
    HICON envelopeIcon = nullptr;          // a shared resource icon: never destroyed
    std::vector<Bitmap> envelopeBitmaps;   // exactly one: "ENVELOP_RED"
    Region envelopeRegion;                 // key region of the envelope; lives to process end
    std::vector<Bitmap> frameBitmaps;      // one per frame name, index = frame index
    std::vector<Region> frameRegions;      // same order; an entry may be empty

private:
    bool CreateCharacterWindow();
    void CreateAccounts(HWND owner);

    // The accounts and their checks; outlives the character window, which drives it.
    Scheduler scheduler;
    // The object behind the process-wide characterWnd.
    std::unique_ptr<CharacterWnd> characterWindow;
};

// The application object, as the framework's current-application pointer would give it.
MailCheckApp& TheApp();
