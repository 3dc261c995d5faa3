// Prints what the scheduler costs the user-interface thread each second, how long a whole
// check takes against a loopback server, and how long the exit waits for a check that is
// stuck on a silent server.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "fake_pop3_server.h"
#include "mail/scheduler.h"
#include "platform/tcp_client.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration elapsed)
{
    return std::chrono::duration<double, std::milli>(elapsed).count();
}

// Counts the finished notices; shared with the workers, which may outlive a round.
struct Finishes {
    std::atomic<int> count{0};
};

void AddAccounts(Scheduler& scheduler, int count, int port)
{
    for (int i = 0; i < count; ++i) {
        scheduler.Accounts().push_back(std::make_unique<MailAccount>());
        scheduler.Accounts().back()->Account = "user";
        scheduler.Accounts().back()->Address = "127.0.0.1";
        scheduler.Accounts().back()->Port = port;
        scheduler.Accounts().back()->Duration = 0;
    }
}

bool WaitForFinishes(const Finishes& finishes, int count)
{
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (finishes.count.load() < count) {
        if (Clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

void MeasureTick(int accountCount)
{
    // Nothing is due: the clock stands still at the time every account was last checked,
    // so each call walks the whole list and starts nothing.
    SchedulerHooks hooks;
    hooks.check.tickCount = [] { return 1000u; };
    Scheduler scheduler(hooks);
    AddAccounts(scheduler, accountCount, 110);
    for (auto& account : scheduler.Accounts()) {
        account->lastCheckTick = 1000;
        account->checkedOnce = true;
    }
    constexpr int kRounds = 200000;
    const auto start = Clock::now();
    for (int round = 0; round < kRounds; ++round)
        scheduler.RunScheduler();
    const double ns = Milliseconds(Clock::now() - start) * 1e6 / kRounds;
    std::printf("RunScheduler with %4d accounts, none due: %8.1f ns per tick\n", accountCount, ns);
    scheduler.StopAllChecks();
}

void MeasureChecks(FakePop3Server& server)
{
    auto finishes = std::make_shared<Finishes>();
    SchedulerHooks hooks;
    hooks.check.target.post = [finishes](WindowHandle, int command, int32_t) {
        if (command == ID_CHECK_FINISHED)
            ++finishes->count;
    };
    Scheduler scheduler(hooks);
    AddAccounts(scheduler, 1, server.Port());
    constexpr int kRounds = 50;
    std::vector<double> took;
    for (int round = 0; round < kRounds; ++round) {
        scheduler.Accounts()[0]->lastCheckTick = 0;
        const auto start = Clock::now();
        scheduler.RunScheduler();
        if (!WaitForFinishes(*finishes, round + 1))
            break;
        took.push_back(Milliseconds(Clock::now() - start));
    }
    scheduler.StopAllChecks();
    std::sort(took.begin(), took.end());
    if (!took.empty())
        std::printf("whole check of 20 messages on loopback (thread start to finished): median %.2f ms, max %.2f ms\n",
                    took[took.size() / 2], took.back());
}

void MeasureExit(FakePop3Server& silent)
{
    auto finishes = std::make_shared<Finishes>();
    SchedulerHooks hooks;
    hooks.check.target.post = [finishes](WindowHandle, int command, int32_t) {
        if (command == ID_CHECK_FINISHED)
            ++finishes->count;
    };
    Scheduler scheduler(hooks);
    constexpr int kRounds = 10;
    std::vector<double> took;
    for (int round = 0; round < kRounds; ++round) {
        AddAccounts(scheduler, 1, silent.Port());
        scheduler.RunScheduler();
        // Let the check reach the server and settle into its wait for the greeting.
        const auto settle = Clock::now() + std::chrono::seconds(10);
        while (silent.Connections() <= round && Clock::now() < settle)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto start = Clock::now();
        scheduler.StopAllChecks();
        took.push_back(Milliseconds(Clock::now() - start));
        WaitForFinishes(*finishes, round + 1);
    }
    std::sort(took.begin(), took.end());
    std::printf("exit during a check of a silent server: min %.0f ms, median %.0f ms, max %.0f ms (%d rounds)\n",
                took.front(), took[took.size() / 2], took.back(), kRounds);
}

}  // namespace

int main()
{
    InitSockets();
    for (int count : {1, 10, 100, 1000})
        MeasureTick(count);

    std::vector<std::string> uids;
    for (int i = 0; i < 20; ++i)
        uids.push_back("uid-" + std::to_string(i));
    FakePop3Server server(uids);
    MeasureChecks(server);

    FakePop3Server silent;
    silent.Script("", FakePop3Server::Silence());
    MeasureExit(silent);
    return 0;
}
