#include "app/mail_check_app_win.h"

#include "settings/account_profile.h"

HMODULE user32Module = nullptr;
SetLayeredWindowAttributesFn setLayeredAttributes = nullptr;

bool DeskApp::InitInstance()
{
    SetRegistryKey("QUVA");
    return true;
}

MailCheckApp::MailCheckApp()
{
    user32Module = LoadLibraryA("User32.dll");
    if (user32Module)
        setLayeredAttributes = reinterpret_cast<SetLayeredWindowAttributesFn>(
            reinterpret_cast<void*>(GetProcAddress(user32Module, "SetLayeredWindowAttributes")));
}

bool MailCheckApp::InitInstance()
{
    DeskApp::InitInstance();
    return true;
}

int MailCheckApp::ExitInstance()
{
    frameBitmaps.clear();
    envelopeBitmaps.clear();
    frameRegions.clear();
    accounts.clear();
    if (user32Module) {
        FreeLibrary(user32Module);
        user32Module = nullptr;
        setLayeredAttributes = nullptr;
    }
    return DeskApp::ExitInstance();
}

int MailCheckApp::SaveSettings()
{
    return ::SaveSettings(accounts);
}

void MailCheckApp::LoadAccount(int index, MailAccount& account)
{
    ::LoadAccount(index, account);
}

MailCheckApp& TheApp()
{
    return *static_cast<MailCheckApp*>(AppBase::Current());
}
