#include "mail/pop3/pop3_listing.h"

#include <cctype>

#include "mail/pop3/pop3_reply.h"

namespace {

// A server that sends more capabilities than this is not sending a capability list.
constexpr size_t kMaxCapabilityLines = 256;

bool IsWholeLine(const std::string& line)
{
    return line.size() >= 2 && line.size() <= kReplyLineLimit &&
           line.compare(line.size() - 2, 2, "\r\n") == 0;
}

bool IsTerminator(const std::string& line)
{
    return line == ".\r\n";
}

// A line of a multi-line reply that begins with a dot has had another dot put before it.
std::string Unstuffed(const std::string& line)
{
    return !line.empty() && line[0] == '.' ? line.substr(1) : line;
}

std::string UpperCase(std::string text)
{
    for (char& c : text)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The capability name at the start of a line: printable characters up to the first blank or
// the line's end; empty when the line does not start with one.
std::string CapabilityName(const std::string& text)
{
    size_t end = 0;
    while (end < text.size() && text[end] > ' ' && text[end] < 0x7f)
        ++end;
    if (end == 0 || (text[end] != ' ' && text.compare(end, std::string::npos, "\r\n") != 0))
        return std::string();
    return UpperCase(text.substr(0, end));
}

}  // namespace

ReplyProgress CapabilityReader::Feed(const std::string& line)
{
    if (done_ || !IsWholeLine(line) || ++lines_ > kMaxCapabilityLines) {
        sound_ = false;
        fault_ = ReplyFault::Broken;
        return ReplyProgress::Failed;
    }
    if (!sawStatus_) {
        sawStatus_ = true;
        const std::string text = ReplyText(line);
        if (IsOkReply(text))
            return ReplyProgress::More;
        done_ = true;
        sound_ = false;
        if (IsErrReply(text))
            return ReplyProgress::Refused;
        fault_ = ReplyFault::Unexpected;
        return ReplyProgress::Failed;
    }
    if (IsTerminator(line)) {
        done_ = true;
        return ReplyProgress::Done;
    }
    const std::string text = Unstuffed(line);
    const std::string name = CapabilityName(text);
    if (name.empty() || text.find('\0') != std::string::npos)
        sound_ = false;
    else
        names_.push_back(name);
    if (name == "SASL")
        saslLine_ = UpperCase(text.substr(0, text.find_first_of("\r\n"))) + " ";
    return ReplyProgress::More;
}

bool CapabilityReader::OffersSasl(const std::string& mechanism) const
{
    return Offers("SASL") && saslLine_.find(" " + UpperCase(mechanism) + " ") != std::string::npos;
}

bool CapabilityReader::Offers(const std::string& name) const
{
    if (!done_ || !sound_)
        return false;
    const std::string wanted = UpperCase(name);
    for (const std::string& offered : names_)
        if (offered == wanted)
            return true;
    return false;
}

UidListing::UidListing(int32_t messageCount, size_t maxBytes)
    : count_(messageCount > 0 ? messageCount : 0), maxBytes_(maxBytes)
{
}

ReplyProgress UidListing::Feed(const std::string& line)
{
    if (state_ != ReplyProgress::More || !IsWholeLine(line))
        state_ = ReplyProgress::Failed;
    else if (!sawStatus_)
        state_ = FeedStatus(ReplyText(line));
    else if (IsTerminator(line))
        state_ = listed_ == count_ ? ReplyProgress::Done : ReplyProgress::Failed;
    else
        state_ = FeedEntry(ReplyText(Unstuffed(line)));
    if (state_ == ReplyProgress::Failed) {
        uids_.clear();
        if (fault_ == ReplyFault::None)
            fault_ = ReplyFault::Broken;
    }
    return state_;
}

ReplyProgress UidListing::FeedStatus(const std::string& text)
{
    sawStatus_ = true;
    if (IsOkReply(text))
        return ReplyProgress::More;
    if (IsErrReply(text))
        return ReplyProgress::Refused;
    fault_ = ReplyFault::Unexpected;
    return ReplyProgress::Failed;
}

ReplyProgress UidListing::FeedEntry(const std::string& text)
{
    const int32_t number = TakeListingNumber(text, count_);
    if (number == 0)
        return ReplyProgress::Failed;
    if (seen_.size() <= size_t(number))
        seen_.resize(size_t(number) + 1, false);
    if (seen_[size_t(number)])
        return ReplyProgress::Failed;
    std::string uid = TakeListingUid(text);
    if (uid.empty())
        return ReplyProgress::Failed;
    bytes_ += uid.size();
    if (bytes_ > maxBytes_) {
        fault_ = ReplyFault::TooLarge;
        return ReplyProgress::Failed;
    }
    seen_[size_t(number)] = true;
    ++listed_;
    uids_.insert(std::move(uid));
    return ReplyProgress::More;
}

UidlPipeline::UidlPipeline(int32_t messageCount, size_t maxInFlight, size_t maxBytes)
    : count_(messageCount > 0 ? messageCount : 0), maxInFlight_(maxInFlight), maxBytes_(maxBytes)
{
}

std::vector<std::string> UidlPipeline::NextCommands()
{
    std::vector<std::string> commands;
    if (inFlightBytes_ > maxInFlight_ / 2)
        return commands;
    while (nextToSend_ <= count_) {
        std::string command = "UIDL " + std::to_string(nextToSend_) + "\r\n";
        if (!inFlight_.empty() && inFlightBytes_ + command.size() > maxInFlight_)
            break;
        inFlightBytes_ += command.size();
        inFlight_.push_back(command.size());
        commands.push_back(std::move(command));
        ++nextToSend_;
    }
    return commands;
}

bool UidlPipeline::Reject(ReplyFault fault)
{
    fault_ = fault;
    uids_.clear();
    return false;
}

bool UidlPipeline::TakeReply(const std::string& line)
{
    if (fault_ != ReplyFault::None || inFlight_.empty())
        return Reject(ReplyFault::Unexpected);
    if (line.size() > kReplyLineLimit)
        return Reject(ReplyFault::Broken);
    inFlightBytes_ -= inFlight_.front();
    inFlight_.pop_front();
    const std::string text = ReplyText(line);
    if (IsErrReply(text))
        return Reject(ReplyFault::Broken);
    if (!IsOkReply(text))
        return Reject(ReplyFault::Unexpected);
    std::string uid = TakeUidlUid(text);
    if (uid.empty())
        return Reject(ReplyFault::Broken);
    // Replies come in the order of the commands: the oldest unanswered one is the next number.
    // A reply for another message means a line too many or too few somewhere before it.
    if (TakeUidlNumber(text, count_) != answered_ + 1)
        return Reject(ReplyFault::Unexpected);
    bytes_ += uid.size();
    if (bytes_ > maxBytes_)
        return Reject(ReplyFault::TooLarge);
    uids_.insert(std::move(uid));
    ++answered_;
    return true;
}
