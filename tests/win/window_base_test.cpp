// The Win32 layer: window objects and the checks' commands to their owner window.
#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <vector>

#include "debug_capture.h"
#include "fake_pop3_server.h"
#include "mail/check_worker_win.h"
#include "mail/scheduler.h"
#include "platform/app_base_win.h"
#include "platform/window_base_win.h"
#include "program_driver_win.h"

namespace {

class RecordingWnd : public WindowBase {
public:
    std::vector<UINT> seen;
    std::vector<std::pair<WPARAM, int32_t>> commands;
    bool refuse = false;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_CREATE && refuse)
            return -1;
        if (message == WM_CREATE || message == WM_DESTROY || message == WM_NCDESTROY)
            seen.push_back(message == WM_CREATE && !Handle() ? 0 : message);  // the handle is known from creation on
        if (message == WM_COMMAND)
            commands.emplace_back(wParam, static_cast<int32_t>(lParam));
        return message == WM_USER + 7 ? LRESULT(wParam + 1) : Default(message, wParam, lParam);
    }
};

bool CreateHidden(WindowBase& wnd)
{
    return wnd.Create(0, RegisterProgramWindowClass(), "probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr);
}

// Runs this thread's messages until done() holds, for at most ten seconds.
bool PumpUntil(const std::function<bool()>& done)
{
    return WaitUntil([&] {
        for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);)
            DispatchMessageA(&msg);
        return done();
    }, 10000);
}

// The colour arrives sign-extended; a socket failure leaves the account due and is shown once in a box.
TEST(WindowBase, RoutesMessagesToItsObjectUntilTheEndAndCarriesTheChecksCommandsAndFailuresShownOnce)
{
    AppBase app;
    FakePop3Server server{{"uid-1"}};
    RecordingWnd owner;
    ASSERT_TRUE(CreateHidden(owner));
    const HWND handle = owner.Handle();
    EXPECT_EQ(SendMessageA(handle, WM_USER + 7, 41, 0), 42);
    SchedulerHooks hooks;
    hooks.check.target = WindowCheckTarget();
    const auto addAccount = [&](Scheduler& scheduler) -> MailAccount& {
        MailAccount& account = *scheduler.Accounts().emplace_back(std::make_unique<MailAccount>(owner.Handle()));
        std::tie(account.Account, account.Address, account.Port, account.Color) =
            std::make_tuple("user", "127.0.0.1", server.Port(), -1);
        return account;
    };
    Scheduler scheduler(hooks);
    MailAccount& account = addAccount(scheduler);
    scheduler.RunScheduler();
    ASSERT_TRUE(PumpUntil([&] { return owner.commands.size() >= 2; }));
    EXPECT_EQ(owner.commands, (std::vector<std::pair<WPARAM, int32_t>>{{ID_CHECK_STARTED, -1}, {ID_CHECK_FINISHED, -1}}));

    DebugCapture trace;
    hooks.check.initSockets = [] { return false; };
    Scheduler failing(hooks);
    MailAccount& unlucky = addAccount(failing);
    const auto findBox = [&] { return FindWindowA("#32770", app.AppName().c_str()); };
    for (int attempt = 0; attempt < 2; ++attempt) {
        failing.RunScheduler();
        ASSERT_TRUE(PumpUntil([&] { return !unlucky.worker.load(); }));
    }
    // The box comes once, after its check has ended: nothing waits for it, not even the exit.
    HWND box = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (box = findBox()) != nullptr; }));
    EXPECT_TRUE(FindWindowExA(box, nullptr, nullptr, "Win Sock Init Fale"));
    // Each failed attempt still tells the window that it ended: the window sets the next one.
    ASSERT_TRUE(PumpUntil([&] { return owner.commands.size() >= 4; }));
    const std::pair<WPARAM, int32_t> finished{ID_CHECK_FINISHED, -1};
    EXPECT_TRUE(owner.commands.size() == 4 && owner.commands[2] == finished && owner.commands[3] == finished);
    EXPECT_TRUE(unlucky.lastCheckTick == 0 && !unlucky.checkedOnce);
    failing.StopAllChecks();
    EXPECT_TRUE(IsWindow(box) && PostMessageA(box, WM_COMMAND, IDOK, 0));
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(box); }) && findBox() == nullptr) << "a second box";
    EXPECT_EQ(trace.Text(), "Win Sock Init Fale" "Win Sock Init Fale");

    const uint32_t checkedAt = account.lastCheckTick;
    ASSERT_TRUE(owner.Destroy() && !IsWindow(handle) && owner.Handle() == nullptr && !owner.Destroy());
    EXPECT_EQ(owner.seen, (std::vector<UINT>{WM_CREATE, WM_DESTROY, WM_NCDESTROY}));
    scheduler.StartCheck(account);
    ASSERT_TRUE(PumpUntil([&] { return !account.worker.load(); }));
    EXPECT_TRUE(account.lastCheckTick == checkedAt && server.Connections() == 1) << "a check for a window that is gone";
    owner.refuse = true;  // a refused creation leaves no window
    EXPECT_TRUE(!CreateHidden(owner) && owner.Handle() == nullptr);
    auto owned = std::make_unique<RecordingWnd>();
    ASSERT_TRUE(CreateHidden(*owned));
    const HWND second = owned->Handle();
    owned.reset();
    EXPECT_FALSE(IsWindow(second));
}

}  // namespace
