#pragma once
// A TCP client connection with bounded waits: Winsock on Windows, POSIX sockets elsewhere.
// Every wait (connect, send, receive) ends at its time limit, and while it waits the client
// looks at the caller's stop flag every 100 ms, so a stop request never waits for the network.
// Replies are read a whole line at a time: the network may split a line across segments or
// put several lines into one, and bytes after a line are kept for the next one.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/line_stream.h"

// Makes sockets usable on the calling thread (WSAStartup on Windows; always true elsewhere).
// Call it on every thread that uses a TcpClient, before the first one.
bool InitSockets();

constexpr uint32_t kDefaultConnectTimeoutMs = 15000;
constexpr uint32_t kDefaultIoTimeoutMs = 30000;

class TcpClient : public LineStream {
public:
    // What a raw receive brought: some bytes, or why none.
    enum class ReceiveResult { Data, Closed, TimedOut, Stopped, Failed };

    explicit TcpClient(uint32_t connectTimeoutMs = kDefaultConnectTimeoutMs,
                       uint32_t ioTimeoutMs = kDefaultIoTimeoutMs);
    ~TcpClient() override;
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    void SetTimeouts(uint32_t connectTimeoutMs, uint32_t ioTimeoutMs);
    uint32_t ConnectTimeoutMs() const { return connectTimeoutMs_; }
    uint32_t IoTimeoutMs() const { return ioTimeoutMs_; }
    // Non-zero behind flag means stop; null means never.
    void SetStopFlag(const std::atomic<int32_t>* flag);
    const std::atomic<int32_t>* StopFlag() const { return stopFlag_; }
    bool StopRequested() const;

    // Resolves host (a name or a numeric address) and connects to port; IPv4 addresses are
    // tried first, then IPv6. False when no address could be reached in time.
    bool Connect(const std::string& host, int port);
    bool IsConnected() const;
    // Keep-alive probes on the open connection, for one that stays quiet a long time: a peer
    // that vanished is then found by the system too.
    void SetKeepAlive(bool on);

    // Sends every byte. A stop request ends the wait for buffer space, but what can go out at
    // once still goes: the farewell after a stop must not block, yet should reach the server.
    bool Send(const std::string& bytes) override;
    // The same within timeoutMs: a TLS handshake keeps its sends within its own bound.
    bool Send(const std::string& bytes, uint32_t timeoutMs);

    // Reads one line ending in CR LF, of at most maxLength bytes including the CR LF, within
    // the I/O time limit counted from this call. On success line holds it, CR LF included;
    // when the server closed first, line holds what came of an unfinished line.
    LineResult ReadLine(std::string& line, size_t maxLength) override;

    // Appends whatever bytes arrive next (those kept after the last line first) to bytes,
    // waiting at most timeoutMs. For a layer on top, such as TLS, that frames its own records.
    ReceiveResult Receive(std::string& bytes, uint32_t timeoutMs);

    void Close();

private:
    enum class WaitResult { Ready, TimedOut, Stopped, Failed };
    // Waits in slices of 100 ms until the socket can be read (or written), the time limit
    // (milliseconds of the steady clock) has passed, or a stop is requested.
    WaitResult WaitUntilReady(bool forWrite, int64_t deadline) const;
    // One receive of what has arrived, waiting until the deadline at most.
    ReceiveResult ReceiveBy(std::string& bytes, int64_t deadline);

    uintptr_t socket_;  // the native socket; all bits set when not connected
    uint32_t connectTimeoutMs_;
    uint32_t ioTimeoutMs_;
    const std::atomic<int32_t>* stopFlag_ = nullptr;
    std::string pending_;  // bytes received after the last line taken
};
