#include "platform/tcp_client.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

#include "platform/address_lookup.h"
#include "platform/native_socket.h"
#ifdef _WIN32
#include <mstcpip.h>  // the keep-alive timing
#endif

namespace {

constexpr int64_t kPollSliceMs = 100;
constexpr size_t kReceiveChunk = 65536;

#ifdef _WIN32
bool LastCallWouldBlock()
{
    return WSAGetLastError() == WSAEWOULDBLOCK;
}

bool MakeNonBlocking(NativeSocket s)
{
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}

bool ConnectPending()
{
    return WSAGetLastError() == WSAEWOULDBLOCK;
}

// Winsock reports a refused connect through the exception set of select, not the write set.
int WaitNative(NativeSocket s, bool forWrite, int64_t timeoutMs)
{
    fd_set readSet, writeSet, errorSet;
    FD_ZERO(&readSet);
    FD_ZERO(&writeSet);
    FD_ZERO(&errorSet);
    FD_SET(s, forWrite ? &writeSet : &readSet);
    FD_SET(s, &errorSet);
    timeval timeout{long(timeoutMs / 1000), long(timeoutMs % 1000) * 1000};
    return select(0, &readSet, &writeSet, &errorSet, &timeout);
}
#else
bool LastCallWouldBlock()
{
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

bool MakeNonBlocking(NativeSocket s)
{
    int flags = fcntl(s, F_GETFL, 0);
    return flags >= 0 && fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool ConnectPending()
{
    return errno == EINPROGRESS || errno == EINTR;
}

int WaitNative(NativeSocket s, bool forWrite, int64_t timeoutMs)
{
    pollfd entry{s, short(forWrite ? POLLOUT : POLLIN), 0};
    int result = poll(&entry, 1, int(timeoutMs));
    return result < 0 && errno == EINTR ? 0 : result;
}
#endif

bool ConnectFailed(NativeSocket s)
{
    int error = 0;
    socklen_t length = sizeof error;
    return getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 ||
           error != 0;
}

}  // namespace

bool InitSockets()
{
#ifdef _WIN32
    // Winsock is started once for the process and stays up until it ends; a failed start is
    // tried again at the next call.
    static std::mutex startLock;
    static bool started = false;
    std::lock_guard<std::mutex> guard(startLock);
    WSADATA data;
    if (!started)
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    return started;
#else
    return true;
#endif
}

TcpClient::TcpClient(uint32_t connectTimeoutMs, uint32_t ioTimeoutMs)
    : socket_(kNoSocket), connectTimeoutMs_(connectTimeoutMs), ioTimeoutMs_(ioTimeoutMs)
{
}

TcpClient::~TcpClient()
{
    Close();
}

void TcpClient::SetTimeouts(uint32_t connectTimeoutMs, uint32_t ioTimeoutMs)
{
    connectTimeoutMs_ = connectTimeoutMs;
    ioTimeoutMs_ = ioTimeoutMs;
}

void TcpClient::SetStopFlag(const std::atomic<int32_t>* flag)
{
    stopFlag_ = flag;
}

bool TcpClient::StopRequested() const
{
    return stopFlag_ && stopFlag_->load() != 0;
}

bool TcpClient::IsConnected() const
{
    return socket_ != kNoSocket;
}

void TcpClient::SetKeepAlive(bool on)
{
    if (!IsConnected())
        return;
    int value = on ? 1 : 0;
    setsockopt(Native(socket_), SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char*>(&value), sizeof value);
#ifdef _WIN32
    // The system's first probe would come after two hours of silence; a minute is enough.
    tcp_keepalive times{u_long(on), 60000, 10000};
    DWORD returned = 0;
    WSAIoctl(Native(socket_), SIO_KEEPALIVE_VALS, &times, sizeof times, nullptr, 0, &returned, nullptr, nullptr);
#elif defined(TCP_KEEPIDLE)
    int idleSeconds = 60;
    setsockopt(Native(socket_), IPPROTO_TCP, TCP_KEEPIDLE, &idleSeconds, sizeof idleSeconds);
#endif
}

bool TcpClient::Connect(const std::string& host, int port)
{
    Close();
    if (port <= 0 || port > 65535)
        return false;
    const int64_t deadline = SteadyNowMs() + connectTimeoutMs_;
    for (const ResolvedAddress& address : ResolveHost(host, port, deadline, stopFlag_)) {
        NativeSocket s = socket(address.family, SOCK_STREAM, IPPROTO_TCP);
        if (s == Native(kNoSocket))
            continue;
        if (!MakeNonBlocking(s)) {
            CloseNative(s);
            continue;
        }
        // Each command goes out in one send; without this, Nagle's algorithm against the
        // server's delayed acknowledgement can add 200 ms to every round trip.
        int on = 1;
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        socket_ = uintptr_t(s);
        bool connected =
            connect(s, reinterpret_cast<const sockaddr*>(&address.address), address.length) == 0;
        if (!connected && ConnectPending())
            connected = WaitUntilReady(true, deadline) == WaitResult::Ready && !ConnectFailed(s);
        if (connected)
            break;
        Close();
        if (StopRequested() || SteadyNowMs() >= deadline)
            break;
    }
    return IsConnected();
}

TcpClient::WaitResult TcpClient::WaitUntilReady(bool forWrite, int64_t deadline) const
{
    // Bounded by the deadline: every pass waits at most one slice.
    for (;;) {
        if (StopRequested())
            return WaitResult::Stopped;
        const int64_t left = deadline - SteadyNowMs();
        if (left <= 0)
            return WaitResult::TimedOut;
        int result = WaitNative(Native(socket_), forWrite, std::min(left, kPollSliceMs));
        if (result > 0)
            return WaitResult::Ready;
        if (result < 0)
            return WaitResult::Failed;
    }
}

bool TcpClient::Send(const std::string& bytes)
{
    return Send(bytes, ioTimeoutMs_);
}

bool TcpClient::Send(const std::string& bytes, uint32_t timeoutMs)
{
    if (!IsConnected())
        return false;
    const int64_t deadline = SteadyNowMs() + timeoutMs;
    size_t sent = 0;
    while (sent < bytes.size()) {
        const int count = int(std::min<size_t>(bytes.size() - sent, 1 << 20));
        const auto result = send(Native(socket_), bytes.data() + sent, count, kSendFlags);
        if (result > 0) {
            sent += size_t(result);
            continue;
        }
        if (result < 0 && !LastCallWouldBlock())
            return false;
        if (WaitUntilReady(true, deadline) != WaitResult::Ready)
            return false;
    }
    return true;
}

TcpClient::LineResult TcpClient::ReadLine(std::string& line, size_t maxLength)
{
    if (!IsConnected())
        return LineResult::Failed;
    const int64_t deadline = SteadyNowMs() + ioTimeoutMs_;
    size_t searchFrom = 0;
    // Bounded by the deadline: every pass either receives bytes or waits at most one slice,
    // and the pending bytes never grow past maxLength plus one chunk.
    for (;;) {
        switch (TakeLine(pending_, line, maxLength, searchFrom)) {
        case TakeLineResult::Taken: return LineResult::Line;
        case TakeLineResult::TooLong: return LineResult::TooLong;
        case TakeLineResult::NeedMore: break;
        }
        std::string received;
        switch (ReceiveBy(received, deadline)) {
        case ReceiveResult::Data: pending_ += received; break;
        case ReceiveResult::Closed: TakeLastWords(pending_, line); return LineResult::Closed;
        case ReceiveResult::TimedOut: return LineResult::TimedOut;
        case ReceiveResult::Stopped: return LineResult::Stopped;
        case ReceiveResult::Failed: return LineResult::Failed;
        }
    }
}

TcpClient::ReceiveResult TcpClient::Receive(std::string& bytes, uint32_t timeoutMs)
{
    if (!IsConnected())
        return ReceiveResult::Failed;
    if (!pending_.empty()) {
        bytes += pending_;
        pending_.clear();
        return ReceiveResult::Data;
    }
    return ReceiveBy(bytes, SteadyNowMs() + timeoutMs);
}

TcpClient::ReceiveResult TcpClient::ReceiveBy(std::string& bytes, int64_t deadline)
{
    char chunk[kReceiveChunk];
    // Bounded by the deadline: every pass waits at most one slice.
    for (;;) {
        switch (WaitUntilReady(false, deadline)) {
        case WaitResult::Ready: break;
        case WaitResult::TimedOut: return ReceiveResult::TimedOut;
        case WaitResult::Stopped: return ReceiveResult::Stopped;
        case WaitResult::Failed: return ReceiveResult::Failed;
        }
        const auto received = recv(Native(socket_), chunk, int(sizeof chunk), 0);
        if (received == 0)
            return ReceiveResult::Closed;
        if (received < 0) {
            if (LastCallWouldBlock())
                continue;
            return ReceiveResult::Failed;
        }
        bytes.append(chunk, size_t(received));
        return ReceiveResult::Data;
    }
}

void TcpClient::Close()
{
    if (socket_ != kNoSocket)
        CloseNative(Native(socket_));
    socket_ = kNoSocket;
    pending_.clear();
}
