#include "setting/account_test_win.h"

bool AccountTestRunner::Start(const AccountSettings& account, HWND window, UINT doneMessage)
{
    if (thread.joinable())
        return false;
    stopFlag = 0;
    report = AccountTestReport();
    thread = std::thread([this, account, window, doneMessage] {
        report = TestAccount(account, &stopFlag, SystemTls(), SystemHttps());
        PostMessageW(window, doneMessage, 0, 0);
    });
    return true;
}

void AccountTestRunner::Stop()
{
    stopFlag = 1;
    if (thread.joinable())
        thread.join();
}

AccountTestReport AccountTestRunner::Collect()
{
    if (thread.joinable())
        thread.join();
    return report;
}
