// The program's entry point.
#include <windows.h>

#include "app/mail_check_app_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // The one application object. Made here rather than as a static so that the process-wide
    // state (the accounts) surely exists before it and outlives it.
    MailCheckApp app;
    return app.Run();
}
