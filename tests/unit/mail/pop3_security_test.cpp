// The protected conversation's steps against the scripted server, with a stand-in for TLS that
// passes the bytes through unchanged and reports the verdict it is given: what goes out before
// and after the handshake, and why a check fails.
#include <gtest/gtest.h>

#include "debug_capture.h"
#include "fake_pop3_server.h"
#include "mail/pop3_session.h"

namespace {

using Server = FakePop3Server;
using Strings = std::vector<std::string>;

// What the stand-in was told and saw: the server's commands before the handshake, the bytes
// sent inside the stream, and how often our close_notify went out.
struct TlsProbe {
    TlsResult verdict = TlsResult::Ok;
    TlsOptions options;
    size_t commandsBefore = 99;
    std::string sentInside;
    int closes = 0;
};

class PassThroughTls : public TlsLayer {
public:
    PassThroughTls(TcpClient& tcp, TlsProbe& probe, const Server& server) : tcp(tcp), probe(probe), server(server) {}
    TlsResult Handshake(const TlsOptions& options) override
    {
        probe.options = options;
        probe.commandsBefore = server.Commands().size();
        return probe.verdict;
    }
    std::string CertificateDescription() const override { return "CN=test; issued by CN=ca"; }
    bool Send(const std::string& bytes) override { return probe.sentInside += bytes, tcp.Send(bytes); }
    LineResult ReadLine(std::string& line, size_t maxLength) override { return tcp.ReadLine(line, maxLength); }
    void Close() override { ++probe.closes; }

private:
    TcpClient& tcp;
    TlsProbe& probe;
    const Server& server;
};

// One check of "me" with the protection; probe null: a build without TLS.
CheckOutcome Check(const Server& server, int security, TlsProbe* probe, std::string& trace)
{
    const AccountSettings account{"me", "127.0.0.1", "secret", 0, 0, server.Port(), security, "", "AB:CD"};
    DebugCapture capture;
    Pop3Session session(account, nullptr, 5000, 5000);
    if (probe)
        session.UseTls([probe, &server](TcpClient& tcp) { return std::make_unique<PassThroughTls>(tcp, *probe, server); });
    const CheckOutcome outcome = session.RunCheck();
    trace = capture.Text();
    return outcome;
}

const char kCapaWithStls[] = "+OK\r\nUSER\r\nSTLS\r\n.\r\n";

TEST(Pop3SecurityTest, LogsInOnlyInsideTheStreamAndAsksTheCapabilitiesAgainAfterStls)
{
    Server server({"a", "b"});
    server.Script("CAPA", Server::Say(kCapaWithStls));
    server.Script("STLS", Server::Say("+OK begin TLS\r\n"));
    TlsProbe probe;
    std::string trace;
    EXPECT_EQ(Check(server, kSecurityStls, &probe, trace).result, CheckOutcome::Result::Listed);
    const Strings commands = server.Commands();
    ASSERT_GT(commands.size(), 6u);
    EXPECT_EQ(Strings(commands.begin(), commands.begin() + 6),
              (Strings{"CAPA", "STLS", "CAPA", "USER me", "PASS secret", "STAT"}));
    EXPECT_EQ(probe.commandsBefore, 2u);
    EXPECT_EQ("CAPA\r\nSTLS\r\n" + probe.sentInside, server.ReceivedBytes());
    EXPECT_EQ(probe.options.host + " " + probe.options.fingerprint, "127.0.0.1 AB:CD");
    EXPECT_EQ(probe.closes, 1);  // after QUIT
    EXPECT_NE(trace.find("Server certificate: CN=test; issued by CN=ca\n"), std::string::npos);

    Server implicit({"a"});  // TLS from the first byte: even the greeting comes through the stream
    TlsProbe first;
    EXPECT_EQ(Check(implicit, kSecurityTls, &first, trace).result, CheckOutcome::Result::Listed);
    EXPECT_EQ(first.commandsBefore, 0u);
    EXPECT_EQ(first.sentInside, implicit.ReceivedBytes());
}

TEST(Pop3SecurityTest, NeverFallsBackToPlainTextAndSaysWhy)
{
    struct Case {
        int security;
        std::string capa, stls;
        TlsResult verdict;
        bool withTls;
        Strings commands;
        std::string reason, traced;
    } const cases[] = {
        {kSecurityStls, "+OK\r\nUSER\r\n.\r\n", "", TlsResult::Ok, true, {"CAPA"}, "server offers no STLS",
         "Server offers no STLS"},
        {kSecurityStls, "-ERR what\r\n", "", TlsResult::Ok, true, {"CAPA"}, "server offers no STLS",
         "Server offers no STLS"},
        {kSecurityStls, kCapaWithStls, "-ERR not now\r\n", TlsResult::Ok, true, {"CAPA", "STLS"}, "STLS refused",
         "-ERR not now\r"},
        {kSecurityStls, kCapaWithStls, "+OK\r\n", TlsResult::NotTrusted, true, {"CAPA", "STLS"},
         "certificate not trusted", "Certificate not trusted"},
        {kSecurityTls, "", "", TlsResult::HandshakeFailed, true, {}, "TLS handshake failed", "TLS handshake failed"},
        {kSecurityTls, "", "", TlsResult::FingerprintMismatch, true, {}, "fingerprint mismatch",
         "Fingerprint mismatch"},
        {kSecurityTls, "", "", TlsResult::Ok, false, {}, "TLS is not available in this build",
         "TLS is not available in this build"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.traced);
        Server server({"a"});
        if (!c.capa.empty())
            server.Script("CAPA", Server::Say(c.capa));
        if (!c.stls.empty())
            server.Script("STLS", Server::Say(c.stls));
        TlsProbe probe;
        probe.verdict = c.verdict;
        std::string trace;
        const CheckOutcome outcome = Check(server, c.security, c.withTls ? &probe : nullptr, trace);
        EXPECT_EQ(outcome.result, CheckOutcome::Result::Failed);
        EXPECT_EQ(outcome.reason, c.reason);
        EXPECT_EQ(server.Commands(), c.commands);
        EXPECT_NE(trace.find("Bad Connection\nMSG: " + c.traced + "\n"), std::string::npos) << trace;
    }
}

}  // namespace
