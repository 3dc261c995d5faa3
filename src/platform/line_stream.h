#pragma once
// What a line-based conversation needs from its connection: send bytes, read whole lines.
// The plain TCP client and the TLS stream both provide it, so a session reads and writes the
// same way before and after the connection is encrypted.
#include <cstddef>
#include <string>

class LineStream {
public:
    enum class LineResult {
        Line,      // a whole line arrived, CR LF included
        Closed,    // the peer closed the connection before a line ended in CR LF; line holds
                   // what came of it (a last word ended by LF alone, a cut line, or nothing)
        TimedOut,  // the line was not complete within the time limit
        TooLong,   // the line does not fit the caller's limit
        Stopped,   // the stop flag was set while waiting
        Failed,    // a socket or decryption error, or no connection
    };

    virtual ~LineStream() = default;

    // Sends every byte within the I/O time limit.
    virtual bool Send(const std::string& bytes) = 0;
    // Reads one line ending in CR LF, of at most maxLength bytes including the CR LF, within
    // the I/O time limit counted from this call. On success line holds it, CR LF included.
    virtual LineResult ReadLine(std::string& line, size_t maxLength) = 0;
};

// The line framing both streams share: takes the first line ending in CR LF out of pending
// into line. searchFrom remembers how far pending was searched already, so the bytes of a long
// line are not searched again after every receive.
enum class TakeLineResult { Taken, TooLong, NeedMore };
TakeLineResult TakeLine(std::string& pending, std::string& line, size_t maxLength,
                        size_t& searchFrom);
// Once the peer has closed: whatever is left of an unfinished line moves from pending into
// line. A server that ends with "-ERR reason" and LF alone, or with a cut line, still says why.
void TakeLastWords(std::string& pending, std::string& line);
