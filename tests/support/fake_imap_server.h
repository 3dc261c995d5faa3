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

    // The key is a command word ("LOGIN", "EXAMINE", "IDLE"), "DONE" for the end of an IDLE,
    // or "" for the greeting.
    void Script(const std::string& word, Reply reply);
    void SetUnread(std::vector<uint32_t> unread);
    void SetUidValidity(uint32_t validity);
    // What CAPABILITY lists before the login (and the greeting's code, unless scripted), and
    // after it; an empty second list repeats the first.
    void SetCapabilities(std::string beforeLogin, std::string afterLogin = std::string());
    // A folder whose UIDs are not kept until a client opens it read-write: every EXAMINE
    // before the first SELECT gives a new UIDVALIDITY.
    void NewUidValidityUntilSelect();
    // Sent during the atIdle-th IDLE (counted from the start), after its "+".
    void Push(Reply reply, int atIdle = 1);
    // Sends every byte of every answer in a segment of its own, a few milliseconds apart.
    void SendSingleBytes(bool on);

    std::string ReceivedBytes() const { return Locked(received_); }
    int Connections() const { return Locked(connections_); }
    int Idles() const { return Locked(idles_); }

private:
    template <typename T>
    T Locked(const T& field) const
    {
        std::lock_guard<std::mutex> guard(lock_);
        return field;
    }
    void Run();
    void Serve(uintptr_t connection);
    // One command, its literals' bytes in place; false when the connection ends.
    bool ReadCommand(uintptr_t connection, std::string& pending, std::string& command, bool idling);
    Reply Answer(const std::string& tag, const std::string& word, const std::string& command);
    std::string Search(bool extended) const;
    bool Send(uintptr_t connection, const std::string& text) const;
    bool Stopping() const;

    uintptr_t listener_;
    int port_ = 0;
    int64_t endTimeMs_;
    bool stop_ = false;
    mutable std::mutex lock_;
    std::vector<uint32_t> unread_;
    uint32_t uidValidity_ = 7;
    bool newValidityUntilSelect_ = false;
    bool selected_ = false;
    bool loggedIn_ = false;
    std::string capabilities_ = "IMAP4rev1 IDLE";
    std::string capabilitiesAfterLogin_;
    std::map<std::string, Reply> script_;
    std::deque<std::pair<int, Reply>> pushes_;
    bool singleBytes_ = false;
    std::string received_;
    int connections_ = 0;
    int idles_ = 0;
    std::thread thread_;  // last: starts once everything above is ready
};
