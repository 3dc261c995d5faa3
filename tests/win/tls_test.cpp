// The TLS stream's bounds and the program's TLS accounts, against tests/support/tls_servers.py.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/https_post.h"
#include "platform/tcp_client.h"
#include "platform/tls_stream.h"
#include "program_driver_win.h"

namespace {

// Sets the flag 300 ms from now; the flag is looked at every 100 ms, so a stop is seen before 1300 ms.
std::thread StopSoon(std::atomic<int32_t>& stop)
{
    return std::thread([&stop] { Sleep(300); stop = 1; });
}

TEST(TlsStream, ALineTooLongIsRefusedAndASilentHandshakeEndsAtTheConnectBoundOrAtAStop)
{
    TcpClient tcp;
    std::unique_ptr<TlsStream> tls;
    ULONGLONG took = 0;
    // A handshake with a new connection to the server of this kind; took says how long it lasted.
    const auto handshake = [&](const char* kind, uint32_t connectMs, const std::atomic<int32_t>* stop) {
        tls.reset();
        tcp.Close();
        tcp.SetTimeouts(connectMs, 5000);
        tcp.SetStopFlag(stop);
        const char* trustFile = std::getenv("ZANTOLI_TLS_TRUST_PEM");
        const char* port = std::getenv((std::string("ZANTOLI_TLS_") + kind).c_str());
        if (!trustFile || !port || !InitSockets() || !tcp.Connect("localhost", std::atoi(port)))
            return TlsResult::HandshakeFailed;
        tls = std::make_unique<TlsStream>(tcp);
        took = GetTickCount64();
        const TlsResult result = tls->Handshake({"localhost", trustFile, ""});
        took = GetTickCount64() - took;
        return result;
    };
    ASSERT_EQ(handshake("GOOD", 5000, nullptr), TlsResult::Ok) << "run through tests/support/tls_servers.py";
    std::string line;
    EXPECT_EQ(tls->ReadLine(line, 512), LineStream::LineResult::Line);
    EXPECT_TRUE(tls->Send("NOOP " + std::string(3000, 'x') + "\r\n"));
    EXPECT_EQ(tls->ReadLine(line, 512), LineStream::LineResult::TooLong);

    EXPECT_EQ(handshake("SILENT", 1000, nullptr), TlsResult::HandshakeFailed);
    EXPECT_TRUE(took >= 900 && took < 3000) << took << " ms";  // the margin only absorbs a loaded machine
    std::atomic<int32_t> stop{0};
    std::thread stopper = StopSoon(stop);
    EXPECT_EQ(handshake("SILENT", 20000, &stop), TlsResult::Stopped);
    stopper.join();
    EXPECT_LT(took, 1300u);
}

// A token endpoint that never answers holds a check only until its stop (WinHTTP's own bounds are 10 s and more).
TEST(HttpsPostTest, ASilentTokenEndpointIsLeftAtAStop)
{
    const char* port = std::getenv("ZANTOLI_TLS_SILENT");
    ASSERT_NE(port, nullptr);
    std::atomic<int32_t> stop{0};
    std::thread stopper = StopSoon(stop);
    const ULONGLONG start = GetTickCount64();
    const HttpsReply reply = SystemHttps()(std::string("https://localhost:") + port + "/token", "x=1", "", &stop);
    const ULONGLONG took = GetTickCount64() - start;
    stopper.join();
    EXPECT_TRUE(!reply.delivered && reply.failure == "stopped" && took < 1300) << reply.failure << ", " << took << " ms";
}

// Every trust file no check can use is said so, each in its own write, and a check reading one never holds the exit.
TEST(TlsProgramTest, GoodAndUnusableTrustFilesAndTheExitStaysBounded)
{
    const char *port = std::getenv("ZANTOLI_TLS_GOOD"), *good = std::getenv("ZANTOLI_TLS_TRUST_PEM"),
               *bad = std::getenv("ZANTOLI_TLS_BAD_TRUST");
    ASSERT_TRUE(port && good && bad);
    ClearProgramProfile();
    std::istringstream list(std::string("good=") + good + "|" + bad);  // "reason=trust file|..."
    std::vector<std::string> reasons;
    for (std::string reason, file; std::getline(list, reason, '=') && std::getline(list, file, '|');) {
        const std::string section = "POP" + std::to_string(reasons.size());
        reasons.push_back(reason);
        for (const auto& [key, value] : std::vector<std::pair<const char*, std::string>>{
                 {"Account", "me"}, {"Passward", "secret"}, {"Address", "localhost"}, {"Port", port},
                 {"Security", "2"}, {"TrustFile", file}, {"Duration", "0"}, {"COLOR", "1"}})
            WriteProgramProfile(section, key, value);
    }
    WriteProgramProfile("GLOBAL", "POP_COUNT", std::to_string(reasons.size()));
    DebugMonitor monitor;
    ProgramProcess program;
    ASSERT_TRUE(monitor.Ready() && program.Start());
    const HWND character = program.WaitForCharacterWindow(20000);
    ASSERT_NE(character, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return program.EnvelopeWindows(character).size() == 1; }, 20000));
    for (size_t i = 1; i < reasons.size(); ++i)
        EXPECT_TRUE(monitor.WaitForWrite(program.Id(), "Trust file unusable: " + reasons[i], 20000)) << reasons[i];
    PostMessageA(character, WM_COMMAND, 57665, 0);
    DWORD code = 1;
    EXPECT_TRUE(program.WaitForExit(10000, code) && code == 0);  // Wine takes 2 s of it for the tray
    ClearProgramProfile();
}

}  // namespace
