#include "fake_imap_server.h"

namespace {

std::string WordAt(const std::string& text, size_t at)
{
    return at < text.size() ? text.substr(at, text.find(' ', at) - at) : std::string();
}

// "2,4:5": runs of consecutive UIDs as ranges.
std::string Ranges(const std::vector<uint32_t>& uids)
{
    std::string all;
    for (size_t i = 0, j; i < uids.size(); i = j + 1) {
        for (j = i; j + 1 < uids.size() && uids[j + 1] == uids[j] + 1; ++j) {
        }
        all += (all.empty() ? "" : ",") + std::to_string(uids[i]) + (j > i ? ":" + std::to_string(uids[j]) : "");
    }
    return all;
}

}  // namespace

bool FakeImapServer::WhileWaiting(uintptr_t connection)
{
    Reply push;  // none due: nothing to send
    WithLock([&] {
        if (!idleTag_.empty() && !pushes_.empty() && pushes_.front().first <= idles_) {
            push = pushes_.front().second;
            pushes_.pop_front();
        }
    });
    return Send(connection, push.text) && !push.closeAfter;
}

bool FakeImapServer::ReadCommand(uintptr_t connection, std::string& command)
{
    command.clear();
    for (std::string line; ReadLine(connection, line);) {
        command += line;
        const size_t open = line.rfind('{');
        if (line.empty() || line.back() != '}' || open == std::string::npos)
            return true;
        // The literal's bytes join the command as they stand.
        const size_t count = size_t(std::stoul(line.substr(open + 1)));
        if (line[line.size() - 2] != '+') {
            CountWait(Say("+"));
            if (!Send(connection, "+ go ahead\r\n"))
                return false;
        }
        while (pending_.size() < count)
            if (Stopping() || !Receive(connection))
                return false;
        command += pending_.substr(0, count);
        pending_.erase(0, count);
    }
    return false;
}

ScriptedServer::Reply FakeImapServer::Answer(const std::string& command)
{
    std::string tag = command.substr(0, command.find(' ')), word = WordAt(command, tag.size() + 1);
    if (word == "UID")
        word = WordAt(command, tag.size() + 5);
    if (command.empty())  // a new connection
        idleTag_.clear(), loggedIn_ = false;
    if (!idleTag_.empty())
        tag = idleTag_, word = "DONE";
    else if (word == "LOGIN" && dropAfterLogin_)
        pending_.clear();
    idles_ += word == "IDLE";
    const std::string& listed = loggedIn_ && !capabilitiesAfterLogin_.empty() ? capabilitiesAfterLogin_ : capabilities_;
    static const std::map<std::string, Reply> fixed = {
        {"LOGIN", Say("$ OK logged in\r\n")}, {"IDLE", Say("+ idling\r\n")},
        {"DONE", Say("$ OK idle done\r\n")}, {"LOGOUT", SayAndClose("* BYE bye\r\n$ OK done\r\n")}};
    Reply reply = Say(tag + " BAD unknown command\r\n");
    if (script_.count(word) || fixed.count(word)) {
        reply = script_.count(word) ? script_.at(word) : fixed.at(word);
    } else if (word.empty()) {
        reply = Say("* OK [CAPABILITY " + capabilities_ + "] fake IMAP ready\r\n");
    } else if (word == "CAPABILITY") {
        reply = Say("* CAPABILITY " + listed + "\r\n$ OK done\r\n");
    } else if (word == "EXAMINE" || word == "SELECT") {
        uidValidity_ += newValidityUntilSelect_ && !selected_;
        selected_ = selected_ || word == "SELECT";
        reply = Say("* FLAGS (\\Seen)\r\n* 9 EXISTS\r\n* OK [UIDVALIDITY " + std::to_string(uidValidity_) +
                    "] ok\r\n$ OK done\r\n");
    } else if (word == "SEARCH" && command.find("RETURN") != std::string::npos) {
        reply = Say("* ESEARCH (TAG \"$\") UID" + (unread_.empty() ? "" : " ALL " + Ranges(unread_)) + "\r\n$ OK done\r\n");
    } else if (word == "SEARCH") {
        std::string text = "* SEARCH";
        for (const uint32_t uid : unread_)
            text += " " + std::to_string(uid);
        reply = Say(text + "\r\n$ OK done\r\n");
    }
    for (size_t at = reply.text.find('$'); at != std::string::npos; at = reply.text.find('$', at + tag.size()))
        reply.text.replace(at, 1, tag);
    loggedIn_ = loggedIn_ || (word == "LOGIN" && reply.text.find(tag + " OK") == 0);
    idleTag_ = word == "IDLE" && reply.text[0] == '+' ? tag : std::string();
    return reply;
}
