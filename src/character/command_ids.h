#pragma once
// The commands of the character window: the wParam of its WM_COMMAND, high word 0.
// IDCANCEL (2) is the popup menu's cancel item and does nothing of its own.
#include "mail/check_worker.h"  // ID_CHECK_FINISHED and ID_CHECK_STARTED, posted by the worker

// The three stacking orders; the current one is kept as its command id.
constexpr int ID_ZORDER_TOPMOST = 32773;
constexpr int ID_ZORDER_TOP = 32774;
constexpr int ID_ZORDER_BOTTOM = 32775;
constexpr int ID_MAIL_SETTINGS = 32778;
constexpr int ID_TOGGLE_SHOW_ONLY_MAIL = 32779;
constexpr int ID_LAUNCH_MAILER = 32783;
constexpr int ID_CHOOSE_MAILER = 32784;
constexpr int ID_APP_EXIT = 57665;

// The About item appended to the system menu; its system command does nothing.
constexpr int ID_ABOUT_SYSTEM_COMMAND = 16;
