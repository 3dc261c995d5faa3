#include "fake_pop3_server.h"

#include <chrono>

#include "platform/native_socket.h"
#include "platform/tcp_client.h"

namespace {

constexpr int kSliceMs = 50;

int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// True when s can be read within one slice.
bool Readable(uintptr_t s)
{
#ifdef _WIN32
    fd_set readSet;
    FD_ZERO(&readSet);
    FD_SET(Native(s), &readSet);
    timeval timeout{0, kSliceMs * 1000};
    return select(0, &readSet, nullptr, nullptr, &timeout) > 0;
#else
    pollfd entry{Native(s), POLLIN, 0};
    return poll(&entry, 1, kSliceMs) > 0;
#endif
}

uintptr_t ListenOnLoopback(int& port)
{
    NativeSocket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == Native(kNoSocket))
        return kNoSocket;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 8) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        CloseNative(s);
        return kNoSocket;
    }
    port = ntohs(address.sin_port);
    return uintptr_t(s);
}

std::string FirstWord(const std::string& line)
{
    return line.substr(0, line.find(' '));
}

}  // namespace

FakePop3Server::FakePop3Server(std::vector<std::string> uids, int lifetimeMs)
    : listener_(kNoSocket), endTimeMs_(NowMs() + lifetimeMs), uids_(std::move(uids))
{
    InitSockets();
    listener_ = ListenOnLoopback(port_);
    if (listener_ != kNoSocket)
        thread_ = std::thread(&FakePop3Server::Run, this);
}

FakePop3Server::~FakePop3Server()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listener_ != kNoSocket)
        CloseNative(Native(listener_));
}

void FakePop3Server::Script(const std::string& command, Reply reply)
{
    std::lock_guard<std::mutex> guard(lock_);
    script_[command] = std::move(reply);
}

void FakePop3Server::SetUids(std::vector<std::string> uids)
{
    std::lock_guard<std::mutex> guard(lock_);
    uids_ = std::move(uids);
}

void FakePop3Server::SendSingleBytes(bool on, int gapMs)
{
    std::lock_guard<std::mutex> guard(lock_);
    singleBytes_ = on;
    byteGapMs_ = gapMs;
}

std::vector<std::string> FakePop3Server::Commands() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return commands_;
}

std::string FakePop3Server::ReceivedBytes() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return received_;
}

int FakePop3Server::Connections() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return connections_;
}

bool FakePop3Server::WaitForCommands(size_t count, int timeoutMs) const
{
    std::unique_lock<std::mutex> guard(lock_);
    return commandArrived_.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                    [&] { return commands_.size() >= count; });
}

bool FakePop3Server::Stopping() const
{
    return stop_ || NowMs() >= endTimeMs_;
}

void FakePop3Server::Run()
{
    InitSockets();
    // Bounded by the server's lifetime: every pass waits at most one slice.
    while (!Stopping()) {
        if (!Readable(listener_))
            continue;
        NativeSocket connection = accept(Native(listener_), nullptr, nullptr);
        if (connection == Native(kNoSocket))
            continue;
        int on = 1;
        setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                   sizeof on);
        {
            std::lock_guard<std::mutex> guard(lock_);
            ++connections_;
        }
        Serve(uintptr_t(connection));
        CloseNative(connection);
    }
}

void FakePop3Server::Serve(uintptr_t connection)
{
    Reply reply = ReplyTo("");
    if (!SendReply(connection, reply.text) || reply.closeAfter)
        return;
    bool silent = reply.silentAfter;
    std::string pending;
    char chunk[4096];
    while (!Stopping()) {
        if (!Readable(connection))
            continue;
        const auto received = recv(Native(connection), chunk, int(sizeof chunk), 0);
        if (received <= 0)
            return;
        pending.append(chunk, size_t(received));
        {
            std::lock_guard<std::mutex> guard(lock_);
            received_.append(chunk, size_t(received));
        }
        for (size_t end; (end = pending.find("\r\n")) != std::string::npos;) {
            const std::string command = pending.substr(0, end);
            pending.erase(0, end + 2);
            {
                std::lock_guard<std::mutex> guard(lock_);
                commands_.push_back(command);
            }
            commandArrived_.notify_all();
            if (silent)
                continue;
            reply = ReplyTo(command);
            if (!SendReply(connection, reply.text) || reply.closeAfter)
                return;
            silent = reply.silentAfter;
        }
    }
}

FakePop3Server::Reply FakePop3Server::ReplyTo(const std::string& command) const
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto scripted = script_.find(command);
        if (scripted == script_.end())
            scripted = script_.find(FirstWord(command));
        if (scripted != script_.end())
            return scripted->second;
    }
    return DefaultReply(command);
}

FakePop3Server::Reply FakePop3Server::DefaultReply(const std::string& command) const
{
    std::lock_guard<std::mutex> guard(lock_);
    const std::string word = FirstWord(command);
    if (command.empty())
        return Say("+OK fake POP3 server ready\r\n");
    if (word == "USER")
        return Say("+OK\r\n");
    if (word == "PASS")
        return Say("+OK logged in\r\n");
    if (command == "STAT") {
        return Say("+OK " + std::to_string(uids_.size()) + " " + std::to_string(uids_.size() * 100) +
                   "\r\n");
    }
    if (word == "UIDL" && command.size() > 5) {
        const std::string number = command.substr(5);
        size_t n = 0;
        for (char c : number)
            n = (c >= '0' && c <= '9' && n < 100000000) ? n * 10 + size_t(c - '0') : 0;
        if (n >= 1 && n <= uids_.size())
            return Say("+OK " + std::to_string(n) + " " + uids_[n - 1] + "\r\n");
        return Say("-ERR no such message\r\n");
    }
    if (command == "QUIT")
        return SayAndClose("+OK bye\r\n");
    return Say("-ERR unknown command\r\n");
}

bool FakePop3Server::SendReply(uintptr_t connection, const std::string& text) const
{
    bool singleBytes;
    int gapMs;
    {
        std::lock_guard<std::mutex> guard(lock_);
        singleBytes = singleBytes_;
        gapMs = byteGapMs_;
    }
    if (!singleBytes)
        return text.empty() ||
               send(Native(connection), text.data(), int(text.size()), kSendFlags) == int(text.size());
    for (char byte : text) {
        if (Stopping() || send(Native(connection), &byte, 1, kSendFlags) != 1)
            return false;
        // Apart in time, so that the bytes cannot be gathered into one segment.
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
    }
    return true;
}
