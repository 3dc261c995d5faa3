#include "mail/pop3_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "debug_capture.h"
#include "fake_pop3_server.h"
#include "session_helpers.h"

namespace {

using Reply = FakePop3Server::Reply;
using Strings = std::vector<std::string>;

const std::string kGreeting = "+OK fake POP3 server ready\r\n";

class Pop3SessionTest : public ::testing::Test {
protected:
    Pop3SessionTest()
    {
        account.Account = "me";
        account.Password = "secret";
    }

    // Marks the sets so a test can tell whether a check left them alone.
    void GiveEarlierState()
    {
        account.newUids = {"old\r\n"};
        account.seenUids = {"acknowledged\r\n"};
    }
    void ExpectEarlierState()
    {
        EXPECT_EQ(account.newUids, (UidSet{"old\r\n"}));
        EXPECT_EQ(account.seenUids, (UidSet{"acknowledged\r\n"}));
    }

    MailAccount account;
    DebugCapture trace;
};

}  // namespace

TEST_F(Pop3SessionTest, CleanCheckSendsTheStandardCommandsAndTracesThem)
{
    FakePop3Server server({"a", "b", "c"});
    ASSERT_TRUE(server.Listening());

    EXPECT_EQ(RunCheckAgainst(account, server), 1);

    EXPECT_EQ(server.ReceivedBytes(),
              "USER me\r\nPASS secret\r\nSTAT\r\nUIDL 1\r\nUIDL 2\r\nUIDL 3\r\nQUIT\r\n");
    EXPECT_EQ(account.newUids, (UidSet{"a\r\n", "b\r\n", "c\r\n"}));
    EXPECT_TRUE(account.seenUids.empty());

    const Strings expected = {
        "Command Normal End\n", "MSG: ", kGreeting, "\n",
        "USER me\r\n", "\n",
        "Command Normal End\n", "MSG: ", "+OK\r\n", "\n",
        "PASS ****\r\n", "\n",
        "Command Normal End\n", "MSG: ", "+OK logged in\r\n", "\n",
        "STAT\r\n", "\n",
        "Command Normal End\n", "MSG: ", "+OK 3 300\r\n", "\n",
        "UIDL 1\r\n", "\n", "UIDL 2\r\n", "\n", "UIDL 3\r\n", "\n",
        "QUIT\r\n", "\n",
        "Command Normal End\n", "MSG: ", "+OK bye\r\n", "\n",
    };
    EXPECT_EQ(trace.Writes(), expected);
    EXPECT_EQ(trace.Text().find("secret"), std::string::npos);
}

TEST_F(Pop3SessionTest, RepliesSplitIntoBytesOrJoinedInOneSegmentStayInStep)
{
    {
        FakePop3Server server({"x", "y"});
        server.SendSingleBytes(true);
        EXPECT_EQ(RunCheckAgainst(account, server), 1);
        EXPECT_EQ(account.newUids, (UidSet{"x\r\n", "y\r\n"}));
    }
    {
        // Greeting and the replies to USER and PASS arrive together, before the commands.
        FakePop3Server server({"z"});
        server.Script("", FakePop3Server::Say(kGreeting + "+OK user\r\n+OK pass\r\n"));
        server.Script("USER", FakePop3Server::Say(""));
        server.Script("PASS", FakePop3Server::Say(""));
        EXPECT_EQ(RunCheckAgainst(account, server), 1);
        EXPECT_EQ(account.newUids, (UidSet{"z\r\n"}));
        EXPECT_NE(trace.Text().find("MSG: +OK pass\r\n\nSTAT\r\n\nCommand Normal End\nMSG: +OK 1 100"),
                  std::string::npos);
    }
}

// "-ERR" at any step keeps the sets as they were; QUIT follows only once logged in.
TEST_F(Pop3SessionTest, ErrorAtAnyStepKeepsTheSets)
{
    struct Step {
        std::string command;
        bool quitSent;
    };
    const Step steps[] = {{"", false}, {"USER", false}, {"PASS", false}, {"STAT", true},
                          {"UIDL 1", true}, {"UIDL 2", true}};
    for (const Step& step : steps) {
        SCOPED_TRACE("-ERR to \"" + step.command + "\"");
        FakePop3Server server({"a", "b"});
        server.Script(step.command, FakePop3Server::Say("-err refused\r\n"));
        GiveEarlierState();
        DebugCapture stepTrace;

        EXPECT_EQ(RunCheckAgainst(account, server), 0);

        ExpectEarlierState();
        const Strings commands = server.Commands();
        EXPECT_EQ(!commands.empty() && commands.back() == "QUIT", step.quitSent);
        if (step.command.compare(0, 4, "UIDL") != 0) {
            EXPECT_NE(stepTrace.Text().find("Bad Connection\nMSG: -err refused\r\n\n"),
                      std::string::npos);
        }
    }
}

TEST_F(Pop3SessionTest, FailedStatKeepsTheSetsAndStillSaysGoodbye)
{
    const std::string replies[] = {"+OK\r\n", "+OK many 100\r\n", "+OK 1000001 9\r\n",
                                   "+OK 2147483648 1\r\n"};
    for (const std::string& reply : replies) {
        SCOPED_TRACE(reply);
        FakePop3Server server({"a"});
        server.Script("STAT", FakePop3Server::Say(reply));
        GiveEarlierState();
        EXPECT_EQ(RunCheckAgainst(account, server), 0);
        ExpectEarlierState();
        EXPECT_EQ(server.Commands(), (Strings{"USER me", "PASS secret", "STAT", "QUIT"}));
    }

    // A connection lost at STAT: nothing more can be sent.
    FakePop3Server server({"a"});
    server.Script("STAT", FakePop3Server::SayAndClose(""));
    GiveEarlierState();
    EXPECT_EQ(RunCheckAgainst(account, server), 0);
    ExpectEarlierState();
    EXPECT_NE(trace.Text().find("Bad Connection\nMSG: Connection closed\n"), std::string::npos);
}

TEST_F(Pop3SessionTest, EmptyMailboxEmptiesBothSetsWithoutListing)
{
    for (const std::string reply : {"+OK 0 0\r\n", "+OK -2 0\r\n"}) {
        SCOPED_TRACE(reply);
        FakePop3Server server;
        server.Script("STAT", FakePop3Server::Say(reply));
        GiveEarlierState();
        EXPECT_EQ(RunCheckAgainst(account, server), 1);
        EXPECT_TRUE(account.newUids.empty());
        EXPECT_TRUE(account.seenUids.empty());
        EXPECT_EQ(server.Commands(), (Strings{"USER me", "PASS secret", "STAT", "QUIT"}));
    }
}

TEST_F(Pop3SessionTest, BrokenListingKeepsTheSets)
{
    struct Case {
        const char* what;
        Reply uidl2;
        bool quitSent;
    };
    const Case cases[] = {
        {"no third word", FakePop3Server::Say("+OK 2\r\n"), true},
        {"tabs only", FakePop3Server::Say("+OK\t2\tb\r\n"), true},
        {"hang-up", FakePop3Server::SayAndClose(""), false},
        {"hang-up inside the line", FakePop3Server::SayAndClose("+OK 2 b"), false},
        {"overlong line", FakePop3Server::Say("+OK 2 " + std::string(505, 'u') + "\r\n"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakePop3Server server({"a", "b", "c"});
        server.Script("UIDL 2", c.uidl2);
        GiveEarlierState();
        EXPECT_EQ(RunCheckAgainst(account, server), 0);
        ExpectEarlierState();
        const Strings commands = server.Commands();
        ASSERT_GE(commands.size(), 5u);
        EXPECT_EQ(commands[4], "UIDL 2");
        EXPECT_EQ(commands.back() == "QUIT", c.quitSent);
        EXPECT_EQ(commands.size(), c.quitSent ? 6u : 5u);  // the listing stops at once
    }
}

TEST_F(Pop3SessionTest, ReplyLinesUpToTheirLimits)
{
    // A UIDL reply of exactly 512 bytes fits.
    const std::string uid(512 - 6 - 2, 'u');  // "+OK 1 ", the UID, CR LF
    FakePop3Server server({uid});
    EXPECT_EQ(RunCheckAgainst(account, server), 1);
    EXPECT_EQ(account.newUids, (UidSet{uid + "\r\n"}));

    // A greeting of 262,144 bytes fits; one byte more does not.
    for (size_t length : {size_t(262144), size_t(262145)}) {
        FakePop3Server big;
        big.Script("", FakePop3Server::Say("+OK " + std::string(length - 6, 'g') + "\r\n"));
        DebugCapture lengthTrace;
        EXPECT_EQ(RunCheckAgainst(account, big), length == 262144 ? 1 : 0) << length;
        if (length > 262144) {
            EXPECT_NE(lengthTrace.Text().find("MSG: Reply line too long\n"), std::string::npos);
        }
    }
}

TEST_F(Pop3SessionTest, UnfitNamesAndPasswordsAreRefusedBeforeConnecting)
{
    FakePop3Server server({"a"});
    GiveEarlierState();

    account.Account = std::string(505, 'n');
    EXPECT_EQ(RunCheckAgainst(account, server), 0);
    account.Account = "me";
    account.Password = std::string(505, 'p');
    EXPECT_EQ(RunCheckAgainst(account, server), 0);
    // A line break would end PASS early and smuggle in a command of its own.
    account.Password = "x\r\nDELE 1";
    EXPECT_EQ(RunCheckAgainst(account, server), 0);

    EXPECT_EQ(server.Connections(), 0);
    ExpectEarlierState();
    EXPECT_EQ(trace.Text(), "Account name too long\nPassword too long\nPassword holds a line break\n");

    // The longest that fits goes out whole.
    account.Password = std::string(504, 'p');
    EXPECT_EQ(RunCheckAgainst(account, server), 1);
    EXPECT_NE(server.ReceivedBytes().find("PASS " + account.Password + "\r\n"), std::string::npos);
}

TEST_F(Pop3SessionTest, ServerByNameOrUnreachable)
{
    FakePop3Server named({"n"});
    auto byName = SessionFor(account, named);
    byName->SetServer("localhost");  // resolves to the loopback address the server listens on
    EXPECT_EQ(byName->RunCheck(), 1);
    EXPECT_EQ(account.newUids, (UidSet{"n\r\n"}));

    DebugCapture unreachableTrace;
    int closedPort;
    {
        FakePop3Server gone;
        closedPort = gone.Port();
    }
    GiveEarlierState();
    Pop3Session session(2000, 2000);
    session.SetServer("127.0.0.1");
    session.SetPort(closedPort);
    session.SetUser("me");
    session.SetNewUids(&account.newUids);
    session.SetSeenUids(&account.seenUids);
    EXPECT_EQ(session.RunCheck(), 0);
    EXPECT_EQ(unreachableTrace.Writes(), (Strings{"Server cannot be connected"}));
    ExpectEarlierState();
}

// The time limit runs from the moment a reply is awaited to its CR LF: a server that
// drips its bytes cannot stretch it, and one that says nothing ends the check.
TEST_F(Pop3SessionTest, SlowOrSilentServersRunIntoTheTimeLimit)
{
    {
        FakePop3Server dripping({"a"});
        dripping.SendSingleBytes(true, 40);  // the greeting would take over a second
        EXPECT_EQ(RunCheckAgainst(account, dripping, 300), 0);
    }
    {
        FakePop3Server silent({"a"});
        silent.Script("UIDL 1", FakePop3Server::Silence());
        GiveEarlierState();
        EXPECT_EQ(RunCheckAgainst(account, silent, 300), 0);
        ExpectEarlierState();
    }
    EXPECT_NE(trace.Text().find("Bad Connection\nMSG: No reply in time\n"), std::string::npos);
}
