#pragma once
// The scripted servers: 127.0.0.1, one connection at a time on their own thread, at most two
// minutes; each answers commands and records every byte it receives.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "platform/tick_count.h"

class ScriptedServer {
public:
    struct Reply {
        std::string text;          // sent as it stands: CR LF, several lines, or nothing
        bool closeAfter = false;   // hang up once the text is sent
        bool silentAfter = false;  // answer nothing more on this connection
    };
    static Reply Say(std::string text) { return {std::move(text), false, false}; }
    static Reply SayAndClose(std::string text) { return {std::move(text), true, false}; }
    static Reply Silence() { return {std::string(), false, true}; }

    int Port() const { return port_; }
    void Script(const std::string& key, Reply reply) { WithLock([&] { script_[key] = std::move(reply); }); }
    // Sends every byte of every reply in a segment of its own, gapMs apart.
    void SendSingleBytes(bool on, int gapMs = 1) { WithLock([&] { byteGapMs_ = on ? gapMs : -1; }); }
    // Drops what came after the login, as a server that hands the connection to another program.
    void DropAfterLogin() { WithLock([&] { dropAfterLogin_ = true; }); }

    std::string ReceivedBytes() const { return Locked(received_); }  // every byte, as sent
    int Connections() const { return Locked(connections_); }
    // The client's waits: each connection, and each run of replies the server then waits after.
    int Waits() const { return Locked(waits_); }

protected:
    ScriptedServer();
    virtual ~ScriptedServer() { Stop(); }
    // At the end of the derived constructor.
    void Start() { if (port_ != 0) thread_ = std::thread(&ScriptedServer::Run, this); }
    void Stop();   // at the start of the derived destructor

    // The reply to one command ("" for the greeting); called under the lock.
    virtual Reply Answer(const std::string& command) = 0;
    // One command; false when the connection ends.
    virtual bool ReadCommand(uintptr_t connection, std::string& command) { return ReadLine(connection, command); }
    // Called while no whole line is there to read; false ends the connection.
    virtual bool WhileWaiting(uintptr_t) { return true; }

    bool ReadLine(uintptr_t connection, std::string& line);
    // Adds what arrived within 20 ms to pending_; false when the connection ended.
    bool Receive(uintptr_t connection);
    // Counted before the reply goes out, so the client never sees it first.
    void CountWait(const Reply& reply);
    bool Send(uintptr_t connection, const std::string& text) const;
    bool Stopping() const { return Locked(stop_) || SteadyNowMs() >= endTimeMs_; }

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

    mutable std::mutex lock_;  // guards what the test thread may touch
    std::map<std::string, Reply> script_;
    bool dropAfterLogin_ = false;
    std::string pending_;  // the server's thread only: received, not yet read as a command

private:
    void Run();
    void Serve(uintptr_t connection);

    uintptr_t listener_;
    int port_ = 0;
    int64_t endTimeMs_;
    bool stop_ = false;
    int byteGapMs_ = -1;  // -1: whole replies
    std::string received_;
    int connections_ = 0;
    int waits_ = 0;
    bool answered_ = false;  // replies went out since the client last had to wait
    std::thread thread_;
};
