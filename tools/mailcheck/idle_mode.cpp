#include "idle_mode.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

#include "mail/change_watch.h"
#include "mail/uid_reconcile.h"

namespace {

constexpr uint32_t kPollMs = 5000;

// Prints a line whenever the sets differ from those last printed.
class ChangePrinter {
public:
    ChangePrinter(MailAccount& account, bool ack, void (*beforeLine)())
        : account(account), ack(ack), beforeLine(beforeLine)
    {
        std::lock_guard<std::mutex> guard(account.uidLock);
        lastNew = account.newUids;
        lastSeen = account.seenUids;
    }
    void PrintIfChanged()
    {
        {
            std::lock_guard<std::mutex> guard(account.uidLock);
            if (account.newUids == lastNew && account.seenUids == lastSeen)
                return;
            beforeLine();
            std::printf("change %d: new=%zu seen=%zu\n", ++changes, account.newUids.size(), account.seenUids.size());
            std::fflush(stdout);
        }
        if (ack)
            MarkSeen(account);
        std::lock_guard<std::mutex> guard(account.uidLock);
        lastNew = account.newUids;
        lastSeen = account.seenUids;
    }

private:
    MailAccount& account;
    const bool ack;
    void (*const beforeLine)();
    UidSet lastNew, lastSeen;
    int changes = 0;
};

}  // namespace

void StayConnected(MailAccount& account, std::unique_ptr<MailSession> session, long seconds, bool ack,
                   void (*beforeLine)())
{
    ChangePrinter printer(account, ack, beforeLine);
    CheckEnvironment environment;
    // Every applied change or check ends with this notification, on this thread.
    environment.target.post = [&printer](WindowHandle, int command, int32_t) {
        if (command == ID_CHECK_FINISHED)
            printer.PrintIfChanged();
    };
    // The end comes as the notifier's exit does: every wait ends, the connection is closed.
    std::thread deadline([&account, seconds] {
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        account.stopRequested.store(kStopForExit);
    });
    while (account.stopRequested.load() == 0) {
        if (session && session->CanWaitForChanges()) {
            WatchForChanges(account, std::move(session), environment);
            continue;
        }
        if (session)
            session->Close();
        if (environment.pause(kPollMs, account.stopRequested))
            session = RunOneCheck(account, environment);
        environment.target.post(account.ownerWnd, ID_CHECK_FINISHED, account.Color);
    }
    if (session)
        session->Close();
    deadline.join();
}
