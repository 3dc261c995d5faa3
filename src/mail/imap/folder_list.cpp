#include "mail/imap/folder_list.h"

#include <algorithm>
#include <cctype>

namespace {

bool SameWord(const std::string& word, const char* upper)
{
    size_t i = 0;
    for (; i < word.size() && upper[i]; ++i)
        if (std::toupper(static_cast<unsigned char>(word[i])) != upper[i])
            return false;
    return i == word.size() && !upper[i];
}

// A quoted string from text[at] (its opening quote), escapes undone; at ends past its close.
bool ReadQuoted(const std::string& text, size_t& at, std::string& value)
{
    value.clear();
    for (++at; at < text.size(); ++at) {
        if (text[at] == '"') {
            ++at;
            return true;
        }
        if (text[at] == '\\' && ++at == text.size())
            return false;
        value += text[at];
    }
    return false;
}

// A bare word from at to the next blank or the end.
std::string ReadAtom(const std::string& text, size_t& at)
{
    const size_t end = std::min(text.find(' ', at), text.size());
    const std::string atom = text.substr(at, end - at);
    at = end;
    return atom;
}

bool ReadAttributes(const std::string& text, size_t& at, bool& selectable)
{
    if (at >= text.size() || text[at] != '(')
        return false;
    const size_t close = text.find(')', at);
    if (close == std::string::npos)
        return false;
    selectable = true;
    for (size_t word = at + 1; word < close;) {
        const size_t end = std::min(text.find(' ', word), close);
        const std::string attribute = text.substr(word, end - word);
        if (SameWord(attribute, "\\NOSELECT") || SameWord(attribute, "\\NONEXISTENT"))
            selectable = false;
        word = end + 1;
    }
    at = close + 1;
    return true;
}

// The name: quoted, a literal (its bytes are the response's only literal), or a bare word.
bool ReadName(const std::string& text, size_t at, const std::vector<std::string>& literals, std::string& name)
{
    if (at >= text.size())
        return false;
    if (text[at] == '"')
        return ReadQuoted(text, at, name);
    if (text[at] == '{') {
        if (literals.size() != 1 || text.back() != '}')
            return false;
        name = literals.front();
        return true;
    }
    name = ReadAtom(text, at);
    return true;
}

}  // namespace

bool ReadListedFolder(const std::string& text, const std::vector<std::string>& literals, ListedFolder& folder)
{
    size_t at = 0;
    if (!SameWord(ReadAtom(text, at), "LIST") || at >= text.size())
        return false;
    ++at;
    if (!ReadAttributes(text, at, folder.selectable) || at >= text.size() || text[at] != ' ')
        return false;
    ++at;
    // The hierarchy delimiter: a quoted character, or NIL.
    std::string delimiter;
    const bool quoted = at < text.size() && text[at] == '"';
    if (quoted ? !ReadQuoted(text, at, delimiter) : !SameWord(ReadAtom(text, at), "NIL"))
        return false;
    if (at >= text.size() || text[at] != ' ')
        return false;
    return ReadName(text, at + 1, literals, folder.wireName) && !folder.wireName.empty();
}
