#include "mail/imap/imap_session.h"

#include <gtest/gtest.h>

#include <chrono>

#include "debug_capture.h"
#include "fake_imap_server.h"
#include "mail/check_worker.h"
#include "mail/imap/folder_name.h"
#include "mail/uid_reconcile.h"
#include "platform/tick_count.h"

namespace {

using Result = CheckOutcome::Result;
using Server = FakeImapServer;

TEST(ImapReaderTest, RefusesWhatIsTooLongAndReadsSearchAnswersWithRangesWithinTheBound)
{
    for (const std::string& bytes : {"* OK " + std::string(5000, 'x') + "\r\n", std::string("* 1 FETCH (BODY {99999999999}\r\n")}) {
        ImapResponseReader reader(4096);
        reader.Append(bytes);
        ImapResponse response;
        EXPECT_EQ(reader.Next(response), ImapResponseReader::Progress::Failed) << bytes.substr(0, 20);
    }
    std::vector<uint32_t> uids;
    EXPECT_EQ(ReadEsearch("ESEARCH (TAG \"A5\") UID ALL 2,4:5,9:7", "A5", uids, 10), SearchRead::Ok);
    EXPECT_EQ(uids, (std::vector<uint32_t>{2, 4, 5, 7, 8, 9}));
    uids.clear();  // nothing found, then another command's answer
    EXPECT_TRUE(ReadEsearch("ESEARCH (TAG \"A5\") UID COUNT 0", "A5", uids, 10) == SearchRead::Ok &&
                ReadSearch("SEARCH", uids, 10) == SearchRead::Ok &&
                ReadEsearch("ESEARCH (TAG \"A4\") UID ALL 1:3", "A5", uids, 10) == SearchRead::Ok && uids.empty());
    EXPECT_EQ(ReadEsearch("ESEARCH (TAG \"A5\") UID ALL 1:4294967295", "A5", uids, 1000000), SearchRead::TooMany);
    EXPECT_EQ(ReadSearch("SEARCH 1 2 3", uids, 2), SearchRead::TooMany);
    for (const char* bad : {"ESEARCH UID ALL 0", "ESEARCH UID ALL 3:*", "ESEARCH UID ALL", "SEARCH 1 x"}) {
        uids.clear();
        EXPECT_NE(bad[0] == 'E' ? ReadEsearch(bad, "A5", uids, 10) : ReadSearch(bad, uids, 10), SearchRead::Ok) << bad;
    }
}

TEST(ImapFolderNameTest, EncodesAndDecodesModifiedUtf7)
{
    const std::pair<const char*, const char*> names[] = {
        {"INBOX", "INBOX"}, {"Entwürfe", "Entw&APw-rfe"}, {"受信箱", "&U9dP4Xux-"}, {"a&b", "a&-b"}, {"😀", "&2D3eAA-"}};
    std::string decoded;
    for (const auto& name : names) {
        EXPECT_EQ(EncodeFolderName(name.first), name.second);
        EXPECT_TRUE(DecodeFolderName(name.second, decoded) && decoded == name.first) << name.second << " read as " << decoded;
    }
    EXPECT_EQ(EncodeFolderName("Entw\xfcrfe"), "Entw&APw-rfe");  // Latin-1 typed where UTF-8 was due
    for (const char* bad : {"&AGE-", "&U9dP", "&2D0-", "a\x01"})
        EXPECT_FALSE(DecodeFolderName(bad, decoded)) << bad;
}

class ImapSessionTest : public ::testing::Test {
protected:
    ImapSessionTest()
    {
        settings.Address = "127.0.0.1";
        settings.Port = server.Port();
        settings.Protocol = kProtocolImap;
        settings.Account = "me";
        settings.Password = "secret";
    }

    std::unique_ptr<ImapSession> Open(uint32_t ioTimeoutMs = 2000)
    {
        return std::make_unique<ImapSession>(settings, &stop, &memory, 2000, ioTimeoutMs);
    }
    CheckOutcome Check()
    {
        auto session = Open();
        CheckOutcome outcome = session->RunCheck();
        session->Close();
        return outcome;
    }
    // What the client sent, without the tags: "LOGIN ...", "EXAMINE ...".
    std::vector<std::string> Commands() const
    {
        std::vector<std::string> commands;
        const std::string bytes = server.ReceivedBytes();
        for (size_t at = 0, end; (end = bytes.find("\r\n", at)) != std::string::npos; at = end + 2) {
            const std::string line = bytes.substr(at, end - at);
            commands.push_back(line == "DONE" ? line : line.substr(line.find(' ') + 1));
        }
        return commands;
    }

    Server server{{3, 4, 5, 9}};
    AccountSettings settings;
    SessionMemory memory;
    std::atomic<int32_t> stop{0};
    DebugCapture trace;
};

TEST_F(ImapSessionTest, ListsUnreadMessagesReadOnlyAndNeverTracesThePassword)
{
    server.SetCapabilities("IMAP4rev1");
    EXPECT_EQ(Check().uids, (UidSet{"7.3", "7.4", "7.5", "7.9"}));
    // The login's answer names no capabilities, so they are asked after it.
    EXPECT_EQ(Commands(), (std::vector<std::string>{"LOGIN \"me\" \"secret\"", "CAPABILITY", "EXAMINE \"INBOX\"",
                                                     "UID SEARCH UNSEEN", "LOGOUT"}));

    server.SetUnread({});
    settings.Account = "m\"e";  // cannot be quoted: a literal, waiting for the go-ahead or not
    settings.Password = "p\xc3\xa4ss\\word";
    for (const char* capabilities : {"IMAP4rev1", "IMAP4rev1 LITERAL+"}) {
        server.SetCapabilities(capabilities);
        EXPECT_EQ(Check().result, Result::EmptyMailbox) << capabilities;
    }
    const std::string sent = server.ReceivedBytes(), traced = trace.Text();
    EXPECT_TRUE(sent.find("A1 LOGIN {3}\r\nm\"e {10}\r\np\xc3\xa4ss\\word\r\n") != std::string::npos &&
                sent.find("A1 LOGIN {3+}\r\nm\"e {10+}\r\np\xc3\xa4ss\\word\r\n") != std::string::npos) << sent;
    EXPECT_TRUE(traced.find("secret") == std::string::npos && traced.find("word") == std::string::npos &&
                traced.find("A1 LOGIN {3}\r\nm\"e ****") != std::string::npos) << traced;
}

// Waits: connection, greeting, login, folder and search together, farewell; one more to ask capabilities.
TEST_F(ImapSessionTest, NothingAfterLoginAndTheFolderInOneRoundTrip)
{
    server.DropAfterLogin();
    server.SetCapabilities("IMAP4rev1");
    server.Script("LOGIN", Server::Say("$ OK [CAPABILITY IMAP4rev1 ESEARCH] logged in\r\n"));
    EXPECT_EQ(Check().uids, (UidSet{"7.3", "7.4", "7.5", "7.9"}));  // the ranges of the extended search
    EXPECT_EQ(Commands(), (std::vector<std::string>{"LOGIN \"me\" \"secret\"", "EXAMINE \"INBOX\"",
                                                     "UID SEARCH RETURN (ALL) UNSEEN", "LOGOUT"}));
    EXPECT_EQ(server.Waits(), 5);

    // In single bytes, with a literal in untagged data that looks like the completion.
    server.SendSingleBytes(true);
    server.Script("EXAMINE", Server::Say("* 4 FETCH (X {14}\r\n$ OK [fake]\r\n)\r\n* OK [UIDVALIDITY 7] ok\r\n"
                                         "$ OK [READ-ONLY] done\r\n"));
    server.Script("LOGIN", Server::Say("$ OK logged in\r\n"));
    const CheckOutcome outcome = Check();
    EXPECT_TRUE(outcome.result == Result::Listed && outcome.uids.count("7.9") == 1 && server.Waits() == 5 + 6)
        << outcome.reason << ", " << server.Waits() << " waits";
}

// A server that refuses to keep the password safe never receives it.
TEST_F(ImapSessionTest, FailuresKeepTheirReasonAndSendNoPasswordUnprotected)
{
    struct Case { const char *word, *answer, *reason; int security = kSecurityNone; };
    const Case cases[] = {
        {"", "* BYE Too many connections\r\n", "Too many connections"}, {"SEARCH", "", "no reply"},
        {"", "* OK [CAPABILITY IMAP4rev1 LOGINDISABLED] hi\r\n", "server refuses plain-text login"},
        {"", "* OK [CAPABILITY IMAP4rev1] hi\r\n", "server offers no STARTTLS", kSecurityStls},
        {"STARTTLS", "$ NO not now\r\n", "STARTTLS refused", kSecurityStls},
        {"LOGIN", "$ NO [AUTHENTICATIONFAILED] Invalid credentials\r\n", "login refused: Invalid credentials"},
        {"EXAMINE", "$ NO Mailbox doesn't exist\r\n", "folder not found"}, {"EXAMINE", "* 3 EXISTS\r\n$ OK done\r\n", "no UIDVALIDITY"},
        {"EXAMINE", "* OK [UIDVALIDITY 7] ok\r\nA9 OK done\r\n", "bad reply"},
        {"SEARCH", "* ESEARCH (TAG \"$\") UID ALL 1:1000001\r\n$ OK done\r\n", "too many unread messages"},
        {"SEARCH", "* BYE Server shutting down\r\n", "Server shutting down"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        Server failing({1});
        failing.SetCapabilities("IMAP4rev1 STARTTLS ESEARCH");
        failing.Script(c.word, c.answer[0] ? Server::Say(c.answer) : Server::Silence());
        settings.Port = failing.Port();
        settings.Security = c.security;
        auto session = Open(500);
        const CheckOutcome outcome = session->RunCheck();
        EXPECT_TRUE(outcome.result == Result::Failed && outcome.reason == c.reason && !session->CanWaitForChanges())
            << outcome.reason;
        const bool keepsItSafe = c.security != kSecurityNone || std::string(c.reason).find("plain") != std::string::npos;
        EXPECT_FALSE(keepsItSafe && failing.ReceivedBytes().find("secret") != std::string::npos) << "password sent unprotected";
    }
}

// A new UIDVALIDITY at every read-only look: after one check with all unread new, acknowledgements hold.
TEST_F(ImapSessionTest, FolderWhoseUidValidityMovesIsOpenedReadWriteFromThenOn)
{
    server.NewUidValidityUntilSelect();
    MailAccount account;
    std::vector<size_t> newCounts;
    for (int check = 0; check < 4; ++check) {
        ApplyCheckOutcome(account, Check());
        newCounts.push_back(NewUidCount(account));
        MarkSeen(account);
    }
    EXPECT_EQ(newCounts, (std::vector<size_t>{4, 4, 0, 0}));
    const std::vector<std::string> commands = Commands();
    EXPECT_TRUE(std::count(commands.begin(), commands.end(), "EXAMINE \"INBOX\"") == 2 &&
                std::count(commands.begin(), commands.end(), "SELECT \"INBOX\"") == 3) << "read-only looks, or opens";
    for (const char* changing : {"STORE", "EXPUNGE", "FETCH", "APPEND", "COPY", "MOVE", "DELETE"})
        EXPECT_EQ(server.ReceivedBytes().find(changing), std::string::npos) << changing;
    const std::string text = trace.Text();
    EXPECT_EQ(text.find("opened with SELECT"), text.rfind("opened with SELECT"));
}

// The greeting lists no IDLE, the login's answer does: the list after the login counts.
TEST_F(ImapSessionTest, IdlesOnChangesSearchesOnceForEventsThatCameTogetherAndStopsAtOnce)
{
    server.SetCapabilities("IMAP4rev1", "IMAP4rev1 IDLE");
    server.Push(Server::Say("* 5 EXISTS\r\n* 6 EXISTS\r\n"));
    server.Push(Server::Say("* 2 EXPUNGE\r\n"), 3);
    auto session = Open();
    ASSERT_TRUE(session->RunCheck().result == Result::Listed && session->CanWaitForChanges());

    server.SetUnread({3, 4, 5, 9, 10});
    const CheckOutcome outcome = session->WaitForChange(60000);
    EXPECT_TRUE(outcome.result == Result::Listed && outcome.uids.count("7.10") == 1) << outcome.reason;
    server.SetUnread({3});  // a refresh every 300 ms: the third IDLE hears of it
    EXPECT_EQ(session->WaitForChange(300).uids, UidSet{"7.3"});

    // A stop ends the next wait; the farewell goes out without waiting for its answer.
    server.Script("LOGOUT", Server::Silence());
    std::thread stopper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = 2;  // any value other than zero
    });
    const int64_t start = SteadyNowMs();
    EXPECT_EQ(session->WaitForChange(60000).reason, "stopped");
    session->Close();
    stopper.join();
    EXPECT_LT(SteadyNowMs() - start, 1500);
    for (int wait = 0; wait < 100 && server.ReceivedBytes().find("LOGOUT") == std::string::npos; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::vector<std::string> commands = Commands();
    EXPECT_TRUE(std::count(commands.begin(), commands.end(), "UID SEARCH UNSEEN") == 3 &&
                std::count(commands.begin(), commands.end(), "IDLE") == 4) << "searches or IDLEs";
    EXPECT_EQ(std::vector<std::string>(commands.end() - 2, commands.end()), (std::vector<std::string>{"DONE", "LOGOUT"}));
}

TEST_F(ImapSessionTest, LostIdleFailsWithItsReason)
{
    // What comes during the IDLE, the answer to DONE (null: silence), whether IDLE is refused (NO, or ended early).
    struct Case { Server::Reply push; const char* done; bool refused; const char* reason; };
    const Case cases[] = {
        {Server::SayAndClose("* BYE Shutting down\r\n"), "$ OK\r\n", false, "Shutting down"},
        {Server::Say(""), nullptr, false, "no reply"},
        {Server::Say(""), "A9 OK done\r\n", false, "bad reply"},
        {Server::Say(""), "$ OK\r\n", true, "IDLE refused: not here"},
        {Server::Say("A5 OK idle over\r\n"), "$ OK\r\n", true, "IDLE refused"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        Server failing({1});
        failing.Push(c.push);
        failing.Script("DONE", c.done ? Server::Say(c.done) : Server::Silence());
        if (c.refused && c.push.text.empty())
            failing.Script("IDLE", Server::Say("$ NO not here\r\n"));
        settings.Port = failing.Port();
        auto session = Open(300);
        ASSERT_EQ(session->RunCheck().result, Result::Listed);
        const CheckOutcome outcome = session->WaitForChange(200);
        EXPECT_TRUE(outcome.result == Result::Failed && outcome.reason == c.reason && !session->CanWaitForChanges())
            << outcome.reason;
        // A refusal holds for the rest of the run: the next check does not offer to wait.
        EXPECT_EQ(memory.waitRefused, c.refused);
        session->Close();
        auto next = Open(300);
        EXPECT_TRUE(next->RunCheck().result == Result::Listed && next->CanWaitForChanges() == !c.refused);
        memory = SessionMemory();
    }
}

// Every form a name may take; nothing that cannot be opened or asked for again.
TEST_F(ImapSessionTest, ListsTheFoldersThatCanBeOpenedAfterACheck)
{
    server.Script("LIST", Server::Say("* LIST (\\HasChildren) \".\" INBOX\r\n"
                                      "* LIST (\\HasNoChildren) \".\" \"INBOX.Entw&APw-rfe\"\r\n"
                                      "* LIST (\\Noselect \\HasChildren) \".\" \"Archiv\"\r\n"
                                      "* LIST () \".\" {17}\r\nINBOX.\"quoted\" \\x\r\n"
                                      "* LIST (\\HasNoChildren) NIL \"INBOX.&U9dP4Xux-\"\r\n"
                                      "* LIST () \".\" \"bad&AGE-\"\r\n* LIST garbage\r\n$ OK done\r\n"));
    server.SetCapabilities("IMAP4rev1");  // no IDLE: the check alone would log out
    const std::vector<std::string> listed = {"INBOX", "INBOX.Entwürfe", "INBOX.\"quoted\" \\x", "INBOX.受信箱"};
    for (const bool allowed : {true, false}) {  // then the server refuses the list
        auto session = Open();
        session->StayConnectedAfterCheck();
        ASSERT_EQ(session->RunCheck().result, Result::Listed);
        std::vector<std::string> folders;
        EXPECT_EQ(session->ListFolders(folders), allowed);
        EXPECT_EQ(folders, allowed ? listed : std::vector<std::string>());
        session->Close();
        EXPECT_EQ(Commands()[Commands().size() - 2], "LIST \"\" \"*\"");
        server.Script("LIST", Server::Say("$ NO not allowed\r\n"));
    }
}

}  // namespace
