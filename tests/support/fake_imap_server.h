#pragma once
// A scripted IMAP server serving one folder of the given unread UIDs, answering literals and idling.
// Script() keys: a command word ("EXAMINE"), "DONE" ending an IDLE, "" the greeting; "$" is the tag.
#include <deque>
#include <string>
#include <vector>

#include "scripted_server.h"

class FakeImapServer : public ScriptedServer {
public:
    explicit FakeImapServer(std::vector<uint32_t> unread = {}) : unread_(std::move(unread)) { Start(); }
    ~FakeImapServer() override { Stop(); }

    void SetUnread(std::vector<uint32_t> unread) { WithLock([&] { unread_ = std::move(unread); }); }
    // What CAPABILITY (and the greeting) lists before the login, and after it (empty: the same).
    void SetCapabilities(std::string beforeLogin, std::string afterLogin = std::string())
    {
        WithLock([&] { capabilities_ = std::move(beforeLogin), capabilitiesAfterLogin_ = std::move(afterLogin); });
    }
    // Every EXAMINE before the first SELECT gives the folder a new UIDVALIDITY.
    void NewUidValidityUntilSelect() { WithLock([&] { newValidityUntilSelect_ = true; }); }
    // Sent during the atIdle-th IDLE (counted from the start), after its "+".
    void Push(Reply reply, int atIdle = 1) { WithLock([&] { pushes_.emplace_back(atIdle, std::move(reply)); }); }

private:
    Reply Answer(const std::string& command) override;
    bool ReadCommand(uintptr_t connection, std::string& command) override;
    bool WhileWaiting(uintptr_t connection) override;

    std::vector<uint32_t> unread_;
    uint32_t uidValidity_ = 7;
    bool newValidityUntilSelect_ = false, selected_ = false, loggedIn_ = false;
    std::string capabilities_ = "IMAP4rev1 IDLE", capabilitiesAfterLogin_;
    std::deque<std::pair<int, Reply>> pushes_;
    int idles_ = 0;
    std::string idleTag_;  // the tag of the IDLE in progress
};
