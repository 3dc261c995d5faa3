#include "mail/pop3_session.h"

#include <gtest/gtest.h>

#include "debug_capture.h"
#include "session_helpers.h"

namespace {

using Result = CheckOutcome::Result;
using Server = FakePop3Server;
using Strings = std::vector<std::string>;

class Pop3SessionTest : public ::testing::Test {
protected:
    Pop3SessionTest()
    {
        account.Account = "me";
        account.Password = "secret";
        account.newUids = {"old\r\n"};
        account.seenUids = {"acknowledged\r\n"};
    }
    void ExpectSetsUntouched()
    {
        EXPECT_EQ(account.newUids, (UidSet{"old\r\n"}));
        EXPECT_EQ(account.seenUids, (UidSet{"acknowledged\r\n"}));
    }

    MailAccount account;
    DebugCapture trace;
};

TEST_F(Pop3SessionTest, CleanCheckSendsTheStandardCommandsAndTracesThemWithoutThePassword)
{
    Server server({"a", "b c", "acknowledged"});
    EXPECT_EQ(CheckAgainst(account, server), Result::Listed);

    EXPECT_EQ(server.ReceivedBytes(), "USER me\r\nPASS secret\r\nSTAT\r\nUIDL 1\r\nUIDL 2\r\nUIDL 3\r\nQUIT\r\n");
    // The UID is the third blank-separated word, line end included when nothing follows it.
    EXPECT_EQ(account.newUids, (UidSet{"a\r\n", "b"}));
    EXPECT_EQ(account.seenUids, (UidSet{"acknowledged\r\n"}));
    const Strings expected = {
        "Command Normal End\n", "MSG: ", "+OK fake POP3 server ready\r\n", "\n",
        "USER me\r\n", "\n", "Command Normal End\n", "MSG: ", "+OK\r\n", "\n",
        "PASS ****\r\n", "\n", "Command Normal End\n", "MSG: ", "+OK logged in\r\n", "\n",
        "STAT\r\n", "\n", "Command Normal End\n", "MSG: ", "+OK 3 300\r\n", "\n",
        "UIDL 1\r\n", "\n", "UIDL 2\r\n", "\n", "UIDL 3\r\n", "\n",
        "QUIT\r\n", "\n", "Command Normal End\n", "MSG: ", "+OK bye\r\n", "\n",
    };
    EXPECT_EQ(trace.Writes(), expected);
}

TEST_F(Pop3SessionTest, RepliesSplitIntoBytesOrJoinedInOneSegmentStayInStep)
{
    Server bytes({"x", "y"});
    bytes.SendSingleBytes(true);
    EXPECT_EQ(CheckAgainst(account, bytes), Result::Listed);
    EXPECT_EQ(account.newUids, (UidSet{"x\r\n", "y\r\n"}));

    // Greeting and the replies to USER and PASS arrive together, before the commands.
    Server joined({"z"});
    joined.Script("", Server::Say("+OK hi\r\n+OK user\r\n+OK pass\r\n"));
    joined.Script("USER", Server::Say(""));
    joined.Script("PASS", Server::Say(""));
    joined.Script("STAT", Server::Say("+OK\t1\t100\r\n"));  // tabs separate the words too
    EXPECT_EQ(CheckAgainst(account, joined), Result::Listed);
    EXPECT_EQ(account.newUids, (UidSet{"z\r\n"}));
    EXPECT_NE(trace.Text().find("MSG: +OK pass\r\n\nSTAT\r\n\nCommand Normal End\nMSG: +OK\t1"), std::string::npos);
}

// Whatever goes wrong, the sets stay as they were: a failed STAT says nothing about the
// mailbox, and a listing with a gap would forget acknowledgements. QUIT follows once logged in
// while the connection still stands.
TEST_F(Pop3SessionTest, FailuresNeverTouchTheSets)
{
    struct Case {
        std::string command;
        Server::Reply reply;
        size_t commandsSent;  // QUIT included
        bool quit;
        const char* traced;
    };
    const Case cases[] = {
        {"", Server::Say("-err go away\r\n"), 0, false, "Bad Connection\nMSG: -err go away\r\n\n"},
        {"USER", Server::Say("-ERR who\r\n"), 1, false, "Bad Connection\nMSG: -ERR who\r\n\n"},
        {"PASS", Server::Say("-ErR wrong\r\n"), 2, false, "Bad Connection\nMSG: -ErR wrong\r\n\n"},
        {"STAT", Server::Say("-ERR busy\r\n"), 4, true, "Bad Connection\nMSG: -ERR busy\r\n\n"},
        {"STAT", Server::Say("+OK\r\n"), 4, true, "Bad Connection\nMSG: +OK\r\n\n"},
        {"STAT", Server::Say("+OK many 100\r\n"), 4, true, "MSG: +OK many"},
        {"STAT", Server::Say("+OK 1000001 9\r\n"), 4, true, "MSG: +OK 1000001"},
        {"STAT", Server::SayAndClose(""), 3, false, "Bad Connection\nMSG: Connection closed\n"},
        {"UIDL 1", Server::Say("-err gone\r\n"), 5, true, ""},
        {"UIDL 2", Server::Say("+OK 2\r\n"), 6, true, ""},
        {"UIDL 2", Server::Say("+OK\t2\tb\r\n"), 6, true, ""},
        {"UIDL 2", Server::SayAndClose("+OK 2 b"), 5, false, "MSG: Connection closed\n"},
        {"UIDL 2", Server::Say("+OK 2 " + std::string(505, 'u') + "\r\n"), 5, false, "MSG: Reply line too long\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("\"" + c.command + "\" answered \"" + c.reply.text.substr(0, 20) + "\"");
        Server server({"a", "b", "c"});
        server.Script(c.command, c.reply);
        DebugCapture caseTrace;
        EXPECT_EQ(CheckAgainst(account, server), Result::Failed);
        ExpectSetsUntouched();
        const Strings commands = server.Commands();
        EXPECT_EQ(commands.size(), c.commandsSent);
        EXPECT_EQ(!commands.empty() && commands.back() == "QUIT", c.quit);
        EXPECT_NE(caseTrace.Text().find(c.traced), std::string::npos) << caseTrace.Text();
    }
}

TEST_F(Pop3SessionTest, EmptyMailboxEmptiesBothSetsWithoutListing)
{
    for (const char* reply : {"+OK 0 0\r\n", "+OK -2 0\r\n"}) {
        SCOPED_TRACE(reply);
        Server server;
        server.Script("STAT", Server::Say(reply));
        account.newUids = {"n"};
        account.seenUids = {"s"};
        EXPECT_EQ(CheckAgainst(account, server), Result::EmptyMailbox);
        EXPECT_TRUE(account.newUids.empty());
        EXPECT_TRUE(account.seenUids.empty());
        EXPECT_EQ(server.Commands(), (Strings{"USER me", "PASS secret", "STAT", "QUIT"}));
    }
}

TEST_F(Pop3SessionTest, LinesAndArgumentsUpToTheirLimits)
{
    Server server({std::string(512 - 8, 'u')});  // "+OK 1 ", the UID, CR LF: 512 bytes
    EXPECT_EQ(CheckAgainst(account, server), Result::Listed);
    for (size_t length : {size_t(262144), size_t(262145)}) {
        Server big;
        big.Script("", Server::Say("+OK " + std::string(length - 6, 'g') + "\r\n"));
        EXPECT_EQ(CheckAgainst(account, big), length == 262144 ? Result::EmptyMailbox : Result::Failed);
    }

    // Refused before connecting: too long for the 512-byte command line, or a line break that
    // would smuggle in a command of its own.
    Server refusing({"a"});
    DebugCapture refusals;
    account.Account = std::string(505, 'n');
    EXPECT_EQ(CheckAgainst(account, refusing), Result::Failed);
    account.Account = "me";
    account.Password = std::string(505, 'p');
    EXPECT_EQ(CheckAgainst(account, refusing), Result::Failed);
    account.Password = "x\r\nDELE 1";
    EXPECT_EQ(CheckAgainst(account, refusing), Result::Failed);
    EXPECT_EQ(refusing.Connections(), 0);
    EXPECT_EQ(refusals.Text(), "Account name too long\nPassword too long\nPassword holds a line break\n");
    account.Password = std::string(504, 'p');
    EXPECT_EQ(CheckAgainst(account, refusing), Result::Listed);
}

TEST_F(Pop3SessionTest, ServerByNameUnreachableSlowOrSilent)
{
    Server named({"n"});
    EXPECT_EQ(CheckAgainst(account, named, 5000, "localhost"), Result::Listed);

    int closedPort;
    {
        Server gone;
        closedPort = gone.Port();
    }
    AccountSettings settings;
    settings.Address = "127.0.0.1";
    settings.Port = closedPort;
    {
        DebugCapture unreachable;
        EXPECT_EQ(Pop3Session(settings, nullptr, 2000, 2000).RunCheck().result, Result::Failed);
        EXPECT_EQ(unreachable.Writes(), Strings{"Server cannot be connected"});
    }

    // The time limit runs from the moment a reply is awaited to its CR LF: dripping bytes
    // cannot stretch it, and silence ends the check.
    DebugCapture slow;
    Server dripping({"a"});
    dripping.SendSingleBytes(true, 40);
    EXPECT_EQ(CheckAgainst(account, dripping, 300), Result::Failed);
    Server silent({"a"});
    silent.Script("UIDL 1", Server::Silence());
    EXPECT_EQ(CheckAgainst(account, silent, 300), Result::Failed);
    EXPECT_NE(slow.Text().find("Bad Connection\nMSG: No reply in time\n"), std::string::npos);
}

}  // namespace
