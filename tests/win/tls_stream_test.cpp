// The TLS stream's own rules against real loopback TLS servers (started around this program by
// tests/support/tls_servers.py, which passes their ports and trust files in the environment);
// the certificate's verdicts are tested through pop3check in tests/e2e/tls_check_test.py.
// Certificates name "localhost": the system does not match IP addresses in a certificate.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/tcp_client.h"
#include "platform/tls_stream.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Env(const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    return value ? value : "";
}

int Port(const char* kind)
{
    return std::atoi(Env(std::string("ZANTOLI_TLS_") + kind).c_str());
}

long long MsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

class TlsStreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InitSockets());
        ASSERT_NE(Port("GOOD"), 0) << "run through tests/support/tls_servers.py";
    }
    const TlsOptions trusted{"localhost", Env("ZANTOLI_TLS_TRUST_PEM"), ""};
};

TEST_F(TlsStreamTest, ALineTooLongForOneLimitIsKeptForALargerOne)
{
    TcpClient tcp(5000, 5000);
    ASSERT_TRUE(tcp.Connect("localhost", Port("GOOD")));
    TlsStream tls(tcp);
    ASSERT_EQ(tls.Handshake(trusted), TlsResult::Ok);
    std::string line;
    EXPECT_EQ(tls.ReadLine(line, 512), LineStream::LineResult::Line);
    const std::string longLine = "NOOP " + std::string(3000, 'x') + "\r\n";
    EXPECT_TRUE(tls.Send(longLine));
    EXPECT_EQ(tls.ReadLine(line, 512), LineStream::LineResult::TooLong);
    EXPECT_EQ(tls.ReadLine(line, 4096), LineStream::LineResult::Line);
    EXPECT_EQ(line, "+OK " + longLine);
}

TEST_F(TlsStreamTest, HandshakeWithASilentServerEndsAtTheConnectBoundOrAtAStop)
{
    {
        TcpClient tcp(1000, 5000);
        ASSERT_TRUE(tcp.Connect("localhost", Port("SILENT")));
        TlsStream tls(tcp);
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(tls.Handshake(trusted), TlsResult::HandshakeFailed);
        const long long took = MsBetween(start, Clock::now());
        std::printf("silent server: handshake given up after %lld ms (bound 1000)\n", took);
        EXPECT_GE(took, 900);
        EXPECT_LT(took, 3000);  // the margin only absorbs a loaded machine
    }
    std::atomic<int32_t> stop{0};
    TcpClient tcp(20000, 20000);
    tcp.SetStopFlag(&stop);
    ASSERT_TRUE(tcp.Connect("localhost", Port("SILENT")));
    TlsStream tls(tcp);
    Clock::time_point stoppedAt;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stoppedAt = Clock::now();
        stop = 1;
    });
    EXPECT_EQ(tls.Handshake(trusted), TlsResult::Stopped);
    const Clock::time_point returned = Clock::now();
    stopper.join();
    std::printf("silent server: handshake ended %lld ms after the stop\n", MsBetween(stoppedAt, returned));
    EXPECT_LT(MsBetween(stoppedAt, returned), 1000);  // the flag is looked at every 100 ms; far below 20 s
}

}  // namespace
