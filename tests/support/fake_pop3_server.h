#pragma once
// A scripted POP3 server on 127.0.0.1 (a port the system picks), one connection at a time on
// a thread of its own; it stops in its destructor, or by itself after its lifetime. By default
// it serves a mailbox of the given UIDs correctly and offers PIPELINING; Script() replaces the
// reply to chosen commands. It records every byte it receives.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FakePop3Server {
public:
    struct Reply {
        std::string text;          // sent as it stands: CR LF, several lines, or nothing
        bool closeAfter = false;   // hang up once the text is sent
        bool silentAfter = false;  // answer nothing more on this connection
    };
    static Reply Say(std::string text) { return {std::move(text), false, false}; }
    static Reply SayAndClose(std::string text) { return {std::move(text), true, false}; }
    static Reply Silence() { return {std::string(), false, true}; }

    explicit FakePop3Server(std::vector<std::string> uids = {}, int lifetimeMs = 120000);
    ~FakePop3Server();

    bool Listening() const { return port_ != 0; }
    int Port() const { return port_; }

    // The key is a whole command line without CR LF ("UIDL 2", "UIDL"), or a command word and a
    // blank standing for all its forms with an argument ("PASS "); the empty key is the greeting.
    // A whole line wins over its word.
    void Script(const std::string& command, Reply reply);
    void SetUids(std::vector<std::string> uids);
    // Sends every byte of every reply in a segment of its own, gapMs apart.
    void SendSingleBytes(bool on, int gapMs = 2);
    // Drops whatever arrived after PASS before its reply, as a server does that hands the
    // logged-in connection from its login program to its mailbox program.
    void DropAfterPass(bool on);

    std::string ReceivedBytes() const { return Locked(received_); }  // every byte, as sent
    int Connections() const { return Locked(connections_); }
    // How often the client waited on the network: for each connection, and for each run of
    // replies that ends with the server waiting for the next command or hanging up.
    int Waits() const { return Locked(waits_); }

private:
    template <typename T>
    T Locked(const T& field) const
    {
        std::lock_guard<std::mutex> guard(lock_);
        return field;
    }
    template <typename Change>
    void WithLock(Change change)
    {
        std::lock_guard<std::mutex> guard(lock_);
        change();
    }
    void Run();
    void Serve(uintptr_t connection);
    Reply ReplyTo(const std::string& command) const;
    bool Send(uintptr_t connection, const std::string& text) const;
    bool Stopping() const;

    uintptr_t listener_;
    int port_ = 0;
    int64_t endTimeMs_;
    bool stop_ = false;
    mutable std::mutex lock_;
    std::vector<std::string> uids_;
    std::map<std::string, Reply> script_;
    int byteGapMs_ = -1;  // -1: whole replies
    bool dropAfterPass_ = false;
    std::string received_;
    int connections_ = 0;
    int waits_ = 0;
    std::thread thread_;  // last: starts once everything above is ready
};
