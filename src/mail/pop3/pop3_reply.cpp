#include "mail/pop3/pop3_reply.h"

#include <cctype>
#include <cstring>

std::string ReplyText(const std::string& line)
{
    return line.substr(0, line.find('\0'));
}

namespace {

bool BeginsWith(const std::string& text, const char* status)
{
    const size_t length = std::strlen(status);
    if (text.size() < length)
        return false;
    for (size_t i = 0; i < length; ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != status[i])
            return false;
    return true;
}

}  // namespace

bool IsErrReply(const std::string& text)
{
    return BeginsWith(text, "-ERR");
}

bool IsOkReply(const std::string& text)
{
    return BeginsWith(text, "+OK");
}

bool ParseStatCount(const std::string& text, int32_t& count)
{
    static const char kSeparators[] = " \t";
    const size_t firstWord = text.find_first_not_of(kSeparators);
    if (firstWord == std::string::npos)
        return false;
    const size_t afterFirst = text.find_first_of(kSeparators, firstWord);
    if (afterFirst == std::string::npos)
        return false;
    size_t i = text.find_first_not_of(kSeparators, afterFirst);
    if (i == std::string::npos)
        return false;

    bool negative = false;
    if (text[i] == '+' || text[i] == '-')
        negative = text[i++] == '-';
    if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i])))
        return false;
    int64_t value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        if (value <= INT32_MAX)
            value = value * 10 + (text[i] - '0');
    if (value > INT32_MAX)
        value = INT32_MAX;
    count = int32_t(negative ? -value : value);
    return true;
}

namespace {

// The word after the message number that starts at i, with the blank as the only separator;
// empty when there is none or it is only the line's end.
std::string UidAfterNumber(const std::string& text, size_t i)
{
    i = text.find(' ', i);  // past the message number
    i = text.find_first_not_of(' ', i);
    if (i == std::string::npos)
        return std::string();
    const std::string uid = text.substr(i, text.find(' ', i) - i);
    return uid == "\r\n" ? std::string() : uid;
}

// The decimal number that starts at i and ends at the next blank; 0 when the word there is
// anything else, has no blank after it, or exceeds limit.
int32_t NumberAt(const std::string& text, size_t i, int32_t limit)
{
    const size_t end = text.find(' ', i);
    if (i >= text.size() || end == i || end == std::string::npos)
        return 0;
    int64_t value = 0;
    for (; i < end; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return 0;
        value = value * 10 + (text[i] - '0');
        if (value > limit)
            return 0;
    }
    return int32_t(value);
}

size_t SecondWord(const std::string& text)
{
    return text.find_first_not_of(' ', text.find(' '));
}

}  // namespace

int32_t TakeUidlNumber(const std::string& text, int32_t limit)
{
    const size_t i = SecondWord(text);
    return i == std::string::npos ? 0 : NumberAt(text, i, limit);
}

int32_t TakeListingNumber(const std::string& text, int32_t limit)
{
    return NumberAt(text, 0, limit);
}

std::string TakeUidlUid(const std::string& text)
{
    return UidAfterNumber(text, SecondWord(text));
}

std::string TakeListingUid(const std::string& text)
{
    return UidAfterNumber(text, 0);
}
