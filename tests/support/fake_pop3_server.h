#pragma once
// A scripted POP3 server. By default it serves a mailbox of the given UIDs correctly and offers
// PIPELINING. A key of Script() is a whole command line without CR LF ("UIDL 2"), or a command
// word and a blank for all its forms with an argument ("PASS "); a whole line wins over its word.
// The empty key is the greeting. DropAfterLogin() drops what came after PASS.
#include <string>
#include <vector>

#include "scripted_server.h"

class FakePop3Server : public ScriptedServer {
public:
    explicit FakePop3Server(std::vector<std::string> uids = {});
    ~FakePop3Server() override { Stop(); }

    void SetUids(std::vector<std::string> uids) { WithLock([&] { uids_ = std::move(uids); }); }

private:
    Reply Answer(const std::string& command) override;

    std::vector<std::string> uids_;
};
