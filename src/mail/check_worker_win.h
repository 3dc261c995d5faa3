#pragma once
// The notification target of the checks on Windows: the owner window's existence, WM_COMMAND
// posted to it, and a message box captioned with the application's name.
#include "mail/check_worker.h"

CheckTarget WindowCheckTarget();
