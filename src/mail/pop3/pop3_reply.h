#pragma once
// Reading the server's reply lines: the judgement of a reply, the STAT count and the UID of a
// UIDL reply. A reply line arrives with its CR LF, and that CR LF stays part of the text.
#include <cstdint>
#include <string>

// The reply text: the line up to its first zero byte, if any.
std::string ReplyText(const std::string& line);

// True when the reply begins with "-ERR", in any letter case.
bool IsErrReply(const std::string& text);
// True when the reply begins with "+OK", in any letter case. A reply that is neither does not
// answer the command it follows.
bool IsOkReply(const std::string& text);

// The message count of a STAT reply: the second word, words being separated by blanks and
// tabs, read as an optional sign and leading digits. False when there is no second word or
// it does not begin with a number. Counts beyond 32 bits saturate.
bool ParseStatCount(const std::string& text, int32_t& count);

// The UID of a UIDL reply: the third word, with the blank as the only separator, so the UID
// keeps whatever follows it up to the next blank ("+OK 2 abc\r\n" gives "abc\r\n"). Empty when
// the reply has no third word or the third word is only the line's end.
std::string TakeUidlUid(const std::string& text);

// The message number of a UIDL reply ("+OK 2 abc\r\n" gives 2): the second word, decimal
// digits only. 0 when that word is anything else or above limit.
int32_t TakeUidlNumber(const std::string& text, int32_t limit);

// The message number that starts a line of the multi-line listing ("2 abc\r\n" gives 2), by the
// same rule.
int32_t TakeListingNumber(const std::string& text, int32_t limit);

// The UID of one line of the multi-line UIDL listing ("2 abc\r\n"): the second word, taken by
// the same rule as TakeUidlUid, so the same message gives the same bytes either way.
std::string TakeListingUid(const std::string& text);
