#pragma once
// A scripted IMAP server. By default it serves one folder with the given unread UIDs correctly,
// answers a literal's "{n}" with "+", and idles. A key of Script() is a command word ("LOGIN",
// "EXAMINE", "SEARCH", "IDLE"), "DONE" for the end of an IDLE, or "" for the greeting; each "$"
// in a reply stands for the command's tag. DropAfterLogin() drops what came after LOGIN.
#include <deque>
#include <string>
#include <vector>

#include "scripted_server.h"

class FakeImapServer : public ScriptedServer {
public:
    explicit FakeImapServer(std::vector<uint32_t> unread = {});
    ~FakeImapServer() override { Stop(); }

    void SetUnread(std::vector<uint32_t> unread) { WithLock([&] { unread_ = std::move(unread); }); }
    // What CAPABILITY lists before the login (the greeting's code too), and after it; an empty
    // second list repeats the first.
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
    // One command with its literals' bytes in place.
    bool ReadCommand(uintptr_t connection, std::string& command) override;
    // Sends the pushes due in an IDLE.
    bool WhileWaiting(uintptr_t connection) override;

    std::vector<uint32_t> unread_;
    uint32_t uidValidity_ = 7;
    bool newValidityUntilSelect_ = false, selected_ = false, loggedIn_ = false;
    std::string capabilities_ = "IMAP4rev1 IDLE", capabilitiesAfterLogin_;
    std::deque<std::pair<int, Reply>> pushes_;
    int idles_ = 0;
    std::string idleTag_;  // the tag of the IDLE in progress
};
