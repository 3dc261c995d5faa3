#include "mail/pop3/pop3_session.h"

#include <vector>

#include "mail/pop3/pop3_reply.h"
#include "mail/session_support.h"
#include "platform/debug_channel.h"

namespace {

// Each command is formatted into a 512-byte line: "USER " or "PASS ", the text, CR LF and a
// terminating zero leave 504 bytes for the name or the password.
constexpr size_t kCommandLine = 512;
constexpr size_t kMaxArgument = kCommandLine - 8;
constexpr size_t kGeneralReplyLimit = 262144;
// A server that claims more messages than this is not believed: the listing keeps every UID.
constexpr int32_t kMaxMessageCount = 1000000;

// Why a check failed, in the user's words.
constexpr char kUnreachable[] = "server unreachable";
constexpr char kServerRefused[] = "server refused";
constexpr char kBadReply[] = "bad reply";
constexpr char kLoginRefused[] = "login refused";
constexpr char kMailboxRefused[] = "mailbox refused";
constexpr char kListingFailed[] = "listing failed";
constexpr char kUnexpected[] = "unexpected reply";
constexpr char kTooLarge[] = "listing too large";
constexpr char kCapabilitiesChanged[] = "Server no longer offers PIPELINING";
constexpr char kStopped[] = "stopped";
constexpr char kNoStls[] = "Server offers no STLS";
constexpr char kStlsRefused[] = "STLS refused";

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

}  // namespace

Pop3Session::Pop3Session(const AccountSettings& account, const std::atomic<int32_t>* stopFlag,
                         SessionMemory* memory, uint32_t connectTimeoutMs, uint32_t ioTimeoutMs,
                         size_t maxListingBytes)
    : account(account), stopFlag(stopFlag), memory(memory ? memory : &ownMemory), maxListingBytes(maxListingBytes),
      listingRefused(this->memory->pop3ListingRefused), socket(connectTimeoutMs, ioTimeoutMs)
{
}

Pop3Session::~Pop3Session() = default;

bool Pop3Session::StopRequested() const
{
    return stopFlag && stopFlag->load() != 0;
}

bool Pop3Session::Fail(const char* reason)
{
    if (failure.empty())
        failure = reason;
    return false;
}

bool Pop3Session::Fail(ReplyFault fault, const char* broken)
{
    if (fault == ReplyFault::Unexpected)
        return Fail(kUnexpected);
    return Fail(fault == ReplyFault::TooLarge ? kTooLarge : broken);
}

CheckOutcome Pop3Session::RunCheck()
{
    CheckOutcome outcome = Converse();
    // The QUIT that went out with the refused listing ended that conversation; the refusal is
    // known now, so the second one lists by number and cannot come here again.
    if (relistByNumber && !StopRequested()) {
        Disconnect();
        outcome = Converse();
    }
    const bool good = outcome.result != CheckOutcome::Result::Failed;
    if (!good) {
        outcome.reason = StopRequested() ? kStopped : failure;
        outcome.tokenRefused = tokenRefused;
    }
    Remember(good);
    return outcome;
}

CheckOutcome Pop3Session::Converse()
{
    CheckOutcome outcome;
    // No QUIT before the login succeeded: the connection closes with the session.
    if (Greet() && Login())
        ListMailbox(outcome);
    return outcome;
}

void Pop3Session::Disconnect()
{
    stream = &socket;
    tls.reset();
    socket.Close();
    capabilities = CapabilityReader();
    pipelinedLogin = relistByNumber = tokenRefused = false;
    messageCount = 0;
    failure.clear();
}

void Pop3Session::Remember(bool good)
{
    // After a failure nothing learnt is trusted: the next check asks again.
    memory->pop3Pipelining = good && pipelinedLogin;
    memory->pop3ListingRefused = good && listingRefused;
}

bool Pop3Session::Greet()
{
    socket.SetStopFlag(stopFlag);
    if (const char* fault = ArgumentFault(account.Account)) {
        DebugWrite(std::string("Account name ") + fault + "\n");
        return Fail((std::string("account name ") + fault).c_str());
    }
    if (const char* fault = ArgumentFault(account.Password)) {
        DebugWrite(std::string("Password ") + fault + "\n");
        return Fail((std::string("password ") + fault).c_str());
    }
    if (!socket.Connect(account.Address, account.Port)) {
        DebugWrite("Server cannot be connected");
        return Fail(kUnreachable);
    }
    if (account.Security == kSecurityTls && !StartTls())
        return false;
    return ReadReply(kServerRefused);
}

bool Pop3Session::UpgradeAfterGreeting()
{
    if (account.Security != kSecurityStls)
        return true;
    // Never a fall back to plain text: the password would travel in clear.
    if (!capabilities.Stls()) {
        TraceFailure(kNoStls);
        return Fail(ReasonFromTrace(kNoStls).c_str());
    }
    if (!SendCommand("STLS\r\n", "STLS\r\n") || !ReadReply(kStlsRefused) || !StartTls())
        return false;
    capabilities = CapabilityReader();
    return AskCapabilities();
}

bool Pop3Session::StartTls()
{
    const auto traceRefusal = [this](const std::string& text) { TraceFailure(text); };
    const std::string failed = StartTlsTraced(tlsFactory, socket, account, stopFlag, traceRefusal, tls);
    if (!failed.empty())
        return Fail(failed.c_str());
    stream = tls.get();
    return true;
}

bool Pop3Session::AskCapabilities()
{
    // A server without CAPA refuses it: that only means no capabilities.
    return SendCommand("CAPA\r\n", "CAPA\r\n") && ReadMultiLine(capabilities, kBadReply) != ReplyProgress::Failed;
}

bool Pop3Session::Login()
{
    // A token login goes one command at a time, and so does everything after it.
    if (account.Auth == kAuthOAuth)
        return AskCapabilities() && UpgradeAfterGreeting() && LoginWithToken();
    const std::string user = "USER " + account.Account + "\r\n";
    const std::string pass = "PASS " + account.Password + "\r\n";
    // The debug channel is readable by any process on the desktop: the password stays out.
    const std::string traced = user + "\n" + "PASS ****\r\n";
    // STLS discards the capabilities, so an STLS check always asks them around it.
    if (memory->pop3Pipelining && account.Security != kSecurityStls)
        return LoginWithCapabilities(user, pass, traced);
    if (!AskCapabilities() || !UpgradeAfterGreeting())
        return false;
    pipelinedLogin = capabilities.Pipelining();
    if (pipelinedLogin)
        return SendCommand(user + pass, traced) && ReadReply(kLoginRefused) && ReadReply(kLoginRefused);
    return SendCommand(user, user) && ReadReply(kLoginRefused) && SendCommand(pass, "PASS ****\r\n") &&
           ReadReply(kLoginRefused);
}

bool Pop3Session::LoginWithCapabilities(const std::string& user, const std::string& pass, const std::string& traced)
{
    if (!SendCommand("CAPA\r\n" + user + pass, "CAPA\r\n\n" + traced) ||
        ReadMultiLine(capabilities, kBadReply) == ReplyProgress::Failed)
        return false;
    // USER and PASS went out on the strength of the last check: a server that no longer
    // pipelines may have dropped them. This check fails; the next one asks first.
    if (!capabilities.Pipelining()) {
        socket.Close();
        TraceFailure(kCapabilitiesChanged);
        return Fail(ReasonFromTrace(kCapabilitiesChanged).c_str());
    }
    pipelinedLogin = true;
    return ReadReply(kLoginRefused) && ReadReply(kLoginRefused);
}

void Pop3Session::ListMailbox(CheckOutcome& outcome)
{
    if (pipelinedLogin && !listingRefused) {
        ListPipelined(outcome);
        return;
    }
    // A failed STAT says nothing about the mailbox, so the outcome stays a failure.
    if (Stat()) {
        if (messageCount <= 0)
            outcome.result = CheckOutcome::Result::EmptyMailbox;
        else if (ListUids(outcome.uids))
            outcome.result = CheckOutcome::Result::Listed;
    }
    Quit();
}

void Pop3Session::ListPipelined(CheckOutcome& outcome)
{
    if (!SendCommand("STAT\r\nUIDL\r\nQUIT\r\n", "STAT\r\n\nUIDL\r\n\nQUIT\r\n"))
        return;
    // Past a failed STAT the replies still on their way cannot be told apart: hang up.
    if (!ReadReply(kMailboxRefused, true)) {
        socket.Close();
        return;
    }
    UidListing listing(messageCount, maxListingBytes);
    const ReplyProgress progress = ReadMultiLine(listing, kListingFailed);
    if (progress == ReplyProgress::Failed) {
        socket.Close();
        return;
    }
    ReadQuitReply();
    if (messageCount <= 0) {
        outcome.result = CheckOutcome::Result::EmptyMailbox;
    } else if (progress == ReplyProgress::Refused) {
        listingRefused = relistByNumber = true;
    } else {
        outcome.uids = listing.TakeUids();
        outcome.result = CheckOutcome::Result::Listed;
    }
}

bool Pop3Session::Stat()
{
    return SendCommand("STAT\r\n", "STAT\r\n") && ReadReply(kMailboxRefused, true);
}

void Pop3Session::Quit()
{
    // After a stop the farewell still goes out, but its reply is not awaited.
    if (socket.IsConnected() && SendCommand("QUIT\r\n", "QUIT\r\n"))
        ReadQuitReply();
}

void Pop3Session::ReadQuitReply()
{
    ReadReply(kServerRefused);
    // Our close_notify, without waiting for the server's: many servers send none.
    if (stream == tls.get() && socket.IsConnected())
        tls->Close();
}

bool Pop3Session::ListUids(UidSet& listed)
{
    if (StopRequested())
        return Fail(kStopped);
    if (!listingRefused) {
        bool refused = false;
        if (ListAtOnce(listed, refused))
            return true;
        if (!refused)
            return false;
        listingRefused = true;
    }
    return ListByNumber(listed, pipelinedLogin ? UidlPipeline::kDefaultInFlight : 1);
}

bool Pop3Session::ListByNumber(UidSet& listed, size_t maxInFlight)
{
    UidlPipeline pipeline(messageCount, maxInFlight, maxListingBytes);
    std::string line;
    while (!pipeline.Complete()) {  // bounded: every pass takes one reply or fails
        if (StopRequested())
            return Fail(kStopped);
        std::string commands, traced;
        for (const std::string& command : pipeline.NextCommands()) {
            commands += command;
            traced += command + "\n";
        }
        if (!commands.empty() && !SendCommand(commands, traced.substr(0, traced.size() - 1)))
            return false;
        if (!ReadLine(line, kReplyLineLimit, kListingFailed))
            return false;
        if (!pipeline.TakeReply(line)) {
            // The replies to the commands still unanswered, or one too many, would be read as
            // the farewell's.
            if (!pipeline.Idle() || pipeline.Fault() == ReplyFault::Unexpected)
                socket.Close();
            return Fail(pipeline.Fault(), kListingFailed);
        }
    }
    listed = pipeline.TakeUids();
    return true;
}

bool Pop3Session::ListAtOnce(UidSet& listed, bool& refused)
{
    if (!SendCommand("UIDL\r\n", "UIDL\r\n"))
        return false;
    UidListing listing(messageCount, maxListingBytes);
    const ReplyProgress progress = ReadMultiLine(listing, kListingFailed);
    refused = progress == ReplyProgress::Refused;
    if (progress != ReplyProgress::Done)
        return false;
    listed = listing.TakeUids();
    return true;
}

template <typename Reader>
ReplyProgress Pop3Session::ReadMultiLine(Reader& reader, const char* failure)
{
    std::string line;
    for (bool status = true;; status = false) {  // bounded: each reader fails an endless reply
        if (StopRequested()) {
            Fail(kStopped);
            return ReplyProgress::Failed;
        }
        if (!ReadLine(line, kReplyLineLimit, failure))
            return ReplyProgress::Failed;
        const ReplyProgress progress = reader.Feed(line);
        if (status)
            TraceSuccess(ReplyText(line));  // the status line; the list itself is not traced
        if (progress == ReplyProgress::Failed) {
            socket.Close();  // the rest of the reply may still be on its way
            Fail(reader.Fault(), failure);
        }
        if (progress != ReplyProgress::More)
            return progress;
    }
}

bool Pop3Session::ReadReply(const char* refusal, bool isStat)
{
    if (StopRequested())
        return Fail(kStopped);
    std::string line;
    if (!ReadLine(line, kGeneralReplyLimit, refusal))
        return false;
    const std::string text = ReplyText(line);
    if (IsErrReply(text)) {
        TraceFailure(text);
        return Fail(refusal);
    }
    if (!IsOkReply(text)) {
        // Not an answer to what was asked: what follows cannot be trusted to be in step.
        TraceFailure(text);
        socket.Close();
        return Fail(kUnexpected);
    }
    if (isStat) {
        int32_t count = 0;
        if (!ParseStatCount(text, count) || count > kMaxMessageCount) {
            TraceFailure(text);
            return Fail(kMailboxRefused);
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
    if (stream->Send(command))
        return true;
    if (StopRequested())
        return Fail(kStopped);
    TraceFailure("Send failed");
    socket.Close();
    return Fail("connection failed");
}

bool Pop3Session::ReadLine(std::string& line, size_t maxLength, const char* refusal)
{
    const TcpClient::LineResult result = stream->ReadLine(line, maxLength);
    if (result == TcpClient::LineResult::Line && !StopRequested())
        return true;
    if (StopRequested() || result == TcpClient::LineResult::Stopped)
        return Fail(kStopped);  // the connection stays up for the farewell
    socket.Close();
    const LineFault fault = FaultOf(result);
    // The server's last words before it hung up usually say why.
    if (result == TcpClient::LineResult::Closed && !line.empty()) {
        const std::string text = ReplyText(line);
        TraceFailure(text);
        return Fail(IsErrReply(text) ? refusal : fault.reason);
    }
    TraceFailure(fault.traced);
    return Fail(fault.reason);
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
