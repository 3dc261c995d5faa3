// libFuzzer target over the reading of server replies: the judgement of a status line, the
// STAT count, the UID of a UIDL reply, the capability list, the multi-line UID listing and the
// pipelined UIDL replies. The first byte is the message count, the second the pipeline's bound
// (and, eight times over, the listing's bound on UID bytes); the rest is cut into lines after
// each CR LF, as the connection delivers them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "mail/pop3/pop3_listing.h"
#include "mail/pop3/pop3_reply.h"

namespace {

std::vector<std::string> SplitLines(const uint8_t* data, size_t size)
{
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < size; ++i) {
        line += char(data[i]);
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) {
            lines.push_back(line);
            line.clear();
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

void ReadSingleLines(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        const std::string text = ReplyText(line);
        IsErrReply(text);
        int32_t count = 0;
        ParseStatCount(text, count);
        // A listing line and the one-at-a-time reply for the same message give the same UID
        // and the same number.
        const std::string uid = TakeListingUid(text);
        if (!text.empty() && text[0] != ' ') {
            Require(uid == TakeUidlUid("+OK " + text));
            Require(TakeListingNumber(text, 1000) == TakeUidlNumber("+OK " + text, 1000));
        }
        Require(!(IsOkReply(text) && IsErrReply(text)));
    }
}

void ReadListing(const std::vector<std::string>& lines, int32_t count, size_t maxBytes)
{
    UidListing listing(count, maxBytes);
    ReplyProgress progress = ReplyProgress::More;
    for (const std::string& line : lines)
        progress = listing.Feed(line);
    Require((progress == ReplyProgress::Failed) == (listing.Fault() != ReplyFault::None));
    // Only a listing that began with "+OK" lists anything.
    if (!lines.empty() && (progress == ReplyProgress::More || progress == ReplyProgress::Done))
        Require(IsOkReply(ReplyText(lines.front())));
    const UidSet uids = listing.TakeUids();
    Require(uids.size() <= size_t(count));
    if (progress == ReplyProgress::Failed)
        Require(uids.empty());
    size_t bytes = 0;
    for (const std::string& uid : uids) {
        Require(!uid.empty() && uid.find(' ') == std::string::npos);
        bytes += uid.size();
    }
    Require(bytes <= maxBytes);
}

void ReadCapabilities(const std::vector<std::string>& lines)
{
    CapabilityReader reader;
    ReplyProgress progress = ReplyProgress::More;
    for (const std::string& line : lines)
        progress = reader.Feed(line);
    const bool offered = reader.Pipelining() || reader.Stls() || reader.Offers("top");
    Require(!offered || progress == ReplyProgress::Done);
}

void ReadPipelined(const std::vector<std::string>& lines, int32_t count, size_t bound)
{
    UidlPipeline pipeline(count, bound, bound * 8);
    size_t unanswered = 0;
    int32_t answered = 0;
    size_t bytes = 0;
    for (const std::string& line : lines) {
        unanswered += pipeline.NextCommands().size();
        Require(unanswered > 0 || pipeline.Complete());
        if (!pipeline.TakeReply(line)) {
            Require(pipeline.Fault() != ReplyFault::None && pipeline.TakeUids().empty());
            return;
        }
        // Taken only as the answer to the oldest command: "+OK", its number, a UID.
        const std::string text = ReplyText(line);
        Require(IsOkReply(text) && TakeUidlNumber(text, count) == ++answered);
        bytes += TakeUidlUid(text).size();
        Require(bytes <= bound * 8);
        --unanswered;
    }
    Require(pipeline.TakeUids().size() <= size_t(answered));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const int32_t count = data[0];
    const size_t bound = size_t(data[1]) * 4 + 1;
    const std::vector<std::string> lines = SplitLines(data + 2, size - 2);
    ReadSingleLines(lines);
    ReadListing(lines, count, bound * 8);
    ReadCapabilities(lines);
    ReadPipelined(lines, count, bound);
    return 0;
}
