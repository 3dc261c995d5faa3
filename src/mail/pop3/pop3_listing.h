#pragma once
// The replies that let a check list a large mailbox in a few round trips, read one line at a
// time apart from the connection, so the session keeps its own bounded waits and stop flag:
// the server's capabilities (CAPA), the multi-line UIDL listing, and UIDL n commands sent
// ahead of their replies. Each line is given as read, CR LF included.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "mail/uid_set.h"

// A reply line is at most 512 bytes, CR LF included.
constexpr size_t kReplyLineLimit = 512;
// The most UID bytes one listing may bring, counted as received: beyond it a server is not
// listing a mailbox but filling our memory.
constexpr size_t kMaxListingBytes = size_t(64) * 1024 * 1024;

// Where a multi-line reply stands after a line.
enum class ReplyProgress {
    More,     // the reply goes on: read the next line
    Done,     // the reply is complete and sound
    Refused,  // the status line was "-ERR": no list follows
    Failed,   // the reply is broken; the conversation is out of step
};

// Why a reader failed a reply.
enum class ReplyFault {
    None,
    Broken,      // not the reply's form: a line cut short, a gap, a number twice, no UID
    Unexpected,  // no answer to the command: neither "+OK" nor "-ERR", or another message's number
    TooLarge,    // more than kMaxListingBytes of UIDs
};

// The reply to CAPA, starting with its status line. "-ERR", or a list that is not sound
// (a line without a name or its CR LF), means no capabilities; the list is still read to its
// end so the conversation stays in step. A status line that is neither fails the reply.
class CapabilityReader {
public:
    ReplyProgress Feed(const std::string& line);
    ReplyFault Fault() const { return fault_; }
    // Meaningful once Feed returned Done; false before and after any other outcome.
    bool Offers(const std::string& name) const;
    bool Pipelining() const { return Offers("PIPELINING"); }
    bool Stls() const { return Offers("STLS"); }
    // Whether the SASL capability names this mechanism.
    bool OffersSasl(const std::string& mechanism) const;

private:
    bool sawStatus_ = false;
    bool sound_ = true;
    bool done_ = false;
    ReplyFault fault_ = ReplyFault::None;
    size_t lines_ = 0;
    std::vector<std::string> names_;  // in upper case
    std::string saslLine_;            // the SASL capability's line, in upper case
};

// The reply to UIDL without argument, starting with its status line: one line per message,
// its number and its UID, ended by ".". Sound only when every number from 1 to the message
// count is listed exactly once; a number out of range or listed twice, a line that is not
// "number UID", a line without its CR LF, or more than maxBytes of UIDs fails the listing at
// once, and so does a status line that is neither "+OK" nor "-ERR".
class UidListing {
public:
    explicit UidListing(int32_t messageCount, size_t maxBytes = kMaxListingBytes);
    ReplyProgress Feed(const std::string& line);
    ReplyFault Fault() const { return fault_; }
    // The UIDs listed; the whole listing once Feed returned Done.
    UidSet TakeUids() { return std::move(uids_); }

private:
    ReplyProgress FeedStatus(const std::string& line);
    ReplyProgress FeedEntry(const std::string& line);

    int32_t count_;
    size_t maxBytes_;
    size_t bytes_ = 0;
    int32_t listed_ = 0;
    bool sawStatus_ = false;
    ReplyProgress state_ = ReplyProgress::More;
    ReplyFault fault_ = ReplyFault::None;
    std::vector<bool> seen_;  // by message number, grown to the highest one listed
    UidSet uids_;
};

// UIDL n for every message, sent ahead of the replies. At most maxInFlight bytes of commands
// are unanswered at any time: the connection's buffers hold that much even while the server
// stops reading to write its replies, so neither side ends up waiting on the other. A bound of
// 1 sends one command at a time.
class UidlPipeline {
public:
    static constexpr size_t kDefaultInFlight = 32768;

    explicit UidlPipeline(int32_t messageCount, size_t maxInFlight = kDefaultInFlight,
                          size_t maxBytes = kMaxListingBytes);
    // The commands to send now, each "UIDL n\r\n" to be traced as sent. Empty while more than
    // half the bound is unanswered, so the commands go out in a few large sends.
    std::vector<std::string> NextCommands();
    // Judges the reply to the oldest unanswered command: false on "-ERR", a reply without a
    // UID (Broken), a reply that is not "+OK" or names another message, a reply nobody asked
    // for (Unexpected), or more than maxBytes of UIDs in all (TooLarge).
    bool TakeReply(const std::string& line);
    ReplyFault Fault() const { return fault_; }
    // No command is unanswered.
    bool Idle() const { return inFlight_.empty(); }
    bool Complete() const { return answered_ >= count_; }
    UidSet TakeUids() { return std::move(uids_); }

private:
    bool Reject(ReplyFault fault);

    int32_t count_;
    size_t maxInFlight_;
    size_t maxBytes_;
    size_t bytes_ = 0;
    ReplyFault fault_ = ReplyFault::None;
    int32_t nextToSend_ = 1;
    int32_t answered_ = 0;
    size_t inFlightBytes_ = 0;
    std::deque<size_t> inFlight_;  // the length of each unanswered command, oldest first
    UidSet uids_;
};
