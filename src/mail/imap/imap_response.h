#pragma once
// Reading what an IMAP server sends, response by response. Bytes go in as they arrive, in
// pieces of any size; out comes each whole response: untagged ("* ..."), tagged ("A3 OK ...")
// or a continuation request ("+ ..."). A literal ("{n}" at a line's end) is taken by its byte
// count, never as lines, wherever it stands; its bytes are kept apart from the text, which
// keeps the "{n}" in their place. A response longer than the limit, literals included, is
// refused, so a server cannot make the reader hold more than that.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Room for a search answer of a million UIDs of ten digits each.
constexpr size_t kImapResponseLimit = 16u * 1024u * 1024u;

struct ImapResponse {
    enum class Kind { Untagged, Tagged, Continuation };
    Kind kind = Kind::Untagged;
    std::string tag;   // of a tagged response
    std::string text;  // after "* ", the tag and its blank, or "+ "; without the last CR LF
    std::vector<std::string> literals;  // the bytes of each literal, in order
};

class ImapResponseReader {
public:
    enum class Progress { Complete, NeedMore, Failed };

    explicit ImapResponseReader(size_t limit = kImapResponseLimit) : limit(limit) {}

    // The next bytes off the connection.
    void Append(const std::string& bytes);
    // Complete: response holds the next whole response. NeedMore: every byte so far was taken
    // and the response is not finished. Failed: the server broke the rules; the reader is
    // spent and Fault() says how.
    Progress Next(ImapResponse& response);
    const std::string& Fault() const { return fault; }
    // True when no part of a response is waiting: the bytes so far ended a response.
    bool Empty() const { return at == input.size() && line.empty() && current.text.empty() && !inLiteral; }

private:
    Progress Fail(const char* why);
    // A line of the response ended: either a literal follows, or the response is whole.
    Progress EndLine(ImapResponse& response);
    void Finish(ImapResponse& response);

    size_t limit;
    std::string input;  // bytes not yet taken, from at
    size_t at = 0;
    std::string line;   // the unfinished line
    ImapResponse current;
    size_t used = 0;    // bytes of the current response so far
    bool inLiteral = false;
    uint64_t literalLeft = 0;
    std::string fault;
};
