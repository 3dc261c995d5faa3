#include "mail/pop3/pop3_reply.h"

#include <cctype>
#include <cstring>

std::string ReplyText(const std::string& line)
{
    return line.substr(0, line.find('\0'));
}

bool IsErrReply(const std::string& text)
{
    static const char kErr[] = "-ERR";
    if (text.size() < 4)
        return false;
    for (size_t i = 0; i < 4; ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != kErr[i])
            return false;
    return true;
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

}  // namespace

std::string TakeUidlUid(const std::string& text)
{
    size_t i = text.find(' ');  // past the status word
    return UidAfterNumber(text, text.find_first_not_of(' ', i));
}

std::string TakeListingUid(const std::string& text)
{
    return UidAfterNumber(text, 0);
}
