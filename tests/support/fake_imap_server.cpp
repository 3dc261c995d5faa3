#include "fake_imap_server.h"

#include <cctype>
#include <chrono>

#include "loopback_listener.h"
#include "platform/tcp_client.h"
#include "platform/tick_count.h"

namespace {

std::string WithTag(std::string text, const std::string& tag)
{
    for (size_t at = text.find('$'); at != std::string::npos; at = text.find('$', at + tag.size()))
        text.replace(at, 1, tag);
    return text;
}

std::string UpperWord(const std::string& text, size_t at)
{
    std::string word = at < text.size() ? text.substr(at, text.find(' ', at) - at) : std::string();
    for (char& c : word)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return word;
}

// "2,4:5": runs of consecutive UIDs as ranges.
std::string Ranges(const std::vector<uint32_t>& uids)
{
    std::string all;
    for (size_t i = 0, j; i < uids.size(); i = j + 1) {
        for (j = i; j + 1 < uids.size() && uids[j + 1] == uids[j] + 1; ++j) {
        }
        all += (all.empty() ? "" : ",") + std::to_string(uids[i]) + (j > i ? ":" + std::to_string(uids[j]) : "");
    }
    return all;
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

std::string FakeImapServer::ReceivedBytes() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return received_;
}

int FakeImapServer::Idles() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return idles_;
}

bool FakeImapServer::Stopping() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return stop_ || SteadyNowMs() >= endTimeMs_;
}

void FakeImapServer::Run()
{
    InitSockets();
    while (!Stopping()) {  // bounded by the lifetime: each pass waits at most 20 ms
        NativeSocket connection = Readable(listener_, 20) ? accept(Native(listener_), nullptr, nullptr) : Native(kNoSocket);
        if (connection == Native(kNoSocket))
            continue;
        int on = 1;
        setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        {
            std::lock_guard<std::mutex> guard(lock_);
            loggedIn_ = false;
        }
        pending_.clear();
        Serve(uintptr_t(connection));
        CloseNative(connection);
    }
}

void FakeImapServer::Serve(uintptr_t connection)
{
    Reply reply = Answer("*", "", "");
    std::string command, idleTag;
    // Bounded by the lifetime: every pass waits for one command.
    while (Send(connection, reply.text) && !reply.closeAfter) {
        if (!ReadCommand(connection, command, !idleTag.empty() && !reply.silentAfter) || reply.silentAfter) {
            while (reply.silentAfter && ReadCommand(connection, command, false)) {
            }
            return;
        }
        const std::string tag = command.substr(0, command.find(' '));
        std::string word = UpperWord(command, tag.size() + 1);
        if (word == "UID")
            word = UpperWord(command, tag.size() + 5);
        reply = idleTag.empty() ? Answer(tag, word, command) : Answer(idleTag, "DONE", command);
        idleTag = word == "IDLE" && reply.text[0] == '+' ? tag : std::string();
    }
}

bool FakeImapServer::ReadCommand(uintptr_t connection, std::string& command, bool idling)
{
    command.clear();
    // Bounded by the lifetime: every pass takes a line or waits at most 20 ms.
    for (size_t end; !Stopping();) {
        if ((end = pending_.find("\r\n")) == std::string::npos) {
            std::unique_lock<std::mutex> guard(lock_);
            if (idling && !pushes_.empty() && pushes_.front().first <= idles_) {
                const Reply push = pushes_.front().second;
                pushes_.pop_front();
                guard.unlock();
                if (!Send(connection, push.text) || push.closeAfter)
                    return false;
                idling = !push.silentAfter;
            }
            if (guard.owns_lock())
                guard.unlock();
            if (!Receive(connection))
                return false;
            continue;
        }
        const std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 2);
        command += line;
        const size_t open = line.rfind('{');
        if (line.empty() || line.back() != '}' || open == std::string::npos)
            return true;
        // The literal's bytes join the command as they stand.
        const size_t count = size_t(std::stoul(line.substr(open + 1)));
        if (line[line.size() - 2] != '+' && !Send(connection, "+ go ahead\r\n"))
            return false;
        while (pending_.size() < count)
            if (Stopping() || !Receive(connection))
                return false;
        command += pending_.substr(0, count);
        pending_.erase(0, count);
    }
    return false;
}

bool FakeImapServer::Receive(uintptr_t connection)
{
    char chunk[4096];
    if (!Readable(connection, 20))
        return true;
    const auto received = recv(Native(connection), chunk, int(sizeof chunk), 0);
    if (received <= 0)
        return false;
    pending_.append(chunk, size_t(received));
    std::lock_guard<std::mutex> guard(lock_);
    received_.append(chunk, size_t(received));
    return true;
}

FakeImapServer::Reply FakeImapServer::Answer(const std::string& tag, const std::string& word,
                                             const std::string& command)
{
    std::lock_guard<std::mutex> guard(lock_);
    idles_ += word == "IDLE";
    const std::string& listed = loggedIn_ && !capabilitiesAfterLogin_.empty() ? capabilitiesAfterLogin_ : capabilities_;
    Reply reply = Say(tag + " BAD unknown command\r\n");
    if (script_.count(word)) {
        reply = script_.at(word);
    } else if (word.empty()) {
        reply = Say("* OK [CAPABILITY " + capabilities_ + "] fake IMAP ready\r\n");
    } else if (word == "CAPABILITY") {
        reply = Say("* CAPABILITY " + listed + "\r\n$ OK done\r\n");
    } else if (word == "LOGIN") {
        reply = Say("$ OK logged in\r\n");
    } else if (word == "EXAMINE" || word == "SELECT") {
        uidValidity_ += newValidityUntilSelect_ && !selected_;
        selected_ = selected_ || word == "SELECT";
        reply = Say("* FLAGS (\\Seen)\r\n* 9 EXISTS\r\n* OK [UIDVALIDITY " + std::to_string(uidValidity_) +
                    "] ok\r\n$ OK done\r\n");
    } else if (word == "SEARCH" && command.find("RETURN") != std::string::npos) {
        reply = Say("* ESEARCH (TAG \"$\") UID" + (unread_.empty() ? "" : " ALL " + Ranges(unread_)) + "\r\n$ OK done\r\n");
    } else if (word == "SEARCH") {
        std::string text = "* SEARCH";
        for (const uint32_t uid : unread_)
            text += " " + std::to_string(uid);
        reply = Say(text + "\r\n$ OK done\r\n");
    } else if (word == "IDLE") {
        reply = Say("+ idling\r\n");
    } else if (word == "DONE") {
        reply = Say("$ OK idle done\r\n");
    } else if (word == "LOGOUT") {
        reply = SayAndClose("* BYE bye\r\n$ OK done\r\n");
    }
    reply.text = WithTag(reply.text, tag);
    loggedIn_ = loggedIn_ || (word == "LOGIN" && reply.text.find(tag + " OK") == 0);
    return reply;
}

bool FakeImapServer::Send(uintptr_t connection, const std::string& text) const
{
    bool singleBytes;
    {
        std::lock_guard<std::mutex> guard(lock_);
        singleBytes = singleBytes_;
    }
    const size_t piece = singleBytes ? 1 : text.size() + 1;
    for (size_t at = 0; at < text.size(); at += piece) {
        const int length = int(std::min(piece, text.size() - at));
        if (Stopping() || send(Native(connection), text.data() + at, length, kSendFlags) != length)
            return false;
        // Apart in time, so that the bytes cannot be gathered into one segment.
        if (singleBytes)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
