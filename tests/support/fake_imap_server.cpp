#include "fake_imap_server.h"

#include <chrono>

#include "platform/native_socket.h"
#include "platform/tcp_client.h"
#include "platform/tick_count.h"

namespace {

// True when s can be read within 20 ms.
bool Readable(uintptr_t s)
{
    fd_set readSet;
    FD_ZERO(&readSet);
    FD_SET(Native(s), &readSet);
    timeval timeout{0, 20000};
    return select(int(Native(s)) + 1, &readSet, nullptr, nullptr, &timeout) > 0;
}

uintptr_t ListenOnLoopback(int& port)
{
    NativeSocket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (s != Native(kNoSocket) && bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        listen(s, 8) == 0 && getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    return uintptr_t(s);
}

std::string WithTag(std::string text, const std::string& tag)
{
    for (size_t at = text.find('$'); at != std::string::npos; at = text.find('$', at + tag.size()))
        text.replace(at, 1, tag);
    return text;
}

std::string Upper(std::string word)
{
    for (char& c : word)
        c = char(toupper(static_cast<unsigned char>(c)));
    return word;
}

}  // namespace

FakeImapServer::FakeImapServer(std::vector<uint32_t> unread, int lifetimeMs)
    : listener_(kNoSocket), endTimeMs_(SteadyNowMs() + lifetimeMs), unread_(std::move(unread))
{
    InitSockets();
    listener_ = ListenOnLoopback(port_);
    if (port_ != 0)
        thread_ = std::thread(&FakeImapServer::Run, this);
}

FakeImapServer::~FakeImapServer()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        stop_ = true;
    }
    if (thread_.joinable())
        thread_.join();
    if (listener_ != kNoSocket)
        CloseNative(Native(listener_));
}

void FakeImapServer::Script(const std::string& word, Reply reply)
{
    std::lock_guard<std::mutex> guard(lock_);
    script_[word] = std::move(reply);
}

void FakeImapServer::SetUnread(std::vector<uint32_t> unread)
{
    std::lock_guard<std::mutex> guard(lock_);
    unread_ = std::move(unread);
}

void FakeImapServer::SetUidValidity(uint32_t validity)
{
    std::lock_guard<std::mutex> guard(lock_);
    uidValidity_ = validity;
}

void FakeImapServer::SetCapabilities(std::string beforeLogin, std::string afterLogin)
{
    std::lock_guard<std::mutex> guard(lock_);
    capabilities_ = std::move(beforeLogin);
    capabilitiesAfterLogin_ = std::move(afterLogin);
}

void FakeImapServer::NewUidValidityUntilSelect()
{
    std::lock_guard<std::mutex> guard(lock_);
    newValidityUntilSelect_ = true;
}

void FakeImapServer::Push(Reply reply, int atIdle)
{
    std::lock_guard<std::mutex> guard(lock_);
    pushes_.emplace_back(atIdle, std::move(reply));
}

void FakeImapServer::SendSingleBytes(bool on)
{
    std::lock_guard<std::mutex> guard(lock_);
    singleBytes_ = on;
}

bool FakeImapServer::Stopping() const
{
    return Locked(stop_) || SteadyNowMs() >= endTimeMs_;
}

void FakeImapServer::Run()
{
    InitSockets();
    while (!Stopping()) {  // bounded by the lifetime: each pass waits at most 20 ms
        NativeSocket connection = Readable(listener_) ? accept(Native(listener_), nullptr, nullptr) : Native(kNoSocket);
        if (connection == Native(kNoSocket))
            continue;
        int on = 1;
        setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        {
            std::lock_guard<std::mutex> guard(lock_);
            ++connections_;
            loggedIn_ = false;
        }
        Serve(uintptr_t(connection));
        CloseNative(connection);
    }
}

void FakeImapServer::Serve(uintptr_t connection)
{
    Reply reply = Answer("*", "", "");
    std::string pending, command, idleTag;
    // Bounded by the lifetime: every pass waits for one command.
    while (Send(connection, reply.text) && !reply.closeAfter) {
        if (reply.silentAfter) {
            while (ReadCommand(connection, pending, command, false)) {
            }
            return;
        }
        if (!ReadCommand(connection, pending, command, !idleTag.empty()))
            return;
        if (!idleTag.empty()) {  // only DONE ends an IDLE
            reply = Answer(idleTag, "DONE", command);
            idleTag.clear();
            continue;
        }
        const std::string tag = command.substr(0, command.find(' '));
        std::string rest = command.size() > tag.size() ? command.substr(tag.size() + 1) : std::string();
        std::string word = Upper(rest.substr(0, rest.find(' ')));
        if (word == "UID")
            word = Upper(rest.substr(4, rest.find(' ', 4) - 4));
        reply = Answer(tag, word, command);
        if (word == "IDLE" && reply.text.find("+") == 0)
            idleTag = tag;
    }
}

bool FakeImapServer::ReadCommand(uintptr_t connection, std::string& pending, std::string& command, bool idling)
{
    command.clear();
    char chunk[4096];
    // Bounded by the lifetime: every pass waits at most 20 ms.
    for (;;) {
        const size_t end = pending.find("\r\n");
        if (end != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 2);
            command += line;
            const size_t open = line.rfind('{');
            if (line.empty() || line.back() != '}' || open == std::string::npos)
                return true;
            const bool plus = line[line.size() - 2] == '+';
            const size_t count = size_t(std::stoul(line.substr(open + 1)));
            if (!plus && !Send(connection, "+ go ahead\r\n"))
                return false;
            // The literal's bytes join the command as they stand.
            while (pending.size() < count) {
                if (Stopping())
                    return false;
                const auto received = Readable(connection) ? recv(Native(connection), chunk, int(sizeof chunk), 0) : -2;
                if (received == 0 || received == -1)
                    return false;
                if (received > 0) {
                    pending.append(chunk, size_t(received));
                    std::lock_guard<std::mutex> guard(lock_);
                    received_.append(chunk, size_t(received));
                }
            }
            command += pending.substr(0, count);
            pending.erase(0, count);
            continue;
        }
        if (Stopping())
            return false;
        if (idling) {
            Reply push;
            bool due = false;
            {
                std::lock_guard<std::mutex> guard(lock_);
                if (!pushes_.empty() && pushes_.front().first <= idles_) {
                    push = pushes_.front().second;
                    pushes_.pop_front();
                    due = true;
                }
            }
            if (due && (!Send(connection, push.text) || push.closeAfter))
                return false;
            if (due && push.silentAfter)
                idling = false;
        }
        const auto received = Readable(connection) ? recv(Native(connection), chunk, int(sizeof chunk), 0) : -2;
        if (received == 0 || received == -1)
            return false;
        if (received > 0) {
            pending.append(chunk, size_t(received));
            std::lock_guard<std::mutex> guard(lock_);
            received_.append(chunk, size_t(received));
        }
    }
}

FakeImapServer::Reply FakeImapServer::Answer(const std::string& tag, const std::string& word,
                                             const std::string& command)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (word == "IDLE")
        ++idles_;
    if (script_.count(word)) {
        Reply reply = script_.at(word);
        reply.text = WithTag(reply.text, tag);
        if (word == "LOGIN" && reply.text.find(tag + " OK") != std::string::npos)
            loggedIn_ = true;
        return reply;
    }
    const std::string& listed =
        loggedIn_ && !capabilitiesAfterLogin_.empty() ? capabilitiesAfterLogin_ : capabilities_;
    if (word.empty())
        return Say("* OK [CAPABILITY " + capabilities_ + "] fake IMAP ready\r\n");
    if (word == "CAPABILITY")
        return Say("* CAPABILITY " + listed + "\r\n" + tag + " OK done\r\n");
    if (word == "LOGIN") {
        loggedIn_ = true;
        return Say(tag + " OK logged in\r\n");
    }
    if (word == "EXAMINE" || word == "SELECT") {
        if (newValidityUntilSelect_ && !selected_)
            ++uidValidity_;
        selected_ = selected_ || word == "SELECT";
        return Say("* FLAGS (\\Seen)\r\n* " + std::to_string(unread_.size()) + " EXISTS\r\n* OK [UIDVALIDITY " +
                   std::to_string(uidValidity_) + "] ok\r\n" + tag + " OK done\r\n");
    }
    if (word == "SEARCH")
        return Say(WithTag(Search(command.find("RETURN") != std::string::npos), tag) + tag + " OK done\r\n");
    if (word == "IDLE")
        return Say("+ idling\r\n");
    if (word == "DONE")
        return Say(tag + " OK idle done\r\n");
    if (word == "LOGOUT")
        return SayAndClose("* BYE bye\r\n" + tag + " OK done\r\n");
    return Say(tag + " BAD unknown command\r\n");
}

std::string FakeImapServer::Search(bool extended) const
{
    if (!extended) {
        std::string text = "* SEARCH";
        for (const uint32_t uid : unread_)
            text += " " + std::to_string(uid);
        return text + "\r\n";
    }
    // Runs of consecutive UIDs as ranges: "2,4:5".
    std::string all;
    for (size_t i = 0; i < unread_.size();) {
        size_t j = i;
        while (j + 1 < unread_.size() && unread_[j + 1] == unread_[j] + 1)
            ++j;
        all += (all.empty() ? "" : ",") + std::to_string(unread_[i]);
        if (j > i)
            all += ":" + std::to_string(unread_[j]);
        i = j + 1;
    }
    return "* ESEARCH (TAG \"$\") UID" + (all.empty() ? "" : " ALL " + all) + "\r\n";
}

bool FakeImapServer::Send(uintptr_t connection, const std::string& text) const
{
    if (!Locked(singleBytes_))
        return text.empty() || send(Native(connection), text.data(), int(text.size()), kSendFlags) == int(text.size());
    for (char byte : text) {
        if (Stopping() || send(Native(connection), &byte, 1, kSendFlags) != 1)
            return false;
        // Apart in time, so that the bytes cannot be gathered into one segment.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
