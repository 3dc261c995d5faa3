#pragma once
// A scripted IMAP server on 127.0.0.1 (a port the system picks), one connection at a time on a
// thread of its own; it stops in its destructor, or by itself after its lifetime. By default
// it serves one folder with the given unread UIDs correctly, answers a literal's "{n}" with
// "+", and idles; Script() replaces the answer to chosen commands. It records every byte it
// receives.
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FakeImapServer {
public:
    struct Reply {
        std::string text;          // sent as it stands, each "$" replaced by the command's tag
        bool closeAfter = false;   // hang up once the text is sent
        bool silentAfter = false;  // answer nothing more on this connection
    };
    static Reply Say(std::string text) { return {std::move(text), false, false}; }
    static Reply SayAndClose(std::string text) { return {std::move(text), true, false}; }
    static Reply Silence() { return {std::string(), false, true}; }

    explicit FakeImapServer(std::vector<uint32_t> unread = {}, int lifetimeMs = 120000);
    ~FakeImapServer();
    int Port() const { return port_; }

    // The key is a command word ("LOGIN", "EXAMINE", "SEARCH", "IDLE"), "DONE" for the end of
    // an IDLE, or "" for the greeting.
    void Script(const std::string& word, Reply reply);
    void SetUnread(std::vector<uint32_t> unread);
    // What CAPABILITY lists before the login (the greeting's code too), and after it; an empty
    // second list repeats the first.
    void SetCapabilities(std::string beforeLogin, std::string afterLogin = std::string());
    // Every EXAMINE before the first SELECT gives the folder a new UIDVALIDITY.
    void NewUidValidityUntilSelect();
    // Sent during the atIdle-th IDLE (counted from the start), after its "+".
    void Push(Reply reply, int atIdle = 1);
    // Every byte of every answer in a segment of its own.
    void SendSingleBytes(bool on);

    std::string ReceivedBytes() const;
    int Idles() const;

private:
    void Run();
    void Serve(uintptr_t connection);
    // One command with its literals' bytes in place; false when the connection ends.
    bool ReadCommand(uintptr_t connection, std::string& command, bool idling);
    // Adds what arrived within 20 ms to pending_; false when the connection ended.
    bool Receive(uintptr_t connection);
    Reply Answer(const std::string& tag, const std::string& word, const std::string& command);
    bool Send(uintptr_t connection, const std::string& text) const;
    bool Stopping() const;

    uintptr_t listener_;
    int port_ = 0;
    int64_t endTimeMs_;
    mutable std::mutex lock_;  // guards everything below but pending_
    bool stop_ = false;
    std::vector<uint32_t> unread_;
    uint32_t uidValidity_ = 7;
    bool newValidityUntilSelect_ = false, selected_ = false, loggedIn_ = false, singleBytes_ = false;
    std::string capabilities_ = "IMAP4rev1 IDLE", capabilitiesAfterLogin_;
    std::map<std::string, Reply> script_;
    std::deque<std::pair<int, Reply>> pushes_;
    std::string received_;
    int idles_ = 0;
    std::string pending_;  // received, not yet read as a command
    std::thread thread_;   // last: starts once everything above is ready
};
