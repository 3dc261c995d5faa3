#pragma once
// The application object and the Windows side of the process-wide state.
#include <windows.h>

#include <memory>
#include <vector>

#include <string>

#include "character/character_wnd_win.h"
#include "character/shapes_win.h"
#include "mail/scheduler.h"
#include "platform/app_base_win.h"
#include "platform/layered_window_win.h"

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

private:
    bool CreateCharacterWindow();
    void CreateAccounts(HWND owner);

    // The accounts and their checks; outlives the character window, which drives it.
    Scheduler scheduler;
    // Looked up when the application object is made; every window gets it from here.
    LayeredWindows layered;
    // The images every window draws with; filled once at start-up, scaled afterwards only by
    // the character window, for the screen it is on.
    Artwork art;
    // The one window class of the character and the envelopes.
    std::string windowClass;
    std::unique_ptr<CharacterWnd> characterWindow;
};
