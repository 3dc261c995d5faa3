#include "mail/imap/imap_session.h"

#include <algorithm>

#include "mail/imap/folder_list.h"
#include "mail/imap/folder_name.h"
#include "mail/session_support.h"
#include "platform/debug_channel.h"
#include "platform/tick_count.h"

namespace {

// How long Close waits for the server's goodbye: the exit must not wait for a slow server.
constexpr uint32_t kCloseAnswerMs = 500;
// Untagged responses before one completion: a FETCH for every message of a large folder
// fits, a server that never completes does not.
constexpr size_t kMaxUntagged = 2 * kMaxImapUids + 1000;
// More folders than this are not offered: a list that long is not read by anyone.
constexpr size_t kMaxListedFolders = 5000;
// Untagged data longer than this is traced cut short.
constexpr size_t kTracedDataLength = 200;

// Why a check failed, in the user's words.
constexpr char kUnreachable[] = "server unreachable";
constexpr char kServerRefused[] = "server refused";
constexpr char kBadReply[] = "bad reply";
constexpr char kLoginRefused[] = "login refused";
constexpr char kFolderNotFound[] = "folder not found";
constexpr char kNoUidValidity[] = "no UIDVALIDITY";
constexpr char kSearchRefused[] = "search refused";
constexpr char kTooMany[] = "too many unread messages";
constexpr char kIdleRefused[] = "IDLE refused";
constexpr char kListRefused[] = "folder list refused";
constexpr char kStopped[] = "stopped";
constexpr char kSessionClosed[] = "server closed the session";
constexpr char kNoStarttls[] = "Server offers no STARTTLS";
constexpr char kStarttlsRefused[] = "STARTTLS refused";
constexpr char kPlainLoginRefused[] = "Server refuses plain-text login";

void TraceFailure(const std::string& reply)
{
    DebugWrite("Bad Connection\nMSG: " + reply + "\n");
}

void TraceSuccess(const std::string& reply)
{
    DebugWrite("Command Normal End\nMSG: " + reply + "\n");
}

// A quoted string cannot carry these; the issue of a quote or backslash is sidestepped too.
bool NeedsLiteral(const std::string& text)
{
    for (const char c : text) {
        const uint8_t byte = uint8_t(c);
        if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\')
            return true;
    }
    return false;
}

// An argument appended to a command as a quoted string, or as a literal. A literal the server
// must first agree to ends the piece: the next piece goes after its "+".
void AppendArgument(std::vector<std::string>& pieces, const std::string& text, bool literalPlus)
{
    if (!NeedsLiteral(text)) {
        pieces.back() += "\"" + text + "\"";
        return;
    }
    pieces.back() += "{" + std::to_string(text.size()) + (literalPlus ? "+" : "") + "}\r\n";
    if (!literalPlus)
        pieces.emplace_back();
    pieces.back() += text;
}

// A folder's wire name, quoted: it is plain ASCII, so only a quote and a backslash need escapes.
std::string QuotedFolder(const std::string& folder)
{
    std::string quoted = "\"";
    for (const char c : EncodeFolderName(folder.empty() ? "INBOX" : folder)) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

ImapSession::ImapSession(const AccountSettings& account, const std::atomic<int32_t>* stopFlag,
                         SessionMemory* memory, uint32_t connectTimeoutMs, uint32_t ioTimeoutMs)
    : account(account), stopFlag(stopFlag), memory(memory ? memory : &localMemory),
      socket(connectTimeoutMs, ioTimeoutMs), ioTimeoutMs(ioTimeoutMs)
{
}

ImapSession::~ImapSession() = default;

bool ImapSession::StopRequested() const
{
    return stopFlag && stopFlag->load() != 0;
}

bool ImapSession::Fail(const std::string& reason)
{
    if (failure.empty())
        failure = reason;
    return false;
}

bool ImapSession::OutOfStep(const std::string& traced, const char* reason)
{
    TraceFailure(traced);
    socket.Close();
    return Fail(reason);
}

CheckOutcome ImapSession::RunCheck()
{
    CheckOutcome outcome;
    checked = false;
    if (Connect() && Greet() && (!capabilities.empty() || AskCapabilities()) && UpgradeToTls() &&
        LogInAndRelearnCapabilities()) {
        checked = ListUnread(outcome);
        if (!CanWaitForChanges() && !stayConnected)
            LogOut();
    }
    if (!checked) {
        outcome = CheckOutcome();
        outcome.reason = StopRequested() ? kStopped : failure;
        outcome.tokenRefused = tokenRefused;
    }
    return outcome;
}

bool ImapSession::Connect()
{
    socket.SetStopFlag(stopFlag);
    for (const std::string* value : {&account.Account, &account.Password}) {
        if (value->find('\0') != std::string::npos) {
            const char* what = value == &account.Account ? "Account name" : "Password";
            DebugWrite(std::string(what) + " holds a zero byte\n");
            return Fail(ReasonFromTrace(what) + " holds a zero byte");
        }
    }
    if (!socket.Connect(account.Address, account.Port)) {
        DebugWrite("Server cannot be connected");
        return Fail(kUnreachable);
    }
    return account.Security != kSecurityTls || StartTls();
}

bool ImapSession::Greet()
{
    ImapResponse response;
    if (!ReadResponse(response))
        return false;
    const ImapCondition greeting = ReadCondition(response.text);
    const bool known = greeting.status == ImapStatus::Ok || greeting.status == ImapStatus::Preauth ||
                       greeting.status == ImapStatus::Bye;
    if (response.kind != ImapResponse::Kind::Untagged || !known)
        return OutOfStep(response.text, kBadReply);
    if (greeting.status == ImapStatus::Bye) {
        TraceFailure("* " + response.text);
        socket.Close();
        return Fail(greeting.text.empty() ? kServerRefused : greeting.text);
    }
    TraceSuccess("* " + response.text);
    preauthenticated = greeting.status == ImapStatus::Preauth;
    if (DataName(greeting.code) == "CAPABILITY")
        capabilities = ReadCapabilities(greeting.code);
    return true;
}

bool ImapSession::AskCapabilities()
{
    const std::string tag = NextTag();
    ImapCondition done;
    if (!SendCommand(tag + " CAPABILITY\r\n") || !AwaitCompletion(tag, done))
        return false;
    return done.status == ImapStatus::Ok || Fail(kBadReply);
}

bool ImapSession::UpgradeToTls()
{
    if (account.Security != kSecurityStls)
        return true;
    // Never a fall back to plain text: the password would travel in clear. A server that
    // greets us as logged in already has no STARTTLS to give.
    if (!capabilities.count("STARTTLS") || preauthenticated) {
        TraceFailure(kNoStarttls);
        return Fail(ReasonFromTrace(kNoStarttls));
    }
    const std::string tag = NextTag();
    ImapCondition done;
    if (!SendCommand(tag + " STARTTLS\r\n") || !AwaitCompletion(tag, done))
        return false;
    if (done.status != ImapStatus::Ok) {
        TraceFailure(kStarttlsRefused);
        return Fail(kStarttlsRefused);
    }
    // Whatever came in plain text after the OK is not trusted: it could be anyone's.
    reader = ImapResponseReader();
    if (!StartTls())
        return false;
    capabilities.clear();
    return AskCapabilities();
}

bool ImapSession::StartTls()
{
    const std::string failed = StartTlsTraced(tlsFactory, socket, account, stopFlag, TraceFailure, tls);
    if (!failed.empty())
        return Fail(failed);
    stream = tls.get();
    return true;
}

// Some servers hand the connection from a login process to a mailbox process once the login
// succeeds, and lose whatever came after it in the same segment: nothing goes out after LOGIN
// until its answer is in. What the server offers may change with the login, so the list from
// before it no longer holds.
bool ImapSession::LogInAndRelearnCapabilities()
{
    return Login(NextTag()) && (!capabilitiesStale || AskCapabilities());
}

bool ImapSession::Login(const std::string& tag)
{
    if (preauthenticated) {
        loggedIn = true;
        return true;
    }
    if (account.Auth == kAuthOAuth)
        return LoginWithToken(tag);
    if (capabilities.count("LOGINDISABLED")) {
        TraceFailure(kPlainLoginRefused);
        return Fail(ReasonFromTrace(kPlainLoginRefused));
    }
    const bool literalPlus = capabilities.count("LITERAL+") != 0;
    std::vector<std::string> pieces{tag + " LOGIN "};
    AppendArgument(pieces, account.Account, literalPlus);
    // The debug channel is readable by any process on the desktop: the password stays out.
    std::string traced;
    for (const std::string& piece : pieces)
        traced += piece;
    traced += " ****\r\n";
    pieces.back() += " ";
    AppendArgument(pieces, account.Password, literalPlus);
    pieces.back() += "\r\n";

    DebugWrite(traced + "\n");
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (!stream->Send(pieces[i]))
            return OutOfStep("Send failed", "connection failed");
        if (i + 1 < pieces.size() && !AwaitContinuation(tag, kLoginRefused, nullptr))
            return false;
    }
    ImapCondition done;
    if (!AwaitCompletion(tag, done))
        return false;
    if (done.status != ImapStatus::Ok)
        return Fail(std::string(kLoginRefused) + (done.text.empty() ? "" : ": " + done.text));
    loggedIn = true;
    capabilitiesStale = DataName(done.code) != "CAPABILITY";
    if (!capabilitiesStale)
        capabilities = ReadCapabilities(done.code);
    return true;
}

std::string ImapSession::OpenCommand(std::string& tag)
{
    tag = NextTag();
    return tag + (memory->imapOpenReadWrite ? " SELECT " : " EXAMINE ") + QuotedFolder(account.Folder) + "\r\n";
}

// The folder's opening and its search in one write: one round trip. The search is judged by
// the capabilities after the login. Bounded: a reopen happens once, read-write.
bool ImapSession::ListUnread(CheckOutcome& outcome)
{
    std::string openTag, searchTag;
    const bool readWrite = memory->imapOpenReadWrite;
    bool reopen = false;
    const std::string commands = OpenCommand(openTag) + SearchCommand(searchTag);
    return SendCommand(commands) && AwaitOpen(openTag, readWrite, reopen) && AwaitSearch(searchTag, outcome) &&
           (!reopen || ListUnread(outcome));
}

bool ImapSession::AwaitOpen(const std::string& tag, bool readWrite, bool& reopen)
{
    uint32_t validity = 0;
    ImapCondition done;
    const auto takeValidity = [&validity](const ImapResponse& response) {
        const ImapCondition condition = ReadCondition(response.text);
        if (condition.status == ImapStatus::Ok)
            ReadCodeNumber(condition.code, "UIDVALIDITY", validity);
        return true;
    };
    if (!AwaitCompletion(tag, done, takeValidity))
        return false;
    if (done.status != ImapStatus::Ok)
        return Fail(kFolderNotFound);
    // Without it the UIDs could name other messages at the next check.
    if (validity == 0) {
        TraceFailure("No UIDVALIDITY");
        return Fail(kNoUidValidity);
    }
    const uint32_t previous = memory->imapUidValidity;
    memory->imapUidValidity = validity;
    uidValidity = validity;
    if (!readWrite && previous != 0 && previous != validity) {
        // Some servers keep a folder's UIDs only once a client opened it read-write, and give
        // it a new UIDVALIDITY at every read-only look: every unread message would be new at
        // every check. SELECT changes nothing by itself.
        DebugWrite("UIDVALIDITY of the folder changed from " + std::to_string(previous) + " to " +
                   std::to_string(validity) + ": it is opened with SELECT from now on\n");
        memory->imapOpenReadWrite = true;
        reopen = true;
    }
    return true;
}

std::string ImapSession::SearchCommand(std::string& tag)
{
    tag = NextTag();
    const bool extended = capabilities.count("ESEARCH") != 0;
    return tag + (extended ? " UID SEARCH RETURN (ALL) UNSEEN\r\n" : " UID SEARCH UNSEEN\r\n");
}

bool ImapSession::SearchUnseen(CheckOutcome& outcome)
{
    std::string tag;
    return SendCommand(SearchCommand(tag)) && AwaitSearch(tag, outcome);
}

bool ImapSession::AwaitSearch(const std::string& tag, CheckOutcome& outcome)
{
    std::vector<uint32_t> uids;
    const auto takeUids = [&](const ImapResponse& response) {
        const std::string name = DataName(response.text);
        SearchRead read = SearchRead::Ok;
        if (name == "SEARCH")
            read = ReadSearch(response.text, uids, kMaxImapUids);
        else if (name == "ESEARCH")
            read = ReadEsearch(response.text, tag, uids, kMaxImapUids);
        if (read == SearchRead::TooMany)
            return OutOfStep("More than " + std::to_string(kMaxImapUids) + " unread messages", kTooMany);
        if (read == SearchRead::Malformed)
            return OutOfStep("Malformed search answer", kBadReply);
        return true;
    };
    folderChanged = false;
    ImapCondition done;
    if (!AwaitCompletion(tag, done, takeUids))
        return false;
    if (done.status != ImapStatus::Ok)
        return Fail(kSearchRefused);
    DebugWrite("Unread messages: " + std::to_string(uids.size()) + "\n");
    const std::string prefix = std::to_string(uidValidity) + ".";
    UidSet listed;
    for (const uint32_t uid : uids)
        listed.insert(prefix + std::to_string(uid));
    outcome.uids = std::move(listed);
    outcome.result = outcome.uids.empty() ? CheckOutcome::Result::EmptyMailbox : CheckOutcome::Result::Listed;
    return true;
}

void ImapSession::LogOut()
{
    if (!socket.IsConnected())
        return;
    loggingOut = true;
    const std::string tag = NextTag();
    ImapCondition done;
    // After a stop the farewell still goes out, but its reply is not awaited.
    if (SendCommand(tag + " LOGOUT\r\n") && !StopRequested())
        AwaitCompletion(tag, done);
    // Our close_notify, without waiting for the server's: many servers send none.
    if (stream == tls.get() && socket.IsConnected())
        tls->Close();
    socket.Close();
}

bool ImapSession::ListFolders(std::vector<std::string>& folders)
{
    if (!checked || !socket.IsConnected())
        return false;
    std::vector<std::string> names;
    const auto takeFolder = [&names](const ImapResponse& response) {
        ListedFolder folder;
        std::string name;
        // A name that is not modified UTF-7 could not be asked for again: it is left out.
        if (names.size() < kMaxListedFolders && ReadListedFolder(response.text, response.literals, folder) &&
            folder.selectable && DecodeFolderName(folder.wireName, name) &&
            std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
        return true;
    };
    const std::string tag = NextTag();
    ImapCondition done;
    if (!SendCommand(tag + " LIST \"\" \"*\"\r\n") || !AwaitCompletion(tag, done, takeFolder))
        return false;
    if (done.status != ImapStatus::Ok)
        return Fail(kListRefused);
    folders.insert(folders.end(), names.begin(), names.end());
    return true;
}

bool ImapSession::CanWaitForChanges() const
{
    return checked && !memory->waitRefused && capabilities.count("IDLE") && socket.IsConnected();
}

CheckOutcome ImapSession::WaitForChange(uint32_t refreshMs)
{
    CheckOutcome outcome;
    if (!CanWaitForChanges()) {
        outcome.reason = failure.empty() ? "not connected" : failure;
        return outcome;
    }
    failure.clear();
    checked = false;
    socket.SetKeepAlive(true);
    // Waits as long as the server answers every refresh; the stop flag, a lost connection or
    // a change ends it. A change that came with the last search needs no wait.
    while (!folderChanged && IdleUntilChange(refreshMs)) {
    }
    if (folderChanged && failure.empty() && SearchUnseen(outcome)) {
        checked = true;
        return outcome;
    }
    outcome = CheckOutcome();
    outcome.reason = StopRequested() ? kStopped : failure;
    return outcome;
}

bool ImapSession::IdleUntilChange(uint32_t refreshMs)
{
    idleTag = NextTag();
    bool refused = false;
    if (!SendCommand(idleTag + " IDLE\r\n") || !AwaitContinuation(idleTag, kIdleRefused, &refused)) {
        // Asked again, it would be refused again: the account is polled for the rest of the run.
        memory->waitRefused = memory->waitRefused || refused;
        return false;
    }
    idling = true;
    const int64_t refreshAt = SteadyNowMs() + refreshMs;
    ImapResponse response;
    // Bounded by the refresh: every read ends by then.
    while (!folderChanged) {
        const int64_t left = refreshAt - SteadyNowMs();
        if (left <= 0)
            break;
        socket.SetTimeouts(socket.ConnectTimeoutMs(), uint32_t(left));
        bool quiet = false;
        const bool read = ReadResponse(response, &quiet);
        socket.SetTimeouts(socket.ConnectTimeoutMs(), ioTimeoutMs);
        if (quiet)
            break;
        if (!read)
            return false;
        if (response.kind == ImapResponse::Kind::Tagged) {
            if (response.tag != idleTag)
                return OutOfStep(response.tag + " " + response.text, kBadReply);
            // A server that ends the IDLE before DONE would have us send IDLE after IDLE: it
            // is polled instead.
            TraceFailure(response.tag + " " + response.text);
            idling = false;
            memory->waitRefused = true;
            return Fail(kIdleRefused);
        }
        if (response.kind == ImapResponse::Kind::Untagged && !TakeUntagged(response))
            return false;
    }
    return EndIdle();
}

bool ImapSession::EndIdle()
{
    // A connection that died without a word is found here: its answer never comes.
    socket.SetTimeouts(socket.ConnectTimeoutMs(), std::min(ioTimeoutMs, kIdleAnswerMs));
    ImapCondition done;
    const bool ended = SendCommand("DONE\r\n") && AwaitCompletion(idleTag, done);
    socket.SetTimeouts(socket.ConnectTimeoutMs(), ioTimeoutMs);
    if (!ended)
        return false;
    idling = false;
    return true;
}

void ImapSession::Close()
{
    if (!socket.IsConnected())
        return;
    // Bounded whatever the server does: a short wait for its goodbye, none after a stop.
    socket.SetTimeouts(socket.ConnectTimeoutMs(), std::min(ioTimeoutMs, kCloseAnswerMs));
    const std::string tag = NextTag();
    const std::string farewell = (idling ? "DONE\r\n" : "") + (loggedIn ? tag + " LOGOUT\r\n" : std::string());
    loggingOut = true;
    ImapCondition done;
    if (!farewell.empty() && SendCommand(farewell) && !StopRequested() && loggedIn &&
        (!idling || AwaitCompletion(idleTag, done)))
        AwaitCompletion(tag, done);
    idling = false;
    if (stream == tls.get() && socket.IsConnected())
        tls->Close();
    socket.Close();
}

std::string ImapSession::NextTag()
{
    return "A" + std::to_string(++tagNumber);
}

bool ImapSession::SendCommand(const std::string& command)
{
    DebugWrite(command + "\n");
    if (stream->Send(command))
        return true;
    if (StopRequested())
        return Fail(kStopped);
    return OutOfStep("Send failed", "connection failed");
}

bool ImapSession::ReadResponse(ImapResponse& response, bool* quiet)
{
    // Bounded: every pass takes a line or fails, and the reader refuses an endless response.
    for (;;) {
        switch (reader.Next(response)) {
        case ImapResponseReader::Progress::Complete: return true;
        case ImapResponseReader::Progress::Failed: return OutOfStep(reader.Fault(), kBadReply);
        case ImapResponseReader::Progress::NeedMore: break;
        }
        if (StopRequested())
            return Fail(kStopped);
        std::string line;
        const LineStream::LineResult result = stream->ReadLine(line, kImapResponseLimit);
        if (result == LineStream::LineResult::Line) {
            reader.Append(line);
            continue;
        }
        if (StopRequested() || result == LineStream::LineResult::Stopped)
            return Fail(kStopped);  // the connection stays up for the farewell
        if (quiet && result == LineStream::LineResult::TimedOut) {
            *quiet = true;  // what came of a line stays with the connection for the next read
            return false;
        }
        // The server's last words before it hung up usually say why.
        if (result == LineStream::LineResult::Closed && !line.empty())
            TraceFailure(line);
        const LineFault fault = FaultOf(result);
        return OutOfStep(fault.traced, fault.reason);
    }
}

bool ImapSession::TakeUntagged(const ImapResponse& response)
{
    const std::string name = DataName(response.text);
    const ImapCondition condition = ReadCondition(response.text);
    if (condition.status == ImapStatus::Bye) {
        if (loggingOut) {
            TraceSuccess("* " + response.text);
            return true;
        }
        TraceFailure("* " + response.text);
        socket.Close();
        return Fail(condition.text.empty() ? kSessionClosed : condition.text);
    }
    if (name == "CAPABILITY")
        capabilities = ReadCapabilities(response.text);
    else if (DataName(condition.code) == "CAPABILITY")
        capabilities = ReadCapabilities(condition.code);
    if (IsFolderChange(response.text))
        folderChanged = true;
    // The search's answer is the listing, which stays out of the trace as POP3's does.
    if (name != "SEARCH" && name != "ESEARCH") {
        const std::string& text = response.text;
        DebugWrite("MSG: * " + (text.size() > kTracedDataLength ? text.substr(0, kTracedDataLength) + "..." : text) +
                   "\n");
    }
    return true;
}

bool ImapSession::AwaitCompletion(const std::string& tag, ImapCondition& done)
{
    return AwaitCompletion(tag, done, [](const ImapResponse&) { return true; });
}

template <typename OnData>
bool ImapSession::AwaitCompletion(const std::string& tag, ImapCondition& done, OnData onData)
{
    ImapResponse response;
    for (size_t count = 0; count < kMaxUntagged; ++count) {
        if (!ReadResponse(response))
            return false;
        if (response.kind == ImapResponse::Kind::Continuation)
            return OutOfStep("+ " + response.text, kBadReply);
        if (response.kind == ImapResponse::Kind::Tagged) {
            // A completion of a command never sent: the conversation is out of step.
            if (response.tag != tag)
                return OutOfStep(response.tag + " " + response.text, kBadReply);
            done = ReadCondition(response.text);
            if (done.status == ImapStatus::Ok)
                TraceSuccess(tag + " " + response.text);
            else
                TraceFailure(tag + " " + response.text);
            return true;
        }
        if (!TakeUntagged(response) || !onData(response))
            return false;
    }
    return OutOfStep("Too many responses", kBadReply);
}

bool ImapSession::AwaitContinuation(const std::string& tag, const char* refusal, bool* refused)
{
    ImapResponse response;
    for (size_t count = 0; count < kMaxUntagged; ++count) {
        if (!ReadResponse(response))
            return false;
        if (response.kind == ImapResponse::Kind::Continuation) {
            TraceSuccess("+ " + response.text);
            return true;
        }
        if (response.kind == ImapResponse::Kind::Tagged) {
            if (response.tag != tag)
                return OutOfStep(response.tag + " " + response.text, kBadReply);
            TraceFailure(tag + " " + response.text);
            if (refused)
                *refused = true;
            const ImapCondition done = ReadCondition(response.text);
            return Fail(std::string(refusal) + (done.text.empty() ? "" : ": " + done.text));
        }
        if (!TakeUntagged(response))
            return false;
    }
    return OutOfStep("Too many responses", kBadReply);
}
