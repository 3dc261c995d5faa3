#include "mail/pop3/pop3_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <tuple>

#include "debug_capture.h"
#include "pass_through_tls.h"
#include "mail_test_helpers.h"

namespace {

using Result = CheckOutcome::Result;
using Server = FakePop3Server;

const char kMultiLine[] = "-ERR no CAPA\r\n";  // no capabilities: the listing comes at once

class Pop3SessionTest : public ::testing::Test {
protected:
    Pop3SessionTest()
    {
        account.Account = "me";
        account.Address = "127.0.0.1";
        account.Password = "secret";
        account.newUids = {"old\r\n"};
        account.seenUids = {"acknowledged\r\n"};
    }

    MailAccount account;
    DebugCapture trace;
};

// Every listing path stores the same bytes for a message, first time and remembered.
TEST_F(Pop3SessionTest, EveryListingPathStoresTheSameUidsInFewRoundTrips)
{
    const std::vector<std::string> uids = {"a", "b c", "d ", "   e", "f\tg", std::string("h\0i", 3), "acknowledged"};
    const UidSet expected = {"a\r\n", "b", "d", "e\r\n", "f\tg\r\n", "h"};
    const std::string login = "CAPA\r\nUSER me\r\nPASS secret\r\n", atOnce = "STAT\r\nUIDL\r\nQUIT\r\n";
    const std::string byNumber =
        "STAT\r\nUIDL 1\r\nUIDL 2\r\nUIDL 3\r\nUIDL 4\r\nUIDL 5\r\nUIDL 6\r\nUIDL 7\r\nQUIT\r\n";
    // CAPA's reply (null: the default, with PIPELINING), UIDL's (null: the listing), what two checks send and wait.
    struct Case { const char *capa, *uidl; std::string first, again; int waits, waitsAgain; };
    const Case cases[] = {
        {nullptr, nullptr, login + atOnce, login + atOnce, 5, 4},
        {"+OK\r\npipelining\r\n.\r\n", nullptr, login + atOnce, login + atOnce, 5, 4},
        {kMultiLine, nullptr, login + atOnce, login + atOnce, 8, 8},
        {"+OK\r\nPIPELININGX\r\nSASL PIPELINING\r\n.\r\n", nullptr, login + atOnce, login + atOnce, 8, 8},
        {"+OK\r\n PIPELINING\r\n.\r\n", nullptr, login + atOnce, login + atOnce, 8, 8},  // unsound list
        // By number; with PIPELINING on a new connection, since QUIT went out with UIDL.
        {kMultiLine, "-ERR use UIDL n\r\n", login + "STAT\r\nUIDL\r\n" + byNumber.substr(6), login + byNumber, 15, 14},
        {nullptr, "-ERR use UIDL n\r\n", login + atOnce + login + byNumber, login + byNumber, 12, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.capa ? c.capa : "PIPELINING") + (c.uidl ? c.uidl : ""));
        Server server(uids);
        if (c.capa)
            server.Script("CAPA", Server::Say(c.capa));
        if (c.uidl)
            server.Script("UIDL", Server::Say(c.uidl));
        account.memory = SessionMemory();
        for (int check = 0; check < 2; ++check) {
            account.newUids.clear();
            EXPECT_TRUE(CheckAgainst(account, server).result == Result::Listed && account.newUids == expected &&
                        account.seenUids == UidSet{"acknowledged\r\n"}) << "check " << check;
        }
        EXPECT_EQ(server.ReceivedBytes(), c.first + c.again);
        EXPECT_EQ(server.Waits(), c.waits + c.waitsAgain);
    }
    // Commands are traced as sent, the password masked; replies but the listing's own lines.
    const std::string traced = "Command Normal End\nMSG: +OK fake POP3 server ready\r\n\nCAPA\r\n\n"
                               "Command Normal End\nMSG: +OK\r\n\nUSER me\r\n\nPASS ****\r\n\n"
                               "Command Normal End\nMSG: +OK\r\n\nCommand Normal End\nMSG: +OK logged in\r\n\n"
                               "STAT\r\n\nUIDL\r\n\nQUIT\r\n\nCommand Normal End\nMSG: +OK 7 700\r\n\n"
                               "Command Normal End\nMSG: +OK\r\n\nCommand Normal End\nMSG: +OK bye\r\n\n"
                               "Command Normal End\nMSG: +OK fake POP3 server ready\r\n\nCAPA\r\n\nUSER me\r\n\nPASS ****\r\n\n";
    EXPECT_EQ(trace.Text().substr(0, traced.size()), traced);
    EXPECT_TRUE(trace.Text().find("secret") == std::string::npos && trace.Text().find("acknowledged\r\n") == std::string::npos)
        << "the password or a listing line was traced";
}

// Nothing follows PASS before its reply; changed capabilities fail one check, the next asks again.
TEST_F(Pop3SessionTest, NothingAfterPassAndRememberedCapabilitiesAreCheckedAgain)
{
    Server server({"a", "b"});
    server.DropAfterLogin();
    const auto sentByNextCheck = [&](Result result, const char* reason) {
        const size_t before = server.ReceivedBytes().size();
        const CheckOutcome outcome = CheckAgainst(account, server);
        EXPECT_TRUE(outcome.result == result && outcome.reason == reason) << outcome.reason;
        return server.ReceivedBytes().substr(before);
    };
    const std::string login = "CAPA\r\nUSER me\r\nPASS secret\r\n";
    for (int check = 0; check < 2; ++check)
        EXPECT_EQ(sentByNextCheck(Result::Listed, ""), login + "STAT\r\nUIDL\r\nQUIT\r\n");
    EXPECT_EQ(account.newUids, (UidSet{"a\r\n", "b\r\n"}));
    server.Script("PASS ", Server::Say("-ERR wrong\r\n"));
    EXPECT_EQ(sentByNextCheck(Result::Failed, "login refused"), login);
    server.Script("PASS ", Server::Say("+OK\r\n"));
    server.Script("CAPA", Server::Say("+OK\r\nPIPELINING\r\n.\r\n"));
    EXPECT_EQ(sentByNextCheck(Result::Listed, ""), login + "STAT\r\nUIDL\r\nQUIT\r\n");

    server.Script("CAPA", Server::Say("+OK\r\nUIDL\r\n.\r\n"));  // PIPELINING, remembered now, dropped
    const int waits = server.Waits();
    EXPECT_EQ(sentByNextCheck(Result::Failed, "server no longer offers PIPELINING"), login);
    EXPECT_EQ(account.newUids, (UidSet{"a\r\n", "b\r\n"}));
    EXPECT_EQ(sentByNextCheck(Result::Listed, ""), login + "STAT\r\nUIDL\r\nQUIT\r\n");
    EXPECT_EQ(server.Waits() - waits, 3 + 8);  // the failed check's login, then one at a time
}

// The sets stay; QUIT only while logged in and in step (or sent along); last words traced.
TEST_F(Pop3SessionTest, FailuresNeverTouchTheSetsAndSayWhy)
{
    enum Path { Pipelined, OneAtATime, ByNumber };  // the listing at once, UIDL n without and with PIPELINING
    struct Case { Path path; std::string command; Server::Reply reply; size_t commandsSent; bool quit; const char *traced, *reason; };
    const std::string closed = "Bad Connection\nMSG: Connection closed\n", listing = "+OK\r\n1 a\r\n";
    std::string endless = "+OK\r\n";
    for (int i = 0; i < 300; ++i)
        endless += "X\r\n";
    std::vector<Case> cases = {
        {Pipelined, "", Server::Say("-err go away\r\n"), 0, false, "MSG: -err go away\r\n", "server refused"},
        {Pipelined, "", Server::Say("OK ready\r\n"), 0, false, "MSG: OK ready\r\n", "unexpected reply"},
        {Pipelined, "CAPA", Server::Say(endless + ".\r\n"), 1, false, "", "bad reply"},
        {Pipelined, "CAPA", Server::Say("PIPELINING\r\n"), 1, false, "", "unexpected reply"},
        {OneAtATime, "USER ", Server::Say("-ERR who\r\n"), 2, false, "MSG: -ERR who\r\n", "login refused"},
        {Pipelined, "USER ", Server::Say("OK\r\n"), 3, false, "MSG: OK\r\n", "unexpected reply"},
        {Pipelined, "PASS ", Server::Say("-ErR wrong\r\n"), 3, false, "MSG: -ErR wrong\r\n", "login refused"},
        {Pipelined, "PASS ", Server::SayAndClose("-ERR chdir Maildir failed\n"), 3, false,
         "Bad Connection\nMSG: -ERR chdir Maildir failed\n\n", "login refused"},
        {Pipelined, "STAT", Server::Say("-ERR busy\r\n"), 6, true, "MSG: -ERR busy\r\n", "mailbox refused"},
        {Pipelined, "STAT", Server::Say("+OK\r\n"), 6, true, "Bad Connection\nMSG: +OK\r\n", "mailbox refused"},
        {Pipelined, "STAT", Server::Say("+OK 1000001 9\r\n"), 6, true, "MSG: +OK 1000001", "mailbox refused"},
        {OneAtATime, "STAT", Server::Say("3 300\r\n"), 4, false, "MSG: 3 300\r\n", "unexpected reply"},
        {Pipelined, "STAT", Server::SayAndClose(""), 6, true, closed.c_str(), "connection closed"},
        {OneAtATime, "UIDL 2", Server::SayAndClose("+OK 2 b"), 7, false, "Bad Connection\nMSG: +OK 2 b\n", "connection closed"},
        {OneAtATime, "UIDL 2", Server::Say("+OK 2 " + std::string(505, 'u') + "\r\n"), 7, false, "MSG: Reply line too long\n", "reply too long"},
        {ByNumber, "UIDL 1", Server::Say("+OK 1 a\r\n+OK 1 a\r\n"), 13, false, "", "unexpected reply"},
        {Pipelined, "UIDL", Server::Say("OK\r\n1 a\r\n2 b\r\n3 c\r\n.\r\n"), 6, true, "", "unexpected reply"},
        {OneAtATime, "UIDL", Server::SayAndClose(listing + "2 b\r\n3 c\r\n"), 5, false, closed.c_str(), "connection closed"},
        {OneAtATime, "UIDL", Server::SayAndClose(listing + "2 b\r\n3 c\r\n."), 5, false, "MSG: .\n", "connection closed"},
    };
    // Replies to UIDL n, and whether QUIT follows: an error, no UID, a tab, a blank after it.
    for (const auto& [line, reply, sent] : {std::tuple<const char*, const char*, size_t>{"UIDL 1", "-err gone\r\n", 7},
             {"UIDL 2", "+OK 2\r\n", 8}, {"UIDL 2", "+OK\t2\tb\r\n", 8}, {"UIDL 3", "+OK 3 \r\n", 9}})
        cases.push_back({OneAtATime, line, Server::Say(reply), sent, true, "", "listing failed"});
    // A reply for another message, one without "+OK": every later reply would shift.
    for (const char* reply : {"+OK 3 c\r\n", "2 b\r\n"})
        cases.push_back({OneAtATime, "UIDL 2", Server::Say(reply), 7, false, "", "unexpected reply"});
    // The whole listing: a gap, a duplicate, more than STAT, not a number, zero, no entry, no end.
    for (const char* rest : {"3 c\r\n.\r\n", "1 a\r\n2 b\r\n3 c\r\n.\r\n", "2 b\r\n3 c\r\n4 d\r\n.\r\n",
                             "x2 b\r\n3 c\r\n.\r\n", "0 a\r\n2 b\r\n3 c\r\n.\r\n", "2\r\n3 c\r\n.\r\n", "2 b\r\n3 c\r\n..\r\n"})
        cases.push_back({OneAtATime, "UIDL", Server::Say(listing + rest), 5, false, "", "listing failed"});
    for (const Case& c : cases) {
        SCOPED_TRACE("\"" + c.command + "\" answered \"" + c.reply.text.substr(0, 30) + "\"");
        Server server({"a", "b", "c"});
        if (c.path == OneAtATime)
            server.Script("CAPA", Server::Say("-ERR\r\n"));
        if (c.path != Pipelined)
            server.Script("UIDL", Server::Say("-ERR one at a time\r\n"));
        server.Script(c.command, c.reply);
        DebugCapture caseTrace;
        const CheckOutcome outcome = CheckAgainst(account, server);
        EXPECT_TRUE(outcome.result == Result::Failed && outcome.reason == c.reason) << outcome.reason;
        EXPECT_TRUE(account.newUids == UidSet{"old\r\n"} && account.seenUids == UidSet{"acknowledged\r\n"});
        // As received: the server may stop reading the commands sent ahead once it is left.
        const std::string sent = server.ReceivedBytes();
        EXPECT_EQ(size_t(std::count(sent.begin(), sent.end(), '\n')), c.commandsSent);
        EXPECT_EQ(sent.size() >= 6 && sent.compare(sent.size() - 6, 6, "QUIT\r\n") == 0, c.quit);
        EXPECT_NE(caseTrace.Text().find(c.traced), std::string::npos) << caseTrace.Text();
    }
    for (const char* uidl : {"", "-ERR by number\r\n"}) {  // UIDs adding up past the listing's bound, on either path
        Server huge(std::vector<std::string>(40, std::string(500, 'u')));
        if (*uidl)
            huge.Script("UIDL", Server::Say(uidl));
        account.Port = huge.Port();
        const CheckOutcome outcome = Pop3Session(account, nullptr, nullptr, 5000, 5000, 19999).RunCheck();
        EXPECT_TRUE(outcome.result == Result::Failed && outcome.reason == "listing too large") << outcome.reason;
    }
}

// Arguments too long for a command line, or that would smuggle in a command, never connect.
TEST_F(Pop3SessionTest, LinesAndArgumentsUpToTheirLimitsEmptyMailboxesAndServersByNameUnreachableSlowOrSilent)
{
    Server server({std::string(512 - 8, 'u'), "y"});  // "+OK 1 ", the UID, CR LF: 512 bytes
    server.Script("UIDL", Server::Say("-ERR by number\r\n"));
    server.SendSingleBytes(true, 1);
    EXPECT_EQ(CheckAgainst(account, server).result, Result::Listed);
    EXPECT_EQ(account.newUids, (UidSet{std::string(504, 'u') + "\r\n", "y\r\n"}));
    for (size_t length : {size_t(262144), size_t(262145)}) {
        Server big;
        big.Script("", Server::Say("+OK " + std::string(length - 6, 'g') + "\r\n"));
        EXPECT_EQ(CheckAgainst(account, big).result, length == 262144 ? Result::EmptyMailbox : Result::Failed);
    }
    for (const char* reply : {"+OK 0 0\r\n", "+OK\t-2\t0\r\n"}) {  // tabs separate words; below one is no mail
        Server empty;
        empty.Script("STAT", Server::Say(reply));
        EXPECT_TRUE(CheckAgainst(account, empty).result == Result::EmptyMailbox && account.newUids.empty() &&
                    account.seenUids.empty()) << reply;
        EXPECT_EQ(empty.ReceivedBytes(), "CAPA\r\nUSER me\r\nPASS secret\r\nSTAT\r\nUIDL\r\nQUIT\r\n");
    }
    Server refusing({"a"});
    DebugCapture refusals;
    for (const auto& r : {std::pair<std::string, std::string>{std::string(505, 'n'), "account name too long"},
                          {"me\nSTAT", "account name holds a line break"}, {std::string(505, 'p'), "password too long"},
                          {"x\r\nDELE 1", "password holds a line break"}}) {
        (r.second[0] == 'a' ? account.Account : account.Password) = r.first;
        EXPECT_EQ(CheckAgainst(account, refusing).reason, r.second);
        account.Account = "me";
    }
    EXPECT_EQ(refusing.Connections(), 0);
    EXPECT_EQ(refusals.Text(), "Account name too long\nAccount name holds a line break\n"
                               "Password too long\nPassword holds a line break\n");
    account.Password = std::string(504, 'p');
    EXPECT_EQ(CheckAgainst(account, refusing, 5000, "localhost").result, Result::Listed);  // the server by name

    DebugCapture unreachable;
    const int closedPort = Server().Port();  // closed again at once
    EXPECT_EQ(CheckAgainst(account, Server(), 5000, "127.0.0.1", closedPort).reason, "server unreachable");
    EXPECT_EQ(unreachable.Text(), "Server cannot be connected");

    Server dripping({"a"});
    dripping.SendSingleBytes(true, 40);  // the limit runs from awaiting a reply to its CR LF: drips cannot stretch it
    EXPECT_EQ(CheckAgainst(account, dripping, 300).reason, "no reply");
    DebugCapture slow;
    Server silent({"a"});
    silent.Script("UIDL", Server::Silence());
    EXPECT_EQ(CheckAgainst(account, silent, 300).reason, "no reply");
    EXPECT_NE(slow.Text().find("Bad Connection\nMSG: No reply in time\n"), std::string::npos);
}

const char kCapaWithStls[] = "+OK\r\nUSER\r\nSTLS\r\n.\r\n";

// Before a successful handshake only CAPA and STLS go out; there is never a fall back to plain text.
TEST_F(Pop3SessionTest, ProtectedLoginsOnlyInsideTheStreamOrFailAndSayWhy)
{
    // withTls false: a build without TLS; traced: what the trace says, if not the reason capitalised.
    struct Case { int security; std::string capa, stls; TlsResult verdict; bool withTls; std::string sent, reason, traced = ""; };
    const Case cases[] = {
        {kSecurityStls, kCapaWithStls, "+OK begin TLS\r\n", TlsResult::Ok, true, "CAPA\r\nSTLS\r\n", ""},
        {kSecurityStls, "+OK\r\nUSER\r\n.\r\n", "", TlsResult::Ok, true, "CAPA\r\n", "server offers no STLS"},
        {kSecurityStls, kCapaWithStls, "-ERR not now\r\n", TlsResult::Ok, true, "CAPA\r\nSTLS\r\n", "STLS refused", "-ERR not now\r"},
        {kSecurityStls, kCapaWithStls, "+OK\r\n", TlsResult::NotTrusted, true, "CAPA\r\nSTLS\r\n", "certificate not trusted"},
        {kSecurityTls, "", "", TlsResult::HandshakeFailed, true, "", "TLS handshake failed"},
        {kSecurityTls, "", "", TlsResult::FingerprintMismatch, true, "", "fingerprint mismatch"},
        {kSecurityTls, "", "", TlsResult::Ok, false, "", "TLS is not available in this build"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        Server server({"a"});
        server.Script("CAPA", Server::Say(c.capa));  // an empty reply only where never asked
        server.Script("STLS", Server::Say(c.stls));
        TlsProbe probe{c.verdict, "", 0};
        account.Port = server.Port();
        account.Security = c.security;
        DebugCapture caseTrace;
        Pop3Session session(account, nullptr, nullptr, 5000, 5000);
        if (c.withTls)
            session.UseTls([&probe](TcpClient& tcp) { return std::make_unique<PassThroughTls>(tcp, probe); });
        const CheckOutcome outcome = session.RunCheck();
        EXPECT_TRUE(outcome.reason == c.reason && outcome.result == (c.reason.empty() ? Result::Listed : Result::Failed))
            << outcome.reason;
        EXPECT_EQ(server.ReceivedBytes(), c.sent + probe.sentInside);
        if (c.reason.empty()) {  // the capabilities are asked again inside the stream; closed after QUIT
            EXPECT_TRUE(probe.sentInside.rfind("CAPA\r\nUSER me\r\nPASS secret\r\nSTAT\r\n", 0) == 0 && probe.closes == 1)
                << probe.sentInside << probe.closes;
            continue;
        }
        EXPECT_EQ(probe.sentInside, "");
        const std::string traced = c.traced.empty() ? char(std::toupper(c.reason[0])) + c.reason.substr(1) : c.traced;
        EXPECT_NE(caseTrace.Text().find("Bad Connection\nMSG: " + traced + "\n"), std::string::npos) << caseTrace.Text();
    }
}

}  // namespace
