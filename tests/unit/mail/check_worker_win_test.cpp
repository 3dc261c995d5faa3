// The checks' Windows target: commands reach the owner window through its queue, a closed
// window is noticed, and the socket failure box carries the application's name.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "fake_pop3_server.h"
#include "mail/check_worker_win.h"
#include "mail/scheduler.h"
#include "platform/app_base_win.h"
#include "platform/window_base_win.h"

namespace {

// Stands in for the character window: records each command with its colour.
class OwnerWnd : public WindowBase {
public:
    std::vector<std::pair<WPARAM, int32_t>> commands;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message != WM_COMMAND)
            return Default(message, wParam, lParam);
        commands.emplace_back(wParam, static_cast<int32_t>(lParam));
        return 0;
    }
};

// Runs this thread's messages until done() holds, for at most ten seconds.
template <typename Predicate>
bool PumpUntil(Predicate done)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < end) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

class CheckWorkerWinTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(owner.Create(0, RegisterProgramWindowClass(), "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
        hooks.check.target = WindowCheckTarget();
    }
    MailAccount& AddAccount(Scheduler& scheduler, int32_t color)
    {
        scheduler.Accounts().push_back(std::make_unique<MailAccount>(owner.Handle()));
        MailAccount& account = *scheduler.Accounts().back();
        account.Address = "127.0.0.1";
        account.Port = server.Port();
        account.Color = color;
        return account;
    }

    FakePop3Server server{{"uid-1"}};
    OwnerWnd owner;
    SchedulerHooks hooks;
};

// Commands reach the owner through its queue, the colour sign-extended through lParam; a
// closed owner is skipped without a stamp. When sockets fail, the box is captioned with the
// application's name and shown once, while the check still counts as running.
TEST_F(CheckWorkerWinTest, CommandsReachTheOwnerWindowAndFailuresAreShownOnce)
{
    AppBase app;
    Scheduler scheduler(hooks);
    MailAccount& account = AddAccount(scheduler, -1);
    scheduler.RunScheduler();
    ASSERT_TRUE(PumpUntil([&] { return owner.commands.size() >= 2; }));
    const std::vector<std::pair<WPARAM, int32_t>> expected = {{ID_CHECK_STARTED, -1}, {ID_CHECK_FINISHED, -1}};
    EXPECT_EQ(owner.commands, expected);

    int boxes = 0;
    hooks.check.initSockets = [] { return false; };
    Scheduler failing(hooks);
    MailAccount& unlucky = AddAccount(failing, 0);
    for (int attempt = 0; attempt < 2; ++attempt) {
        failing.RunScheduler();
        // A box is dismissed as soon as it is found, so no worker is left waiting.
        ASSERT_TRUE(PumpUntil([&] {
            if (HWND box = FindWindowA("#32770", app.AppName().c_str())) {
                ++boxes;
                EXPECT_TRUE(unlucky.worker.load()) << "the check must count as running while the box is open";
                EXPECT_TRUE(FindWindowExA(box, nullptr, nullptr, "Win Sock Init Fale"));
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                PumpUntil([&] { return !IsWindow(box); });
            }
            return !unlucky.worker.load();
        }));
    }
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(owner.commands.size(), 2u);

    const uint32_t checkedAt = account.lastCheckTick;
    ASSERT_TRUE(owner.Destroy());
    scheduler.StartCheck(account);
    ASSERT_TRUE(PumpUntil([&] { return !account.worker.load(); }));
    EXPECT_EQ(account.lastCheckTick, checkedAt);
    EXPECT_EQ(server.Connections(), 1);
}

}  // namespace
