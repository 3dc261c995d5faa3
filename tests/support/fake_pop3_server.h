#pragma once
// A scripted POP3 server for tests: it listens on 127.0.0.1 at a port the system picks, serves
// one connection at a time on a thread of its own, and stops in its destructor (or by itself
// after its lifetime). By default it behaves like a small, correct server for a mailbox of the
// given UIDs; Script() replaces its reply to chosen commands, so a test can make it answer
// "-ERR" at any step, fall silent, hang up in the middle of a listing, or send several replies
// in one segment. It records every command line it receives.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FakePop3Server {
public:
    // What the server does when a command (or, for the greeting, a connection) arrives.
    struct Reply {
        std::string text;          // sent as it stands: CR LF, several lines, or nothing
        bool closeAfter = false;   // hang up once the text is sent
        bool silentAfter = false;  // answer nothing more on this connection
    };
    static Reply Say(std::string text) { return Reply{std::move(text), false, false}; }
    static Reply SayAndClose(std::string text) { return Reply{std::move(text), true, false}; }
    static Reply Silence() { return Reply{std::string(), false, true}; }

    explicit FakePop3Server(std::vector<std::string> uids = {}, int lifetimeMs = 120000);
    ~FakePop3Server();
    FakePop3Server(const FakePop3Server&) = delete;
    FakePop3Server& operator=(const FakePop3Server&) = delete;

    bool Listening() const { return port_ != 0; }
    int Port() const { return port_; }

    // Replaces the reply to a command. The key is a whole command line without CR LF
    // ("UIDL 2"), or a command word that stands for all its forms ("PASS"); the empty key
    // is the greeting. A whole line wins over its word.
    void Script(const std::string& command, Reply reply);
    // The mailbox that the next connections see.
    void SetUids(std::vector<std::string> uids);
    // Sends every byte of every reply in a segment of its own, gapMs apart.
    void SendSingleBytes(bool on, int gapMs = 2);

    // Every command line received so far, CR LF removed, over all connections in order.
    std::vector<std::string> Commands() const;
    // Every byte received so far, exactly as sent by the clients.
    std::string ReceivedBytes() const;
    int Connections() const;
    // Waits up to timeoutMs until at least count command lines have arrived.
    bool WaitForCommands(size_t count, int timeoutMs) const;

private:
    void Run();
    void Serve(uintptr_t connection);
    Reply ReplyTo(const std::string& command) const;
    Reply DefaultReply(const std::string& command) const;
    bool SendReply(uintptr_t connection, const std::string& text) const;
    bool Stopping() const;

    uintptr_t listener_;
    int port_ = 0;
    int64_t endTimeMs_;
    std::atomic<bool> stop_{false};

    mutable std::mutex lock_;
    mutable std::condition_variable commandArrived_;
    std::vector<std::string> uids_;
    std::map<std::string, Reply> script_;
    bool singleBytes_ = false;
    int byteGapMs_ = 2;
    std::vector<std::string> commands_;
    std::string received_;
    int connections_ = 0;

    std::thread thread_;  // last: starts once everything above is ready
};
