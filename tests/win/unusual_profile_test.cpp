// The real program with a profile written by hand: a week's interval, a missing section, an
// interval beyond 32 bits of milliseconds and a mail program path of 10 KB, all in one run.
#include <winsock2.h>

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "character/command_ids.h"
#include "fake_pop3_server.h"
#include "platform/tcp_client.h"
#include "program_driver_win.h"

namespace {

constexpr int kWaitMs = 20000;

// A listener on 127.0.0.1:110, where an account without an address would connect, that never
// greets: a check that reached it would hold up every other check. Other programs on this
// machine may connect to it too, so what it accepts is not counted. The port may be held for a
// while by another program: binding waits for it, bounded.
class PortListener {
public:
    PortListener() : socket_(InitSockets() ? socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(110);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        listening = WaitUntil([&] { return bind(socket_, (sockaddr*)&address, sizeof address) == 0; }, kWaitMs) &&
                    listen(socket_, 8) == 0;
    }
    ~PortListener() { closesocket(socket_); }
    const SOCKET socket_;
    bool listening = false;
};

void WriteAccount(const std::string& section, int port, const char* duration)
{
    WriteProgramProfile(section, "Account", "user");
    WriteProgramProfile(section, "Address", "127.0.0.1");
    WriteProgramProfile(section, "Port", std::to_string(port));
    WriteProgramProfile(section, "Duration", duration);
}

TEST(UnusualProfile, ChecksFollowTheStartNeverReachThisMachineNorWrapAndALongMailerPathStartsNothing)
{
    ClearProgramProfile();
    FakePop3Server weekly({"uid-1"});
    FakePop3Server wrapping({"uid-1"});
    PortListener local;
    ASSERT_TRUE(weekly.Listening() && wrapping.Listening() && local.listening);
    DebugMonitor trace;
    ASSERT_TRUE(trace.Ready());
    // POP1 is missing: it loads with no address, port 110 and no login name.
    WriteProgramProfile("GLOBAL", "POP_COUNT", "3");
    WriteAccount("POP0", weekly.Port(), "10080");
    WriteAccount("POP2", wrapping.Port(), "71583");  // 2^32 ms and a little more
    const std::string mailer = "C:\\" + std::string(10240, 'm') + ".exe";
    WriteProgramProfile("GLOBAL", "MAILER", mailer);

    ProgramProcess program;
    ASSERT_TRUE(program.Start());
    const HWND character = program.WaitForCharacterWindow(kWaitMs);
    ASSERT_NE(character, nullptr);
    // Both are checked at once, one after the other, whatever their interval and the uptime.
    EXPECT_TRUE(WaitUntil([&] { return weekly.Connections() == 1 && wrapping.Connections() == 1; }, kWaitMs));
    PostMessageA(character, WM_COMMAND, ID_LAUNCH_MAILER, 0);
    EXPECT_TRUE(trace.WaitFor(program.Id(), "Mailer path too long", kWaitMs));

    // A wrapped interval would come back 12.7 s after the first check.
    EXPECT_FALSE(WaitUntil([&] { return wrapping.Connections() > 1; }, 16000));
    EXPECT_TRUE(wrapping.Connections() == 1 && weekly.Connections() == 1);
    int passedOver = 0;
    for (const std::string& write : trace.Writes(program.Id()))
        passedOver += write.find("POP1 is never checked: it has no server address") != std::string::npos;
    EXPECT_EQ(passedOver, 1);

    PostMessageA(character, WM_COMMAND, ID_APP_EXIT, 0);
    DWORD code = 99;
    EXPECT_TRUE(program.WaitForExit(kWaitMs, code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(ReadProgramProfile("GLOBAL", "WINDOW_POS"), std::to_string(ID_ZORDER_TOPMOST));
    EXPECT_EQ(ReadProgramProfile("GLOBAL", "MAILER"), mailer);
    ClearProgramProfile();
}

}  // namespace
