#include "fake_pop3_server.h"

#include <cstdlib>

ScriptedServer::Reply FakePop3Server::Answer(const std::string& command)
{
    const std::string word = command.substr(0, command.find(' '));
    if (word == "PASS" && dropAfterLogin_)
        pending_.clear();
    for (const std::string& key : {command, word + (word == command ? "" : " ")})
        if (script_.count(key))
            return script_.at(key);
    static const std::map<std::string, Reply> fixed = {{"", Say("+OK fake POP3 server ready\r\n")},
        {"USER", Say("+OK\r\n")}, {"PASS", Say("+OK logged in\r\n")}, {"QUIT", SayAndClose("+OK bye\r\n")},
        {"CAPA", Say("+OK\r\nUIDL\r\nPIPELINING\r\n.\r\n")}};
    if (fixed.count(word))
        return fixed.at(word);
    const std::string count = std::to_string(uids_.size());
    if (command == "STAT")
        return Say("+OK " + count + " " + count + "00\r\n");
    std::string listing = "+OK\r\n";
    for (size_t n = 1; command == "UIDL" && n <= uids_.size(); ++n)
        listing += std::to_string(n) + " " + uids_[n - 1] + "\r\n";
    if (command == "UIDL")
        return Say(listing + ".\r\n");
    const size_t n = word == "UIDL" ? size_t(std::atoi(command.c_str() + 4)) : 0;
    if (n >= 1 && n <= uids_.size())
        return Say("+OK " + std::to_string(n) + " " + uids_[n - 1] + "\r\n");
    return Say("-ERR no such message\r\n");
}
