// The TLS stream against real loopback TLS servers (started around this program by
// tests/support/tls_servers.py, which passes their ports and trust files in the environment).
// Certificates name "localhost": the system does not match IP addresses in a certificate.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cctype>
#include <cstdlib>
#include <thread>

#include "platform/tcp_client.h"
#include "platform/tls_stream.h"

namespace {

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

int Port(const char* kind)
{
    return std::atoi(Env((std::string("ZANTOLI_TLS_") + kind).c_str()).c_str());
}

class TlsStreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InitSockets());
        ASSERT_NE(Port("GOOD"), 0) << "run through tests/support/tls_servers.py";
    }

    // Reads one line and gives it, or why there was none.
    static std::string Line(LineStream& stream)
    {
        std::string line;
        const LineStream::LineResult result = stream.ReadLine(line, 512);
        return result == LineStream::LineResult::Line ? line
                                                     : "(result " + std::to_string(int(result)) + ")";
    }

    const std::string trustPem = Env("ZANTOLI_TLS_TRUST_PEM");
    const std::string trustDer = Env("ZANTOLI_TLS_TRUST_DER");
    const std::string otherTrust = Env("ZANTOLI_TLS_OTHER_TRUST");
    const std::string otherFingerprint = Env("ZANTOLI_TLS_OTHER_FINGERPRINT");
};

TEST_F(TlsStreamTest, AcceptsExactlyTheCertificatesTheAccountTrusts)
{
    // A trusted certificate whose fingerprint is not the pinned one: the pin decides.
    const std::string wrongPin = "00" + otherFingerprint.substr(2);
    struct Case {
        const char* what;
        const char* server;
        std::string trustFile;
        std::string fingerprint;
        TlsResult expected;
    } cases[] = {
        {"chain to the trust file's CA (PEM)", "GOOD", trustPem, "", TlsResult::Ok},
        {"chain to the trust file's CA (DER)", "GOOD", trustDer, "", TlsResult::Ok},
        {"test CA is not among the system's roots", "GOOD", "", "", TlsResult::NotTrusted},
        {"signed by another CA", "OTHER_CA", trustPem, "", TlsResult::NotTrusted},
        {"trust file of another CA only", "GOOD", otherTrust, "", TlsResult::NotTrusted},
        {"trust file that does not exist", "GOOD", trustPem + ".missing", "", TlsResult::NotTrusted},
        {"certificate for another name", "WRONG_NAME", trustPem, "", TlsResult::NameMismatch},
        {"expired certificate", "EXPIRED", trustPem, "", TlsResult::Expired},
        {"pinned, whoever signed it", "OTHER_CA", "", otherFingerprint, TlsResult::Ok},
        {"pinned in lower case without colons", "OTHER_CA", "", "", TlsResult::Ok},
        {"pin differs from a trusted certificate", "GOOD", trustPem, wrongPin,
         TlsResult::FingerprintMismatch},
        {"plain-text server", "STLS", trustPem, "", TlsResult::HandshakeFailed},
    };
    // The lower-case pin of the row above, derived here to keep the table readable.
    for (char c : otherFingerprint)
        if (c != ':')
            cases[9].fingerprint.push_back(char(std::tolower(static_cast<unsigned char>(c))));

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TcpClient tcp(5000, 5000);
        ASSERT_TRUE(tcp.Connect("localhost", Port(c.server)));
        TlsStream tls(tcp);
        EXPECT_EQ(TlsResultText(tls.Handshake({"localhost", c.trustFile, c.fingerprint})),
                  std::string(TlsResultText(c.expected)));
        // The certificate is described whether or not it passed.
        if (c.expected != TlsResult::HandshakeFailed) {
            EXPECT_NE(tls.CertificateDescription().find("; SHA-256 "), std::string::npos);
        }
        if (c.expected == TlsResult::Ok) {
            EXPECT_EQ(Line(tls), "+OK ready\r\n");
            EXPECT_TRUE(tls.Send("NOOP\r\n"));
            EXPECT_EQ(Line(tls), "+OK NOOP\r\n");
        } else {
            // Nothing can be sent over a refused session.
            EXPECT_FALSE(tls.Send("USER x\r\n"));
        }
        tls.Close();
    }
}

TEST_F(TlsStreamTest, DescribesTheServerCertificate)
{
    TcpClient tcp(5000, 5000);
    ASSERT_TRUE(tcp.Connect("localhost", Port("OTHER_CA")));
    TlsStream tls(tcp);
    EXPECT_EQ(tls.Handshake({"localhost", "", ""}), TlsResult::NotTrusted);
    const std::string& text = tls.CertificateDescription();
    std::printf("Server certificate: %s\n", text.c_str());
    EXPECT_EQ(text.rfind("CN=localhost; issued by CN=Zantoli Other CA; valid until 20", 0), 0u);
    EXPECT_NE(text.find(" UTC; SHA-256 " + otherFingerprint), std::string::npos);
}

TEST_F(TlsStreamTest, StartsOnAConnectionThatSpokePlainText)
{
    TcpClient tcp(5000, 5000);
    ASSERT_TRUE(tcp.Connect("localhost", Port("STLS")));
    EXPECT_EQ(Line(tcp), "+OK plain\r\n");
    ASSERT_TRUE(tcp.Send("STLS\r\n"));
    EXPECT_EQ(Line(tcp), "+OK begin TLS\r\n");
    TlsStream tls(tcp);
    ASSERT_EQ(tls.Handshake({"localhost", trustPem, ""}), TlsResult::Ok);
    // A line longer than the caller's limit is refused, and can then be read with a larger one.
    const std::string longLine = "NOOP " + std::string(3000, 'x') + "\r\n";
    EXPECT_TRUE(tls.Send(longLine));
    EXPECT_EQ(Line(tls), "(result " + std::to_string(int(LineStream::LineResult::TooLong)) + ")");
    std::string line;
    EXPECT_EQ(tls.ReadLine(line, 4096), LineStream::LineResult::Line);
    EXPECT_EQ(line, "+OK " + longLine);
}

TEST_F(TlsStreamTest, EndsCleanlyWhetherOrNotTheServerSendsCloseNotify)
{
    for (const char* farewell : {"QUIT\r\n", "BYE\r\n"}) {  // BYE: with close_notify
        SCOPED_TRACE(farewell);
        TcpClient tcp(5000, 5000);
        ASSERT_TRUE(tcp.Connect("localhost", Port("GOOD")));
        TlsStream tls(tcp);
        ASSERT_EQ(tls.Handshake({"localhost", trustPem, ""}), TlsResult::Ok);
        EXPECT_EQ(Line(tls), "+OK ready\r\n");
        EXPECT_TRUE(tls.Send(farewell));
        EXPECT_EQ(Line(tls), "+OK bye\r\n");
        std::string line;
        EXPECT_EQ(tls.ReadLine(line, 512), LineStream::LineResult::Closed);
        tls.Close();  // our close_notify, perhaps to a closed socket: it must not wait
    }
}

TEST_F(TlsStreamTest, HandshakeWithASilentServerEndsAtTheConnectBoundOrAtAStop)
{
    using Clock = std::chrono::steady_clock;
    auto elapsedMs = [](Clock::time_point since) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
    };
    {
        TcpClient tcp(1000, 5000);
        ASSERT_TRUE(tcp.Connect("localhost", Port("SILENT")));
        TlsStream tls(tcp);
        const Clock::time_point start = Clock::now();
        EXPECT_EQ(tls.Handshake({"localhost", trustPem, ""}), TlsResult::HandshakeFailed);
        const auto took = elapsedMs(start);
        std::printf("silent server: handshake given up after %lld ms (bound 1000)\n", (long long)took);
        EXPECT_GE(took, 900);
        EXPECT_LT(took, 3000);  // the margin only absorbs a loaded machine
    }
    {
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
        const TlsResult result = tls.Handshake({"localhost", trustPem, ""});
        const Clock::time_point returned = Clock::now();
        stopper.join();
        const auto afterStop =
            std::chrono::duration_cast<std::chrono::milliseconds>(returned - stoppedAt).count();
        std::printf("silent server: handshake ended %lld ms after the stop\n", (long long)afterStop);
        EXPECT_EQ(result, TlsResult::Stopped);
        EXPECT_LT(afterStop, 1000);  // the flag is looked at every 100 ms; far below 20 s
    }
}

}  // namespace
