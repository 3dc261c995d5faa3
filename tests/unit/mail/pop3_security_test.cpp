// The protected conversation's steps against the scripted server, with a stand-in for TLS that
// passes the bytes through unchanged and reports the handshake's verdict it is given: what
// goes out before and after the handshake, and why a check fails.
#include <gtest/gtest.h>

#include "debug_capture.h"
#include "fake_pop3_server.h"
#include "mail/pop3_session.h"

namespace {

using Server = FakePop3Server;
using Strings = std::vector<std::string>;

// What the stand-in saw: the bytes sent through it, and the server's commands before it began.
struct TlsProbe {
    TlsResult verdict = TlsResult::Ok;
    std::string sentInside;
    size_t commandsBefore = 0;
    int handshakes = 0;
    int closes = 0;
    TlsOptions options;
};

class PassThroughTls : public TlsLayer {
public:
    PassThroughTls(TcpClient& tcp, TlsProbe& probe, const Server& server) : tcp(tcp), probe(probe), server(server) {}
    TlsResult Handshake(const TlsOptions& options) override
    {
        ++probe.handshakes;
        probe.options = options;
        probe.commandsBefore = server.Commands().size();
        return probe.verdict;
    }
    std::string CertificateDescription() const override { return "CN=test; issued by CN=ca"; }
    bool Send(const std::string& bytes) override
    {
        probe.sentInside += bytes;
        return tcp.Send(bytes);
    }
    LineResult ReadLine(std::string& line, size_t maxLength) override { return tcp.ReadLine(line, maxLength); }
    void Close() override { ++probe.closes; }

private:
    TcpClient& tcp;
    TlsProbe& probe;
    const Server& server;
};

struct CheckRun {
    CheckOutcome outcome;
    Strings commands;
    std::string trace;
};

CheckRun Check(Server& server, int security, TlsProbe* probe)
{
    AccountSettings account;
    account.Account = "me";
    account.Password = "secret";
    account.Address = "127.0.0.1";
    account.Port = server.Port();
    account.Security = security;
    account.Fingerprint = "AB:CD";
    DebugCapture trace;
    Pop3Session session(account, nullptr, 5000, 5000);
    if (probe)
        session.UseTls([probe, &server](TcpClient& tcp) { return std::unique_ptr<TlsLayer>(new PassThroughTls(tcp, *probe, server)); });
    CheckRun run{session.RunCheck(), {}, {}};
    run.commands = server.Commands();
    run.trace = trace.Text();
    return run;
}

const char kCapaWithStls[] = "+OK\r\nUSER\r\nSTLS\r\n.\r\n";

TEST(Pop3SecurityTest, StlsLogsInOnlyInsideTheStreamAndAsksTheCapabilitiesAgain)
{
    Server server({"a", "b"});
    server.Script("CAPA", Server::Say(kCapaWithStls));
    server.Script("STLS", Server::Say("+OK begin TLS\r\n"));
    TlsProbe probe;
    const CheckRun run = Check(server, kSecurityStls, &probe);
    EXPECT_EQ(run.outcome.result, CheckOutcome::Result::Listed);
    const Strings login = {"CAPA", "STLS", "CAPA", "USER me", "PASS secret", "STAT"};
    ASSERT_GT(run.commands.size(), login.size());
    EXPECT_EQ(Strings(run.commands.begin(), run.commands.begin() + 6), login);
    EXPECT_EQ(run.commands.back(), "QUIT");
    EXPECT_EQ(probe.commandsBefore, 2u);
    EXPECT_EQ("CAPA\r\nSTLS\r\n" + probe.sentInside, server.ReceivedBytes());
    EXPECT_EQ(probe.options.host, "127.0.0.1");
    EXPECT_EQ(probe.options.fingerprint, "AB:CD");
    EXPECT_EQ(probe.closes, 1);  // our close_notify after QUIT
    EXPECT_NE(run.trace.find("Server certificate: CN=test; issued by CN=ca\n"), std::string::npos);

    // TLS from the first byte: even the greeting comes through the stream.
    Server implicit({"a"});
    TlsProbe first;
    EXPECT_EQ(Check(implicit, kSecurityTls, &first).outcome.result, CheckOutcome::Result::Listed);
    EXPECT_EQ(first.commandsBefore, 0u);
    EXPECT_EQ(first.sentInside, implicit.ReceivedBytes());
}

TEST(Pop3SecurityTest, NeverFallsBackToPlainTextAndSaysWhy)
{
    struct Case {
        const char* what;
        int security;
        std::string capa;
        std::string stls;
        TlsResult verdict;
        bool withTls;
        Strings commands;
        std::string reason;
        std::string traced;
    };
    const Case cases[] = {
        {"STLS not offered", kSecurityStls, "+OK\r\nUSER\r\n.\r\n", "", TlsResult::Ok, true,
         {"CAPA"}, "server offers no STLS", "MSG: Server offers no STLS\n"},
        {"no capabilities at all", kSecurityStls, "-ERR what\r\n", "", TlsResult::Ok, true,
         {"CAPA"}, "server offers no STLS", "MSG: Server offers no STLS\n"},
        {"STLS refused", kSecurityStls, kCapaWithStls, "-ERR not now\r\n", TlsResult::Ok, true,
         {"CAPA", "STLS"}, "STLS refused", "MSG: -ERR not now\r\n"},
        {"untrusted after STLS", kSecurityStls, kCapaWithStls, "+OK\r\n", TlsResult::NotTrusted, true,
         {"CAPA", "STLS"}, "certificate not trusted", "MSG: Certificate not trusted\n"},
        {"no TLS server", kSecurityTls, "", "", TlsResult::HandshakeFailed, true,
         {}, "TLS handshake failed", "MSG: TLS handshake failed\n"},
        {"pin differs", kSecurityTls, "", "", TlsResult::FingerprintMismatch, true,
         {}, "fingerprint mismatch", "MSG: Fingerprint mismatch\n"},
        {"no TLS in this build", kSecurityTls, "", "", TlsResult::Ok, false,
         {}, "TLS is not available in this build", "MSG: TLS is not available in this build\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Server server({"a"});
        if (!c.capa.empty())
            server.Script("CAPA", Server::Say(c.capa));
        if (!c.stls.empty())
            server.Script("STLS", Server::Say(c.stls));
        TlsProbe probe;
        probe.verdict = c.verdict;
        const CheckRun run = Check(server, c.security, c.withTls ? &probe : nullptr);
        EXPECT_EQ(run.outcome.result, CheckOutcome::Result::Failed);
        EXPECT_EQ(run.outcome.reason, c.reason);
        EXPECT_EQ(run.commands, c.commands);
        EXPECT_EQ(server.ReceivedBytes().find("USER"), std::string::npos);
        EXPECT_NE(run.trace.find("Bad Connection\n" + c.traced), std::string::npos) << run.trace;
    }
}

}  // namespace
