#pragma once
// Identifiers of the program's resources and commands, shared by zantoli.rc and the C++ code.
// Plain defines only: the resource compiler reads this file too.

// Icons and menus.
#define IDI_MAIN 128          // the program's icon: window, tray and drag icon
#define IDR_POPUP_MENU 152    // the tray and character popup menu

// Strings.
#define IDS_ABOUT_ITEM 101            // the system-menu item
#define IDS_FRAME_PREFIX 161          // frame-name prefix of the animation that is loaded
#define IDS_FRAME_PREFIX_LAST 175     // further prefixes (162 to 175), not loaded
#define IDS_APP_TITLE 57344           // the application name

// The menu's command ids, for the resource compiler only: the C++ code has them as constants
// in character/command_ids.h, and a test checks that the menu carries the same values.
// IDCANCEL (2) comes from <windows.h>.
#ifdef RC_INVOKED
#define ID_MAIL_SETTINGS 32778
#define ID_LAUNCH_MAILER 32783
#define ID_CHOOSE_MAILER 32784
#define ID_APP_EXIT 57665
#endif
