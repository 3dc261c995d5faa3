#include "mail/imap/imap_data.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace {

std::string Upper(std::string word)
{
    for (char& c : word)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return word;
}

// The words of text, split at blanks.
std::vector<std::string> Words(const std::string& text)
{
    std::vector<std::string> words;
    size_t at = 0;
    while (at < text.size()) {
        const size_t blank = text.find(' ', at);
        const size_t end = blank == std::string::npos ? text.size() : blank;
        if (end > at)
            words.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

// A number from 1 to 2^32-1, digits only.
bool ReadNumber(const std::string& text, size_t begin, size_t end, uint32_t& number)
{
    if (begin >= end || end - begin > 10)
        return false;
    uint64_t value = 0;
    for (size_t i = begin; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + uint64_t(text[i] - '0');
    }
    if (value == 0 || value > 0xFFFFFFFFull)
        return false;
    number = uint32_t(value);
    return true;
}

// "2,4:5" into uids. A range counts its members against the bound before any is added, so
// "1:4294967295" fails at once.
SearchRead ReadSequenceSet(const std::string& set, std::vector<uint32_t>& uids, size_t maxUids)
{
    size_t at = 0;
    while (at <= set.size()) {
        const size_t comma = set.find(',', at);
        const size_t end = comma == std::string::npos ? set.size() : comma;
        const size_t colon = set.find(':', at);
        uint32_t first = 0, last = 0;
        if (colon < end) {
            if (!ReadNumber(set, at, colon, first) || !ReadNumber(set, colon + 1, end, last))
                return SearchRead::Malformed;
        } else if (!ReadNumber(set, at, end, first)) {
            return SearchRead::Malformed;
        } else {
            last = first;
        }
        if (first > last)
            std::swap(first, last);
        if (uint64_t(last - first) + 1 > maxUids - uids.size())
            return SearchRead::TooMany;
        for (uint64_t uid = first; uid <= last; ++uid)
            uids.push_back(uint32_t(uid));
        at = end + 1;
    }
    return SearchRead::Ok;
}

// Moves at past one value of ESEARCH data: a word, a quoted string or a parenthesised list.
bool SkipValue(const std::string& text, size_t& at)
{
    int depth = 0;
    bool quoted = false;
    for (; at < text.size(); ++at) {  // bounded by the text
        const char c = text[at];
        if (quoted) {
            if (c == '\\')
                ++at;
            else if (c == '"')
                quoted = false;
            continue;
        }
        if (c == '"')
            quoted = true;
        else if (c == '(')
            ++depth;
        else if (c == ')' && --depth < 0)
            return false;
        else if (c == ' ' && depth == 0)
            break;
    }
    return depth == 0 && !quoted;
}

}  // namespace

ImapCondition ReadCondition(const std::string& text)
{
    ImapCondition condition;
    const size_t blank = text.find(' ');
    const std::string word = Upper(text.substr(0, blank));
    if (word == "OK")
        condition.status = ImapStatus::Ok;
    else if (word == "NO")
        condition.status = ImapStatus::No;
    else if (word == "BAD")
        condition.status = ImapStatus::Bad;
    else if (word == "BYE")
        condition.status = ImapStatus::Bye;
    else if (word == "PREAUTH")
        condition.status = ImapStatus::Preauth;
    else
        return condition;
    std::string rest = blank == std::string::npos ? std::string() : text.substr(blank + 1);
    if (!rest.empty() && rest[0] == '[') {
        const size_t close = rest.find(']');
        if (close != std::string::npos) {
            condition.code = rest.substr(1, close - 1);
            rest.erase(0, close + 1);
            if (!rest.empty() && rest[0] == ' ')
                rest.erase(0, 1);
        }
    }
    condition.text = rest;
    return condition;
}

std::string DataName(const std::string& text)
{
    const std::vector<std::string> words = Words(text.substr(0, 64));
    if (words.empty())
        return std::string();
    const bool numbered = std::isdigit(static_cast<unsigned char>(words[0][0])) != 0;
    return Upper(numbered ? (words.size() > 1 ? words[1] : std::string()) : words[0]);
}

std::set<std::string> ReadCapabilities(const std::string& text)
{
    std::set<std::string> names;
    const std::vector<std::string> words = Words(text);
    for (size_t i = 1; i < words.size(); ++i)
        names.insert(Upper(words[i]));
    return names;
}

bool ReadCodeNumber(const std::string& code, const char* word, uint32_t& number)
{
    const std::vector<std::string> words = Words(code);
    return words.size() >= 2 && Upper(words[0]) == word && ReadNumber(words[1], 0, words[1].size(), number);
}

SearchRead ReadSearch(const std::string& text, std::vector<uint32_t>& uids, size_t maxUids)
{
    size_t at = text.find(' ');
    // Bounded by the text: every pass moves past one word.
    while (at != std::string::npos && at < text.size()) {
        ++at;
        const size_t blank = text.find(' ', at);
        const size_t end = blank == std::string::npos ? text.size() : blank;
        uint32_t uid = 0;
        if (end > at) {
            if (!ReadNumber(text, at, end, uid))
                return SearchRead::Malformed;
            if (uids.size() >= maxUids)
                return SearchRead::TooMany;
            uids.push_back(uid);
        }
        at = blank;
    }
    return SearchRead::Ok;
}

SearchRead ReadEsearch(const std::string& text, const std::string& tag, std::vector<uint32_t>& uids,
                       size_t maxUids)
{
    size_t at = text.find(' ');
    if (at == std::string::npos)
        return SearchRead::Ok;
    ++at;
    if (at < text.size() && text[at] == '(') {
        // The correlator: (TAG "A5")
        const size_t close = text.find(')', at);
        if (close == std::string::npos)
            return SearchRead::Malformed;
        const std::vector<std::string> words = Words(text.substr(at + 1, close - at - 1));
        if (words.size() != 2 || Upper(words[0]) != "TAG")
            return SearchRead::Malformed;
        std::string named = words[1];
        if (named.size() >= 2 && named.front() == '"' && named.back() == '"')
            named = named.substr(1, named.size() - 2);
        if (named != tag)
            return SearchRead::Ok;
        at = close + 1;
    }
    // Bounded by the text: every pass moves past a name and its value.
    while (at < text.size()) {
        while (at < text.size() && text[at] == ' ')
            ++at;
        const size_t nameEnd = std::min(text.find(' ', at), text.size());
        const std::string name = Upper(text.substr(at, nameEnd - at));
        at = nameEnd;
        if (name.empty() || name == "UID")
            continue;
        if (at >= text.size())
            return SearchRead::Malformed;  // a name without its value
        const size_t valueStart = ++at;
        if (!SkipValue(text, at))
            return SearchRead::Malformed;
        if (name == "ALL") {
            const SearchRead read = ReadSequenceSet(text.substr(valueStart, at - valueStart), uids, maxUids);
            if (read != SearchRead::Ok)
                return read;
        }
    }
    return SearchRead::Ok;
}

bool IsFolderChange(const std::string& text)
{
    const std::string name = DataName(text);
    return name == "EXISTS" || name == "EXPUNGE" || name == "FETCH" || name == "VANISHED";
}
