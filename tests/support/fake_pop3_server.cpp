#include "fake_pop3_server.h"

#include <chrono>
#include <cstdlib>

#include "loopback_listener.h"
#include "platform/tcp_client.h"

namespace {

int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

FakePop3Server::FakePop3Server(std::vector<std::string> uids, int lifetimeMs)
    : listener_(kNoSocket), endTimeMs_(NowMs() + lifetimeMs), uids_(std::move(uids))
{
    InitSockets();
    listener_ = ListenOnLoopback(port_);
    if (port_ != 0)
        thread_ = std::thread(&FakePop3Server::Run, this);
}

FakePop3Server::~FakePop3Server()
{
    WithLock([&] { stop_ = true; });
    if (thread_.joinable())
        thread_.join();
    if (listener_ != kNoSocket)
        CloseNative(Native(listener_));
}

void FakePop3Server::Script(const std::string& command, Reply reply)
{
    WithLock([&] { script_[command] = std::move(reply); });
}

void FakePop3Server::SetUids(std::vector<std::string> uids)
{
    WithLock([&] { uids_ = std::move(uids); });
}

void FakePop3Server::SendSingleBytes(bool on, int gapMs)
{
    WithLock([&] { byteGapMs_ = on ? gapMs : -1; });
}

void FakePop3Server::DropAfterPass(bool on)
{
    WithLock([&] { dropAfterPass_ = on; });
}

bool FakePop3Server::Stopping() const
{
    return Locked(stop_) || NowMs() >= endTimeMs_;
}

void FakePop3Server::Run()
{
    InitSockets();
    while (!Stopping()) {  // bounded by the lifetime: each pass waits at most 50 ms
        NativeSocket connection = Readable(listener_, 50) ? accept(Native(listener_), nullptr, nullptr) : Native(kNoSocket);
        if (connection == Native(kNoSocket))
            continue;
        int on = 1;
        setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        WithLock([&] { ++connections_, ++waits_; });
        Serve(uintptr_t(connection));
        CloseNative(connection);
    }
}

void FakePop3Server::Serve(uintptr_t connection)
{
    Reply reply = ReplyTo("");
    std::string pending;
    char chunk[4096];
    bool answered = false;  // replies went out since the client last had to wait
    for (;;) {
        // Counted before the reply goes out, so the client never sees it first.
        answered = answered || !reply.text.empty();
        size_t end = pending.find("\r\n");
        if (answered && (end == std::string::npos || reply.closeAfter)) {
            WithLock([&] { ++waits_; });
            answered = false;
        }
        if (!Send(connection, reply.text) || reply.closeAfter)
            return;
        for (; end == std::string::npos; end = pending.find("\r\n")) {
            if (Stopping())
                return;
            const auto received = Readable(connection, 50) ? recv(Native(connection), chunk, int(sizeof chunk), 0) : -2;
            if (received == -2)
                continue;
            if (received <= 0)
                return;
            pending.append(chunk, size_t(received));
            WithLock([&] { received_.append(chunk, size_t(received)); });
        }
        const std::string command = pending.substr(0, end);
        reply = reply.silentAfter ? Silence() : ReplyTo(command);
        pending.erase(0, end + 2);
        if (command.compare(0, 5, "PASS ") == 0 && Locked(dropAfterPass_))
            pending.clear();
    }
}

FakePop3Server::Reply FakePop3Server::ReplyTo(const std::string& command) const
{
    std::lock_guard<std::mutex> guard(lock_);
    const std::string word = command.substr(0, command.find(' '));
    for (const std::string& key : {command, word + (word == command ? "" : " ")})
        if (script_.count(key))
            return script_.at(key);
    const std::string count = std::to_string(uids_.size());
    if (command.empty())
        return Say("+OK fake POP3 server ready\r\n");
    if (word == "USER" || word == "PASS")
        return Say(word == "USER" ? "+OK\r\n" : "+OK logged in\r\n");
    if (command == "STAT")
        return Say("+OK " + count + " " + count + "00\r\n");
    if (command == "QUIT")
        return SayAndClose("+OK bye\r\n");
    if (command == "CAPA")
        return Say("+OK\r\nUIDL\r\nPIPELINING\r\n.\r\n");
    std::string listing = "+OK\r\n";
    for (size_t n = 1; command == "UIDL" && n <= uids_.size(); ++n)
        listing += std::to_string(n) + " " + uids_[n - 1] + "\r\n";
    if (command == "UIDL")
        return Say(listing + ".\r\n");
    const size_t n = word == "UIDL" ? size_t(std::atoi(command.c_str() + 4)) : 0;
    if (n >= 1 && n <= uids_.size())
        return Say("+OK " + std::to_string(n) + " " + uids_[n - 1] + "\r\n");
    return Say("-ERR no such message\r\n");
}

bool FakePop3Server::Send(uintptr_t connection, const std::string& text) const
{
    const int gapMs = Locked(byteGapMs_);
    if (gapMs < 0)
        return text.empty() || send(Native(connection), text.data(), int(text.size()), kSendFlags) == int(text.size());
    for (char byte : text) {
        if (Stopping() || send(Native(connection), &byte, 1, kSendFlags) != 1)
            return false;
        // Apart in time, so that the bytes cannot be gathered into one segment.
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
    }
    return true;
}
