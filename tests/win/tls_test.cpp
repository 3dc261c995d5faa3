// The TLS stream's bounds and the program with TLS accounts, against tests/support/tls_servers.py
// (verdicts: tests/e2e/dovecot_check_test.py). The certificates name "localhost".
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/tcp_client.h"
#include "platform/tls_stream.h"
#include "program_driver_win.h"

namespace {

class TlsStreamTest : public ::testing::Test {
protected:
    // A handshake with a new connection to the server of this kind; took says how long it lasted.
    TlsResult Handshake(const char* kind, uint32_t connectMs, const std::atomic<int32_t>* stop = nullptr)
    {
        tls.reset();
        tcp.Close();
        tcp.SetTimeouts(connectMs, 5000);
        tcp.SetStopFlag(stop);
        const char* trustFile = std::getenv("ZANTOLI_TLS_TRUST_PEM");
        const char* port = std::getenv((std::string("ZANTOLI_TLS_") + kind).c_str());
        if (!trustFile || !port || !InitSockets() || !tcp.Connect("localhost", std::atoi(port)))
            return TlsResult::HandshakeFailed;
        tls = std::make_unique<TlsStream>(tcp);
        const auto start = std::chrono::steady_clock::now();
        const TlsResult result = tls->Handshake({"localhost", trustFile, ""});
        took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        return result;
    }

    TcpClient tcp;
    std::unique_ptr<TlsStream> tls;
    long long took = 0;
};

TEST_F(TlsStreamTest, ALineTooLongForTheCallersLimitIsRefusedNotGatheredWithoutEnd)
{
    ASSERT_EQ(Handshake("GOOD", 5000), TlsResult::Ok) << "run through tests/support/tls_servers.py";
    std::string line;
    EXPECT_EQ(tls->ReadLine(line, 512), LineStream::LineResult::Line);
    EXPECT_TRUE(tls->Send("NOOP " + std::string(3000, 'x') + "\r\n"));
    EXPECT_EQ(tls->ReadLine(line, 512), LineStream::LineResult::TooLong);
}

TEST_F(TlsStreamTest, ASilentHandshakeEndsAtTheConnectBoundOrAtAStop)
{
    EXPECT_EQ(Handshake("SILENT", 1000), TlsResult::HandshakeFailed);
    std::printf("silent server: handshake given up after %lld ms (bound 1000)\n", took);
    EXPECT_GE(took, 900);
    EXPECT_LT(took, 3000);  // the margin only absorbs a loaded machine

    std::atomic<int32_t> stop{0};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop = 1;
    });
    EXPECT_EQ(Handshake("SILENT", 20000, &stop), TlsResult::Stopped);
    stopper.join();
    std::printf("silent server: handshake stopped after %lld ms, the stop coming at 300 ms\n", took);
    EXPECT_LT(took, 1300);  // the flag is looked at every 100 ms; far below the 20 s bound
}

TEST(TlsProgramTest, ATlsAccountsNewMailShowsAnEnvelope)
{
    const char *port = std::getenv("ZANTOLI_TLS_GOOD"), *trustFile = std::getenv("ZANTOLI_TLS_TRUST_PEM");
    ASSERT_TRUE(port && trustFile);
    ClearProgramProfile();
    WriteProgramProfile("GLOBAL", "POP_COUNT", "1");
    const std::pair<const char*, std::string> values[] = {
        {"Account", "me"}, {"Passward", "secret"}, {"Address", "localhost"}, {"Port", port},
        {"Security", "2"}, {"TrustFile", trustFile}, {"Duration", "0"}, {"COLOR", "1"}};
    for (const auto& value : values)
        WriteProgramProfile("POP0", value.first, value.second);
    ProgramProcess program;
    ASSERT_TRUE(program.Start());
    const HWND character = program.WaitForCharacterWindow(20000);
    ASSERT_NE(character, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return program.EnvelopeWindows(character).size() == 1; }, 20000));
    program.Kill();
    ClearProgramProfile();
}

// Every trust file no check can use is said so, and a check reading one never holds the exit.
TEST(TlsProgramTest, UnusableTrustFilesFailTheirChecksAndTheExitStaysBounded)
{
    const char *port = std::getenv("ZANTOLI_TLS_GOOD"), *bad = std::getenv("ZANTOLI_TLS_BAD_TRUST");
    ASSERT_TRUE(port && bad);
    ClearProgramProfile();
    std::vector<std::string> reasons;
    std::string list = bad;
    for (size_t begin = 0, end; begin < list.size(); begin = end + 1) {
        end = std::min(list.find('|', begin), list.size());
        const std::string entry = list.substr(begin, end - begin);
        const size_t equals = entry.find('=');
        const std::string section = "POP" + std::to_string(reasons.size());
        reasons.push_back(entry.substr(0, equals));
        const std::pair<const char*, std::string> values[] = {
            {"Account", "me"}, {"Passward", "secret"}, {"Address", "localhost"}, {"Port", port},
            {"Security", "2"}, {"TrustFile", entry.substr(equals + 1)}, {"Duration", "0"}};
        for (const auto& value : values)
            WriteProgramProfile(section, value.first, value.second);
    }
    WriteProgramProfile("GLOBAL", "POP_COUNT", std::to_string(reasons.size()));
    DebugMonitor monitor;
    ProgramProcess program;
    ASSERT_TRUE(monitor.Ready() && program.Start());
    const HWND character = program.WaitForCharacterWindow(20000);
    ASSERT_NE(character, nullptr);
    const auto traced = [&](const std::string& text) {
        for (const std::string& write : monitor.Writes(program.Id()))
            if (write == text)
                return true;
        return false;
    };
    for (const std::string& reason : reasons)
        EXPECT_TRUE(WaitUntil([&] { return traced("Trust file unusable: " + reason); }, 20000)) << reason;
    EXPECT_FALSE(traced("USER me\r\n"));
    const auto exitAt = std::chrono::steady_clock::now();
    PostMessageA(character, WM_COMMAND, 57665, 0);
    DWORD code = 1;
    EXPECT_TRUE(program.WaitForExit(10000, code) && code == 0);
    std::printf("exit while trust files are read: %lld ms (Wine adds 2 s for the tray)\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - exitAt).count()));
    ClearProgramProfile();
}

}  // namespace
