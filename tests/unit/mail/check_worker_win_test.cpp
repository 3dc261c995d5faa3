// The checks' Windows target: commands reach the owner window through its queue, a closed
// window is noticed, and the socket failure box carries the application's name.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "debug_capture.h"
#include "fake_pop3_server.h"
#include "mail/check_worker_win.h"
#include "mail/scheduler.h"
#include "platform/app_base_win.h"
#include "platform/window_base_win.h"

namespace {

using Clock = std::chrono::steady_clock;

// Stands in for the character window: records each command and whether its account still
// counted as running when the command was handled.
class OwnerWnd : public WindowBase {
public:
    struct Command {
        WPARAM id;
        int32_t color;
        bool workerSet;
    };
    std::vector<Command> commands;
    MailAccount* account = nullptr;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_COMMAND:
            commands.push_back(Command{wParam, static_cast<int32_t>(lParam), account && account->worker.load()});
            return 0;
        default:
            return Default(message, wParam, lParam);
        }
    }
};

// Runs this thread's messages until done() holds or timeoutMs has passed.
template <typename Predicate>
bool PumpUntil(Predicate done, int timeoutMs)
{
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (Clock::now() > end)
            return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

BOOL CALLBACK HasText(HWND child, LPARAM wanted)
{
    char text[128] = {};
    GetWindowTextA(child, text, sizeof text);
    if (std::string(text) == reinterpret_cast<const char*>(wanted)) {
        SetLastError(ERROR_SUCCESS);
        return FALSE;  // found: stop
    }
    return TRUE;
}

bool ShowsText(HWND dialog, const char* text)
{
    return !EnumChildWindows(dialog, HasText, reinterpret_cast<LPARAM>(text));
}

class CheckWorkerWinTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(owner.Create(0, RegisterProgramWindowClass(), "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
        hooks.check.target = WindowCheckTarget();
    }

    void TearDown() override
    {
        StopAllChecks();
        SetSchedulerHooks(SchedulerHooks());
    }

    MailAccount& AddAccount(int32_t color)
    {
        accounts.push_back(std::make_unique<MailAccount>(owner.Handle()));
        MailAccount& account = *accounts.back();
        account.Address = "127.0.0.1";
        account.Port = server.Port();
        account.Color = color;
        owner.account = &account;
        return account;
    }

    FakePop3Server server{{"uid-1"}};
    OwnerWnd owner;
    SchedulerHooks hooks;
};

TEST_F(CheckWorkerWinTest, CommandsReachTheOwnerWindowAndAClosedWindowIsSkipped)
{
    SetSchedulerHooks(hooks);
    MailAccount& account = AddAccount(-1);

    RunScheduler();
    ASSERT_TRUE(PumpUntil([&] { return owner.commands.size() >= 2; }, 10000));
    ASSERT_EQ(owner.commands.size(), 2u);
    EXPECT_EQ(owner.commands[0].id, WPARAM(ID_CHECK_STARTED));
    EXPECT_EQ(owner.commands[1].id, WPARAM(ID_CHECK_FINISHED));
    EXPECT_EQ(owner.commands[0].color, -1);
    EXPECT_EQ(owner.commands[1].color, -1);
    EXPECT_FALSE(owner.commands[1].workerSet);
    const uint32_t checkedAt = account.lastCheckTick;
    EXPECT_NE(checkedAt, 0u);

    ASSERT_TRUE(owner.Destroy());
    StartCheck(account);
    ASSERT_TRUE(PumpUntil([&] { return !account.worker.load(); }, 10000));
    EXPECT_EQ(account.lastCheckTick, checkedAt);
    EXPECT_EQ(server.Connections(), 1);
}

TEST_F(CheckWorkerWinTest, SocketFailureBoxIsCaptionedWithTheAppNameAndShownOnce)
{
    AppBase app;
    DebugCapture capture;
    hooks.check.initSockets = [] { return false; };
    SetSchedulerHooks(hooks);
    MailAccount& account = AddAccount(0);

    int boxes = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        RunScheduler();
        // Bounded: a box is dismissed as soon as it is found, so no worker is left waiting.
        const bool ended = PumpUntil([&] {
            HWND box = FindWindowA("#32770", app.AppName().c_str());
            if (box) {
                ++boxes;
                EXPECT_TRUE(account.worker.load()) << "the check must count as running while the box is open";
                EXPECT_TRUE(ShowsText(box, "Win Sock Init Fale"));
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                PumpUntil([&] { return !IsWindow(box); }, 5000);
            }
            return !account.worker.load();
        }, 10000);
        ASSERT_TRUE(ended);
    }
    EXPECT_EQ(boxes, 1);
    int traced = 0;
    for (const std::string& write : capture.Writes())
        traced += write == "Win Sock Init Fale";
    EXPECT_EQ(traced, 2);
    EXPECT_TRUE(owner.commands.empty());
}

}  // namespace
