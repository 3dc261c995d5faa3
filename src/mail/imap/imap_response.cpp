#include "mail/imap/imap_response.h"

#include <algorithm>

namespace {

// Taken bytes are dropped from the front in large steps, not at every response.
constexpr size_t kCompactAt = 65536;

// The byte count of a literal announced at the end of text ("{12}" or "{12+}"), or -1.
int64_t AnnouncedLiteral(const std::string& text)
{
    if (text.empty() || text.back() != '}')
        return -1;
    size_t end = text.size() - 1;
    if (end > 0 && text[end - 1] == '+')
        --end;
    size_t begin = end;
    while (begin > 0 && text[begin - 1] >= '0' && text[begin - 1] <= '9' && end - begin < 12)
        --begin;
    if (begin == end || begin == 0 || text[begin - 1] != '{')
        return -1;
    int64_t count = 0;
    for (size_t i = begin; i < end; ++i)
        count = count * 10 + (text[i] - '0');
    return count;
}

}  // namespace

void ImapResponseReader::Append(const std::string& bytes)
{
    if (at == input.size()) {
        input.clear();
        at = 0;
    } else if (at >= kCompactAt) {
        input.erase(0, at);
        at = 0;
    }
    input += bytes;
}

ImapResponseReader::Progress ImapResponseReader::Fail(const char* why)
{
    fault = why;
    input.clear();
    at = 0;
    return Progress::Failed;
}

ImapResponseReader::Progress ImapResponseReader::Next(ImapResponse& response)
{
    if (!fault.empty())
        return Progress::Failed;
    // Bounded: every pass takes bytes from the input or returns.
    for (;;) {
        if (inLiteral) {
            const size_t take = size_t(std::min<uint64_t>(literalLeft, input.size() - at));
            current.literals.back().append(input, at, take);
            at += take;
            literalLeft -= take;
            if (literalLeft > 0)
                return Progress::NeedMore;
            inLiteral = false;
        }
        const size_t lf = input.find('\n', at);
        const size_t end = lf == std::string::npos ? input.size() : lf + 1;
        used += end - at;
        if (used > limit)
            return Fail("Response too long");
        line.append(input, at, end - at);
        at = end;
        if (lf == std::string::npos)
            return Progress::NeedMore;
        // A bare LF is not a line's end: it stays part of the text.
        if (line.size() >= 2 && line[line.size() - 2] == '\r') {
            const Progress progress = EndLine(response);
            if (progress != Progress::NeedMore)
                return progress;
        }
    }
}

ImapResponseReader::Progress ImapResponseReader::EndLine(ImapResponse& response)
{
    line.resize(line.size() - 2);
    const int64_t literal = AnnouncedLiteral(line);
    current.text += line;
    line.clear();
    if (literal < 0) {
        Finish(response);
        return Progress::Complete;
    }
    if (uint64_t(literal) > limit - std::min(used, limit))
        return Fail("Literal too long");
    used += size_t(literal);
    current.literals.emplace_back();
    inLiteral = true;
    literalLeft = uint64_t(literal);
    return Progress::NeedMore;
}

void ImapResponseReader::Finish(ImapResponse& response)
{
    std::string& text = current.text;
    const size_t blank = text.find(' ');
    const std::string first = text.substr(0, blank);
    const std::string rest = blank == std::string::npos ? std::string() : text.substr(blank + 1);
    if (first == "*") {
        current.kind = ImapResponse::Kind::Untagged;
    } else if (first == "+") {
        current.kind = ImapResponse::Kind::Continuation;
    } else {
        current.kind = ImapResponse::Kind::Tagged;
        current.tag = first;
    }
    text = rest;
    response = std::move(current);
    current = ImapResponse();
    used = 0;
}
