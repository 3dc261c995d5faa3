#pragma once
// A scripted POP3 server with PIPELINING. Script() keys: a whole line ("UIDL 2"), which wins over
// a word and a blank for all its forms ("PASS "), or "" for the greeting.
#include <string>
#include <vector>

#include "scripted_server.h"

class FakePop3Server : public ScriptedServer {
public:
    explicit FakePop3Server(std::vector<std::string> uids = {}) : uids_(std::move(uids)) { Start(); }
    ~FakePop3Server() override { Stop(); }

    void SetUids(std::vector<std::string> uids) { WithLock([&] { uids_ = std::move(uids); }); }

private:
    Reply Answer(const std::string& command) override;

    std::vector<std::string> uids_;
};
