#include "app/mail_check_app_win.h"

#include "mail/change_watch.h"
#include "mail/check_worker_win.h"
#include "mail/scheduler.h"
#include "mail/seen_keeping.h"
#include "platform/debug_channel.h"
#include "platform/state_file.h"
#include "platform/window_base_win.h"
#include "profile/account_profile.h"
#include "profile/profile.h"

namespace {

// The checks report to the character window through posted commands.
SchedulerHooks WindowSchedulerHooks()
{
    SchedulerHooks hooks;
    hooks.check.target = WindowCheckTarget();
    return hooks;
}

// Where acknowledged UIDs are kept between runs: unless the user turned it off (GLOBAL
// "KeepSeen" = "0"), and only where the system names a folder. Empty: not kept.
std::string SeenFolder()
{
    if (!ReadKeepSeen())
        return std::string();
    const std::string folder = StateFolder();
    if (folder.empty())
        DebugWrite("Seen UIDs cannot be kept: no folder for them\n");
    return folder;
}

}  // namespace

bool DeskApp::InitInstance()
{
    SetRegistryKey("QUVA");
    return true;
}

MailCheckApp::MailCheckApp() : scheduler(WindowSchedulerHooks())
{
}

MailCheckApp::~MailCheckApp() = default;

bool MailCheckApp::InitInstance()
{
    DeskApp::InitInstance();
    LoadAnimationCatalog();
    LoadFrameImages(art);
    ComputeKeyRegions(art);
    windowClass = RegisterProgramWindowClass();

    characterWindow = std::make_unique<CharacterWnd>(scheduler, art, layered, windowClass);

    // One instance per desktop: a running one is left alone, and this one ends quietly.
    if (FindWindowA(windowClass.c_str(), kCharacterCaption))
        return true;

    if (!CreateCharacterWindow())
        return true;
    SetMainWindow(characterWindow->Handle());
    CreateAccounts(characterWindow->Handle());
    characterWindow->RefreshTrayTooltip();
    characterWindow->ScheduleNextCheck();
    return true;
}

bool MailCheckApp::CreateCharacterWindow()
{
    characterWindow->Create(0, windowClass, kCharacterCaption, WS_POPUP | WS_CLIPCHILDREN, 0, 0, 32, 32,
                            GetDesktopWindow(), nullptr);
    if (characterWindow->Handle())
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
    const std::string seenFolder = SeenFolder();
    const uint32_t idleRefreshMs = IdleRefreshMs(ReadProfileText("GLOBAL", "IdleRefresh"));
    for (int32_t i = 0; i < count; ++i) {
        scheduler.Accounts().push_back(std::make_unique<MailAccount>(owner));
        MailAccount& account = *scheduler.Accounts().back();
        LoadAccount(i, account);
        account.seenFolder = seenFolder;
        account.idleRefreshMs = idleRefreshMs;
        RestoreSeenUids(account);
    }
}

int MailCheckApp::ExitInstance()
{
    // Normally the window is gone already. If the loop ended some other way, the window is
    // destroyed the usual way first, so its checks stop before their accounts are deleted and
    // no envelope paints with a released image.
    if (characterWindow && characterWindow->Handle())
        characterWindow->Destroy();
    characterWindow.reset();
    scheduler.StopAllChecks();
    art.frameBitmaps.clear();
    art.frameRegions.clear();
    art.envelope.bitmap.Reset();
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
    account.profileIndex = index;
}
