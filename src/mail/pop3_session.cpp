#include "mail/pop3_session.h"

#include "mail/pop3_reply.h"
#include "platform/debug_channel.h"

namespace {

// Each command is formatted into a 512-byte line: "USER " or "PASS ", the text, CR LF and a
// terminating zero leave 504 bytes for the name or the password.
constexpr size_t kCommandLine = 512;
constexpr size_t kMaxArgument = kCommandLine - 8;
constexpr size_t kGeneralReplyLimit = 262144;
constexpr size_t kUidlReplyLimit = 512;
// A server that claims more messages than this is not believed: the listing sends one
// command per message and keeps every UID.
constexpr int32_t kMaxMessageCount = 1000000;

// A name or password that cannot travel on one command line: too long for it, or holding a
// line break or zero byte that would end the command early and start another one.
const char* ArgumentFault(const std::string& text)
{
    if (text.size() > kMaxArgument)
        return "too long";
    if (text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        return "holds a line break";
    return nullptr;
}

const char* LineFault(TcpClient::LineResult result)
{
    switch (result) {
    case TcpClient::LineResult::Closed: return "Connection closed";
    case TcpClient::LineResult::TimedOut: return "No reply in time";
    case TcpClient::LineResult::TooLong: return "Reply line too long";
    default: return "Connection failed";
    }
}

}  // namespace

Pop3Session::Pop3Session(const AccountSettings& account, const std::atomic<int32_t>* stopFlag,
                         uint32_t connectTimeoutMs, uint32_t ioTimeoutMs)
    : account(account), stopFlag(stopFlag), socket(connectTimeoutMs, ioTimeoutMs)
{
}

Pop3Session::~Pop3Session() = default;

bool Pop3Session::StopRequested() const
{
    return stopFlag && stopFlag->load() != 0;
}

CheckOutcome Pop3Session::RunCheck()
{
    CheckOutcome outcome;
    if (!Login())
        return outcome;  // no QUIT: the connection closes with the session
    // A failed STAT says nothing about the mailbox, so the outcome stays a failure.
    if (Stat()) {
        if (messageCount <= 0)
            outcome.result = CheckOutcome::Result::EmptyMailbox;
        else if (ListUids(outcome.uids))
            outcome.result = CheckOutcome::Result::Listed;
    }
    Quit();
    return outcome;
}

bool Pop3Session::Login()
{
    socket.SetStopFlag(stopFlag);
    if (const char* fault = ArgumentFault(account.Account)) {
        DebugWrite(std::string("Account name ") + fault + "\n");
        return false;
    }
    if (const char* fault = ArgumentFault(account.Password)) {
        DebugWrite(std::string("Password ") + fault + "\n");
        return false;
    }
    if (!socket.Connect(account.Address, account.Port)) {
        DebugWrite("Server cannot be connected");
        return false;
    }
    if (!ReadReply(ReplyKind::Greeting))
        return false;
    const std::string userCommand = "USER " + account.Account + "\r\n";
    if (!SendCommand(userCommand, userCommand) || !ReadReply(ReplyKind::User))
        return false;
    // The debug channel is readable by any process on the desktop: the password stays out.
    if (!SendCommand("PASS " + account.Password + "\r\n", "PASS ****\r\n"))
        return false;
    return ReadReply(ReplyKind::Pass);
}

bool Pop3Session::Stat()
{
    if (!SendCommand("STAT\r\n", "STAT\r\n"))
        return false;
    return ReadReply(ReplyKind::Stat);
}

bool Pop3Session::Quit()
{
    // After a stop the farewell still goes out, but its reply is not awaited.
    if (!socket.IsConnected() || !SendCommand("QUIT\r\n", "QUIT\r\n"))
        return false;
    return ReadReply(ReplyKind::Quit);
}

bool Pop3Session::ListUids(UidSet& listed)
{
    if (StopRequested())
        return false;
    UidSet current;
    for (int32_t n = 1; n <= messageCount; ++n) {
        if (StopRequested())
            return false;
        const std::string command = "UIDL " + std::to_string(n) + "\r\n";
        std::string line;
        if (!SendCommand(command, command) || !ReadLine(line, kUidlReplyLimit))
            return false;
        const std::string text = ReplyText(line);
        if (IsErrReply(text))
            return false;
        // Every message must give its UID, as with "-ERR": a listing with a gap would
        // forget the missing message's acknowledgement.
        std::string uid = TakeUidlUid(text);
        if (uid.empty())
            return false;
        current.insert(std::move(uid));
    }
    listed = std::move(current);
    return true;
}

bool Pop3Session::ReadReply(ReplyKind kind)
{
    if (StopRequested())
        return false;
    std::string line;
    if (!ReadLine(line, kGeneralReplyLimit))
        return false;
    const std::string text = ReplyText(line);
    if (IsErrReply(text)) {
        TraceFailure(text);
        return false;
    }
    if (kind == ReplyKind::Stat) {
        int32_t count = 0;
        if (!ParseStatCount(text, count) || count > kMaxMessageCount) {
            TraceFailure(text);
            return false;
        }
        messageCount = count;
    }
    TraceSuccess(text);
    return true;
}

bool Pop3Session::SendCommand(const std::string& command, const std::string& traced)
{
    DebugWrite(traced);
    DebugWrite("\n");
    if (socket.Send(command))
        return true;
    if (!StopRequested())
        TraceFailure("Send failed");
    socket.Close();
    return false;
}

bool Pop3Session::ReadLine(std::string& line, size_t maxLength)
{
    const TcpClient::LineResult result = socket.ReadLine(line, maxLength);
    if (result == TcpClient::LineResult::Line && !StopRequested())
        return true;
    if (StopRequested() || result == TcpClient::LineResult::Stopped)
        return false;  // the connection stays up for the farewell
    TraceFailure(LineFault(result));
    socket.Close();
    return false;
}

void Pop3Session::TraceFailure(const std::string& reply)
{
    DebugWrite("Bad Connection");
    DebugWrite("\n");
    DebugWrite("MSG: ");
    DebugWrite(reply);
    DebugWrite("\n");
}

void Pop3Session::TraceSuccess(const std::string& reply)
{
    DebugWrite("Command Normal End\n");
    DebugWrite("MSG: ");
    DebugWrite(reply);
    DebugWrite("\n");
}
