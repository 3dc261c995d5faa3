#include "scripted_server.h"

#include <algorithm>
#include <chrono>

#include "platform/native_socket.h"
#include "platform/tcp_client.h"
#include "platform/tick_count.h"

namespace {

bool Readable(uintptr_t s, int waitMs)
{
    fd_set readSet;
    FD_ZERO(&readSet);
    FD_SET(Native(s), &readSet);
    timeval timeout{0, waitMs * 1000};
    return select(int(Native(s)) + 1, &readSet, nullptr, nullptr, &timeout) > 0;
}

}  // namespace

// Port stays 0 if the socket could not listen.
ScriptedServer::ScriptedServer() : endTimeMs_(SteadyNowMs() + 120000)
{
    InitSockets();
    NativeSocket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (s != Native(kNoSocket) && bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        listen(s, 8) == 0 && getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port_ = ntohs(address.sin_port);
    listener_ = uintptr_t(s);
}

void ScriptedServer::Stop()
{
    WithLock([&] { stop_ = true; });
    if (thread_.joinable())
        thread_.join();
    if (listener_ != kNoSocket)
        CloseNative(Native(listener_));
    listener_ = kNoSocket;
}

void ScriptedServer::Run()
{
    InitSockets();
    while (!Stopping()) {  // bounded by the lifetime: each pass waits at most 20 ms
        NativeSocket connection = Readable(listener_, 20) ? accept(Native(listener_), nullptr, nullptr) : Native(kNoSocket);
        if (connection == Native(kNoSocket))
            continue;
        int on = 1;
        setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        WithLock([&] { ++connections_, ++waits_; });
        pending_.clear();
        answered_ = false;
        Serve(uintptr_t(connection));
        CloseNative(connection);
    }
}

void ScriptedServer::Serve(uintptr_t connection)
{
    Reply reply;
    WithLock([&] { reply = Answer(""); });
    // Bounded by the lifetime: every pass waits for one command.
    for (std::string command;;) {
        CountWait(reply);
        if (!Send(connection, reply.text) || reply.closeAfter || !ReadCommand(connection, command))
            return;
        const bool silent = reply.silentAfter;
        WithLock([&] { reply = silent ? Silence() : Answer(command); });
    }
}

bool ScriptedServer::ReadLine(uintptr_t connection, std::string& line)
{
    // Bounded by the lifetime: every pass takes a line or waits at most 20 ms.
    for (size_t end; !Stopping();) {
        if ((end = pending_.find("\r\n")) != std::string::npos) {
            line = pending_.substr(0, end);
            pending_.erase(0, end + 2);
            return true;
        }
        if (!WhileWaiting(connection) || !Receive(connection))
            return false;
    }
    return false;
}

bool ScriptedServer::Receive(uintptr_t connection)
{
    char chunk[4096];
    if (!Readable(connection, 20))
        return true;
    const auto received = recv(Native(connection), chunk, int(sizeof chunk), 0);
    if (received <= 0)
        return false;
    pending_.append(chunk, size_t(received));
    WithLock([&] { received_.append(chunk, size_t(received)); });
    return true;
}

void ScriptedServer::CountWait(const Reply& reply)
{
    answered_ = answered_ || !reply.text.empty();
    if (answered_ && (pending_.find("\r\n") == std::string::npos || reply.closeAfter)) {
        WithLock([&] { ++waits_; });
        answered_ = false;
    }
}

bool ScriptedServer::Send(uintptr_t connection, const std::string& text) const
{
    const int gapMs = Locked(byteGapMs_);
    const size_t piece = gapMs < 0 ? text.size() + 1 : 1;
    for (size_t at = 0; at < text.size(); at += piece) {
        const int length = int(std::min(piece, text.size() - at));
        if (Stopping() || send(Native(connection), text.data() + at, length, kSendFlags) != length)
            return false;
        // Apart in time, so that the bytes cannot be gathered into one segment.
        if (gapMs >= 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
    }
    return true;
}
