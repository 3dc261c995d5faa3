#include "mail/pop3_reply.h"

#include <gtest/gtest.h>

TEST(Pop3Reply, ErrorJudgedByItsFirstFourCharactersInAnyCase)
{
    EXPECT_TRUE(IsErrReply("-ERR no such user\r\n"));
    EXPECT_TRUE(IsErrReply("-err\r\n"));
    EXPECT_TRUE(IsErrReply("-ErRx"));
    EXPECT_FALSE(IsErrReply("+OK\r\n"));
    EXPECT_FALSE(IsErrReply("+ok -ERR\r\n"));
    EXPECT_FALSE(IsErrReply("-ER"));
    EXPECT_FALSE(IsErrReply(""));
    EXPECT_EQ(ReplyText(std::string("+OK a\0b\r\n", 9)), "+OK a");
}

TEST(Pop3Reply, StatCountIsTheSecondWord)
{
    int32_t count = -99;
    EXPECT_TRUE(ParseStatCount("+OK 3 1200\r\n", count));
    EXPECT_EQ(count, 3);
    EXPECT_TRUE(ParseStatCount("+OK\t\t7\t99\r\n", count));
    EXPECT_EQ(count, 7);
    EXPECT_TRUE(ParseStatCount("+OK 12\r\n", count));  // CR LF does not separate
    EXPECT_EQ(count, 12);
    EXPECT_TRUE(ParseStatCount("+OK -4 0\r\n", count));
    EXPECT_EQ(count, -4);
    EXPECT_TRUE(ParseStatCount("+OK 99999999999 0\r\n", count));
    EXPECT_EQ(count, INT32_MAX);

    count = 5;
    EXPECT_FALSE(ParseStatCount("+OK\r\n", count));
    EXPECT_FALSE(ParseStatCount("+OK \r\n", count));  // the second word is only the line end
    EXPECT_FALSE(ParseStatCount("+OK many 3\r\n", count));
    EXPECT_FALSE(ParseStatCount("+OK - 3\r\n", count));
    EXPECT_FALSE(ParseStatCount("", count));
    EXPECT_EQ(count, 5);
}

TEST(Pop3Reply, UidIsTheThirdBlankSeparatedWord)
{
    EXPECT_EQ(TakeUidlUid("+OK 2 abc def\r\n"), "abc");
    EXPECT_EQ(TakeUidlUid("+OK 2 abc\r\n"), "abc\r\n");
    EXPECT_EQ(TakeUidlUid("+OK  2   abc\r\n"), "abc\r\n");
    EXPECT_EQ(TakeUidlUid("+OK 2 a\tb\r\n"), "a\tb\r\n");  // only the blank separates
    EXPECT_EQ(TakeUidlUid("+OK 2\r\n"), "");
    EXPECT_EQ(TakeUidlUid("+OK 2 \r\n"), "");
    EXPECT_EQ(TakeUidlUid("+OK\t2\tabc\r\n"), "");
    EXPECT_EQ(TakeUidlUid("+OK\r\n"), "");
    EXPECT_EQ(TakeUidlUid(""), "");
}
