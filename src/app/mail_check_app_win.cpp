#include "app/mail_check_app_win.h"

#include "character/character_wnd_win.h"
#include "character/shapes_win.h"
#include "mail/check_worker_win.h"
#include "mail/scheduler.h"
#include "platform/debug_channel.h"
#include "platform/window_base_win.h"
#include "settings/account_profile.h"

HMODULE user32Module = nullptr;
SetLayeredWindowAttributesFn setLayeredAttributes = nullptr;

namespace {

// The checks report to the character window through posted commands.
SchedulerHooks WindowSchedulerHooks()
{
    SchedulerHooks hooks;
    hooks.check.target = WindowCheckTarget();
    return hooks;
}

}  // namespace

bool DeskApp::InitInstance()
{
    SetRegistryKey("QUVA");
    return true;
}

MailCheckApp::MailCheckApp() : scheduler(WindowSchedulerHooks())
{
    user32Module = LoadLibraryA("User32.dll");
    if (user32Module)
        setLayeredAttributes = reinterpret_cast<SetLayeredWindowAttributesFn>(
            reinterpret_cast<void*>(GetProcAddress(user32Module, "SetLayeredWindowAttributes")));
}

MailCheckApp::~MailCheckApp() = default;

bool MailCheckApp::InitInstance()
{
    DeskApp::InitInstance();
    LoadAnimationCatalog();
    LoadFrameImages(*this);
    ComputeKeyRegions(*this);
    windowClassName = RegisterProgramWindowClass();

    characterWindow = std::make_unique<CharacterWnd>(scheduler);
    characterWnd = characterWindow.get();

    // One instance per desktop: a running one is left alone, and this one ends quietly.
    if (FindWindowA(windowClassName.c_str(), kCharacterCaption))
        return true;

    if (!CreateCharacterWindow())
        return true;
    SetMainWindow(characterWnd->Handle());
    CreateAccounts(characterWnd->Handle());
    return true;
}

bool MailCheckApp::CreateCharacterWindow()
{
    characterWnd->Create(0, windowClassName, kCharacterCaption, WS_POPUP | WS_CLIPCHILDREN, 0, 0, 32, 32,
                         GetDesktopWindow(), nullptr);
    if (characterWnd->Handle())
        return true;
    // Nothing can be shown or checked without it: end at once, and say why.
    DebugWrite("Character window cannot be created\n");
    SetExitCode(1);
    return false;
}

void MailCheckApp::CreateAccounts(HWND owner)
{
    // Appended before loading, so position i always matches section POP<i>, also for
    // accounts whose section is missing.
    const int32_t count = ReadAccountCount();
    for (int32_t i = 0; i < count; ++i) {
        scheduler.Accounts().push_back(std::make_unique<MailAccount>(owner));
        LoadAccount(i, *scheduler.Accounts().back());
    }
}

int MailCheckApp::ExitInstance()
{
    frameBitmaps.clear();
    envelopeBitmaps.clear();
    frameRegions.clear();
    // Normally the window is gone already. If the loop ended some other way, the window is
    // destroyed the usual way first, so its checks stop before their accounts are deleted.
    if (characterWindow && characterWindow->Handle())
        characterWindow->Destroy();
    characterWindow.reset();
    scheduler.StopAllChecks();
    if (user32Module) {
        FreeLibrary(user32Module);
        user32Module = nullptr;
        setLayeredAttributes = nullptr;
    }
    return DeskApp::ExitInstance();
}

int MailCheckApp::SaveSettings()
{
    std::vector<AccountSettings> settings;
    for (const auto& account : scheduler.Accounts())
        settings.push_back(*account);
    return ::SaveSettings(settings);
}

void MailCheckApp::LoadAccount(int index, MailAccount& account)
{
    ::LoadAccount(index, account);
}

MailCheckApp& TheApp()
{
    return *static_cast<MailCheckApp*>(AppBase::Current());
}
