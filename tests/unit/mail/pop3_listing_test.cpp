#include "mail/pop3_listing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail/pop3_reply.h"

namespace {

using Lines = std::vector<std::string>;

template <typename Reader>
ReplyProgress FeedAll(Reader& reader, const Lines& lines)
{
    ReplyProgress progress = ReplyProgress::More;
    for (const std::string& line : lines)
        progress = reader.Feed(line);
    return progress;
}

}  // namespace

// Whichever way a message is listed, its UID is the same bytes, whatever ends the word.
TEST(Pop3Listing, EveryPathTakesTheSameUidFromTheSameMessage)
{
    const std::string tails[] = {
        "abc\r\n", "abc def\r\n", "abc \r\n", "   abc\r\n", "a\tb\r\n", "a\nb\r\n",
        std::string("ab\0c\r\n", 6), "\r\n", " \r\n", "\t\r\n",
    };
    for (const std::string& tail : tails) {
        SCOPED_TRACE(::testing::PrintToString(tail));
        const std::string reply = "+OK 1 " + tail;
        const std::string oneAtATime = TakeUidlUid(ReplyText(reply));

        UidListing listing(1);
        const ReplyProgress listed = FeedAll(listing, {"+OK\r\n", "1 " + tail, ".\r\n"});
        UidlPipeline pipeline(1);
        ASSERT_EQ(pipeline.NextCommands(), Lines{"UIDL 1\r\n"});
        const bool piped = pipeline.TakeReply(reply);

        if (oneAtATime.empty()) {  // no UID fails every path alike
            EXPECT_EQ(listed, ReplyProgress::Failed);
            EXPECT_FALSE(piped);
            continue;
        }
        EXPECT_EQ(listed, ReplyProgress::Done);
        EXPECT_EQ(listing.TakeUids(), UidSet{oneAtATime});
        EXPECT_TRUE(piped && pipeline.Complete());
        EXPECT_EQ(pipeline.TakeUids(), UidSet{oneAtATime});
    }
}

TEST(Pop3Listing, OnlyAWholeListingOfEveryMessageOnceIsSound)
{
    struct Case {
        const char* what;
        Lines lines;
        ReplyProgress expected;
    };
    const std::string overlong = "3 " + std::string(kReplyLineLimit - 3, 'u') + "\r\n";
    const Case cases[] = {
        {"in order", {"+OK 3 messages\r\n", "1 a\r\n", "2 b\r\n", "3 c\r\n", ".\r\n"},
         ReplyProgress::Done},
        {"any order", {"+OK\r\n", "3 c\r\n", "1 a\r\n", "2 b\r\n", ".\r\n"}, ReplyProgress::Done},
        {"refused", {"-ERR not now\r\n"}, ReplyProgress::Refused},
        {"no terminator yet", {"+OK\r\n", "1 a\r\n", "2 b\r\n", "3 c\r\n"}, ReplyProgress::More},
        {"gap", {"+OK\r\n", "1 a\r\n", "3 c\r\n", ".\r\n"}, ReplyProgress::Failed},
        {"duplicate", {"+OK\r\n", "1 a\r\n", "1 a\r\n", "2 b\r\n", "3 c\r\n"},
         ReplyProgress::Failed},
        {"more than STAT", {"+OK\r\n", "1 a\r\n", "2 b\r\n", "3 c\r\n", "4 d\r\n"},
         ReplyProgress::Failed},
        {"zero", {"+OK\r\n", "0 a\r\n"}, ReplyProgress::Failed},
        {"signed", {"+OK\r\n", "+1 a\r\n"}, ReplyProgress::Failed},
        {"not a number", {"+OK\r\n", "x1 a\r\n"}, ReplyProgress::Failed},
        {"leading blank", {"+OK\r\n", " 1 a\r\n"}, ReplyProgress::Failed},
        {"huge number", {"+OK\r\n", "99999999999999999999 a\r\n"}, ReplyProgress::Failed},
        {"stuffed dot ends nothing", {"+OK\r\n", "1 a\r\n", "2 b\r\n", "3 c\r\n", "..\r\n"},
         ReplyProgress::Failed},
        {"LF alone", {"+OK\r\n", "1 a\n"}, ReplyProgress::Failed},
        {"too long", {"+OK\r\n", "1 a\r\n", "2 b\r\n", overlong}, ReplyProgress::Failed},
        {"after the end", {"+OK\r\n", "1 a\r\n", "2 b\r\n", "3 c\r\n", ".\r\n", ".\r\n"},
         ReplyProgress::Failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UidListing listing(3);
        EXPECT_EQ(FeedAll(listing, c.lines), c.expected);
        if (c.expected == ReplyProgress::Done) {
            EXPECT_EQ(listing.TakeUids(), (UidSet{"a\r\n", "b\r\n", "c\r\n"}));
        } else if (c.expected == ReplyProgress::Failed) {
            EXPECT_TRUE(listing.TakeUids().empty());
        }
    }
    UidListing empty(0);
    EXPECT_EQ(FeedAll(empty, {"+OK\r\n", ".\r\n"}), ReplyProgress::Done);
}

TEST(Pop3Listing, CapabilitiesCountOnlyFromAWholeSoundList)
{
    struct Case {
        const char* what;
        Lines lines;
        ReplyProgress expected;
        bool pipelining, stls;
    };
    const Case cases[] = {
        {"both", {"+OK\r\n", "USER\r\n", "PIPELINING\r\n", "STLS\r\n", ".\r\n"},
         ReplyProgress::Done, true, true},
        {"any case, arguments", {"+OK\r\n", "pipelining\r\n", "Stls now\r\n", ".\r\n"},
         ReplyProgress::Done, true, true},
        {"neither", {"+OK\r\n", "PIPELININGX\r\n", "SASL STLS\r\n", ".\r\n"},
         ReplyProgress::Done, false, false},
        {"refused", {"-ERR unknown command\r\n"}, ReplyProgress::Refused, false, false},
        {"unfinished", {"+OK\r\n", "PIPELINING\r\n"}, ReplyProgress::More, false, false},
        {"empty line", {"+OK\r\n", "PIPELINING\r\n", "\r\n", ".\r\n"}, ReplyProgress::Done,
         false, false},
        {"leading blank", {"+OK\r\n", " PIPELINING\r\n", ".\r\n"}, ReplyProgress::Done, false,
         false},
        {"LF alone", {"+OK\r\n", "PIPELINING\n"}, ReplyProgress::Failed, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CapabilityReader reader;
        EXPECT_EQ(FeedAll(reader, c.lines), c.expected);
        EXPECT_EQ(reader.Pipelining(), c.pipelining);
        EXPECT_EQ(reader.Stls(), c.stls);
    }
    CapabilityReader endless;
    EXPECT_EQ(FeedAll(endless, Lines(1000, "X\r\n")), ReplyProgress::Failed);
}

TEST(Pop3Listing, PipelineKeepsTheCommandsInFlightWithinItsBound)
{
    constexpr int32_t kMessages = 5000;
    constexpr size_t kBound = 1024;
    UidlPipeline pipeline(kMessages, kBound);
    EXPECT_FALSE(pipeline.TakeReply("+OK 1 early\r\n"));  // nothing asked yet

    std::vector<int32_t> unanswered;
    size_t unansweredBytes = 0, sends = 0;
    int32_t expectedNext = 1;
    while (!pipeline.Complete() && sends < 10000) {
        const Lines commands = pipeline.NextCommands();
        sends += !commands.empty();
        for (const std::string& command : commands) {
            ASSERT_EQ(command, "UIDL " + std::to_string(expectedNext) + "\r\n");
            unanswered.push_back(expectedNext++);
            unansweredBytes += command.size();
        }
        ASSERT_LE(unansweredBytes, kBound);
        ASSERT_FALSE(unanswered.empty());
        const int32_t n = unanswered.front();
        unanswered.erase(unanswered.begin());
        unansweredBytes -= ("UIDL " + std::to_string(n) + "\r\n").size();
        ASSERT_TRUE(pipeline.TakeReply("+OK " + std::to_string(n) + " u" + std::to_string(n) +
                                       "\r\n"));
    }
    EXPECT_EQ(pipeline.TakeUids().size(), size_t(kMessages));
    EXPECT_LT(sends, size_t(kMessages) * 12 / (kBound / 2) + 2);  // a few large sends

    UidlPipeline refused(2);
    EXPECT_EQ(refused.NextCommands().size(), 2u);
    EXPECT_FALSE(refused.TakeReply("-ERR no such message\r\n"));
}
