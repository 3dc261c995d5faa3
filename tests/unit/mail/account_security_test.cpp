// An account's protection in the profile, and in the check against the scripted server with a
// stand-in for TLS that passes the bytes through and reports the verdict it is given.
#include <gtest/gtest.h>

#include "debug_capture.h"
#include "fake_pop3_server.h"
#include "mail/pop3/pop3_session.h"

namespace {

using Server = FakePop3Server;

// The stand-in's verdict, the bytes sent through it, and how often our close_notify went out.
struct TlsProbe {
    TlsResult verdict = TlsResult::Ok;
    std::string sentInside;
    int closes = 0;
};

class PassThroughTls : public TlsLayer {
public:
    PassThroughTls(TcpClient& tcp, TlsProbe& probe) : tcp(tcp), probe(probe) {}
    TlsResult Handshake(const TlsOptions&) override { return probe.verdict; }
    std::string CertificateDescription() const override { return ""; }
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
};

const char kCapaWithStls[] = "+OK\r\nUSER\r\nSTLS\r\n.\r\n";

// Before a successful handshake only CAPA and STLS go out; there is never a fall back to plain text.
TEST(Pop3SecurityTest, LogsInOnlyInsideTheStreamOrFailsAndSaysWhy)
{
    struct Case {
        int security;
        std::string capa, stls;
        TlsResult verdict;
        bool withTls;  // false: a build without TLS
        std::string sent, reason, traced;
    } const cases[] = {
        {kSecurityStls, kCapaWithStls, "+OK begin TLS\r\n", TlsResult::Ok, true, "CAPA\r\nSTLS\r\n", "", ""},
        {kSecurityStls, "+OK\r\nUSER\r\n.\r\n", "", TlsResult::Ok, true, "CAPA\r\n", "server offers no STLS",
         "Server offers no STLS"},
        {kSecurityStls, kCapaWithStls, "-ERR not now\r\n", TlsResult::Ok, true, "CAPA\r\nSTLS\r\n", "STLS refused",
         "-ERR not now\r"},
        {kSecurityStls, kCapaWithStls, "+OK\r\n", TlsResult::NotTrusted, true, "CAPA\r\nSTLS\r\n",
         "certificate not trusted", "Certificate not trusted"},
        {kSecurityTls, "", "", TlsResult::HandshakeFailed, true, "", "TLS handshake failed", "TLS handshake failed"},
        {kSecurityTls, "", "", TlsResult::FingerprintMismatch, true, "", "fingerprint mismatch",
         "Fingerprint mismatch"},
        {kSecurityTls, "", "", TlsResult::Ok, false, "", "TLS is not available in this build",
         "TLS is not available in this build"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.traced);
        Server server({"a"});
        server.Script("CAPA", Server::Say(c.capa));  // an empty reply only where never asked
        server.Script("STLS", Server::Say(c.stls));
        TlsProbe probe{c.verdict, "", 0};
        AccountSettings account;
        account.Account = "me";
        account.Address = "127.0.0.1";
        account.Password = "secret";
        account.Port = server.Port();
        account.Security = c.security;
        DebugCapture trace;
        Pop3Session session(account, nullptr, nullptr, 5000, 5000);
        if (c.withTls)
            session.UseTls([&probe](TcpClient& tcp) { return std::make_unique<PassThroughTls>(tcp, probe); });
        const CheckOutcome outcome = session.RunCheck();
        EXPECT_EQ(outcome.reason, c.reason);
        EXPECT_EQ(server.ReceivedBytes(), c.sent + probe.sentInside);
        if (c.reason.empty()) {  // the capabilities are asked again inside the stream; closed after QUIT
            EXPECT_EQ(outcome.result, CheckOutcome::Result::Listed);
            EXPECT_EQ(probe.sentInside.rfind("CAPA\r\nUSER me\r\nPASS secret\r\nSTAT\r\n", 0), 0u);
            EXPECT_EQ(probe.closes, 1);
            continue;
        }
        EXPECT_EQ(outcome.result, CheckOutcome::Result::Failed);
        EXPECT_EQ(probe.sentInside, "");
        EXPECT_NE(trace.Text().find("Bad Connection\nMSG: " + c.traced + "\n"), std::string::npos) << trace.Text();
    }
}

}  // namespace
