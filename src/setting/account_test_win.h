#pragma once
// Runs the account dialog's Test on a thread of its own, so that the dialog stays responsive,
// and tells the dialog with a posted message when the report is ready.
#include <windows.h>

#include <atomic>
#include <thread>

#include "setting/account_test.h"

class AccountTestRunner {
public:
    AccountTestRunner() = default;
    ~AccountTestRunner() { Stop(); }
    AccountTestRunner(const AccountTestRunner&) = delete;
    AccountTestRunner& operator=(const AccountTestRunner&) = delete;

    // Starts a test of account; doneMessage is posted to window when it ends. False while one
    // runs or has not been collected.
    bool Start(const AccountSettings& account, HWND window, UINT doneMessage);
    bool Busy() const { return thread.joinable(); }
    // Asks the running test to end; its report ("stopped") follows within about 100 ms.
    void RequestStop() { stopFlag = 1; }
    // Ends the test and waits for it: the connection looks at the stop flag every 100 ms and
    // a slow name lookup is left behind, so this is short.
    void Stop();
    // The report of the test whose message arrived.
    AccountTestReport Collect();

private:
    std::thread thread;
    std::atomic<int32_t> stopFlag{0};
    AccountTestReport report;  // written by the thread before it posts; read after the join
};
