// The TLS stream's bounds and the program with a TLS account, against tests/support/tls_servers.py
// (verdicts: tests/e2e/dovecot_check_test.py). "localhost": IP addresses in certificates never match.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

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

}  // namespace
