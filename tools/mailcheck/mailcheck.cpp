// mailcheck: runs the notifier's own POP3 or IMAP check against one account, so that a user can see
// whether the settings work, and so that tests and benchmarks can drive a real server.
//
//   mailcheck [--protocol pop3|imap] [--folder NAME] [--port N] [--checks K] [--ack] [--step]
//             [--security none|stls|tls] [--trust-file PATH] [--fingerprint HEX]
//             [--idle SECONDS] [--xoauth2] [--token-url URL --client-id ID] HOST USER
//
// The password comes from the environment variable ZANTOLI_PASSWORD; with --xoauth2 the login
// is SASL with an OAuth 2.0 access token from ZANTOLI_ACCESS_TOKEN instead. --token-url URL with
// --client-id ID gets the access token as the notifier does, from the refresh token in
// ZANTOLI_REFRESH_TOKEN (a rotated one is announced, never printed); --trust-file applies to it. Each check prints the
// debug-channel trace as it goes, then "check N: new=X seen=Y" and the new UIDs, one per line,
// or "check N: failed: REASON".
// --ack acknowledges all new mail after each check; --step waits for a line on standard input
// before every check after the first, so a script can change the mailbox in between.
// --protocol imap checks the unread messages of an IMAP folder (--folder, INBOX when absent)
// instead of a POP3 mailbox; the checks of one run share what they learn, as the notifier's do.
// --security protects the connection with TLS after STLS (STARTTLS for IMAP) or from the first
// byte (port 995, or 993 for IMAP, unless --port says otherwise); after a handshake the trace shows the server's certificate
// in a line "Server certificate: ...", also when it was refused, so that it can be pinned.
// --idle stays connected that long after the last check, as the notifier does: waiting for
// changes where the server tells of them, checking every 5 s where not, and prints
// "change N: new=A seen=B" for each change; the exit status is then 0.
// Exit status: 0 when the last check completed its conversation, 1 when it failed, 2 for bad
// arguments.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "idle_mode.h"
#include "mail/check_worker.h"
#include "mail/mail_account.h"
#include "mail/token_check.h"
#include "mail/uid_reconcile.h"
#include "platform/debug_channel.h"
#include "platform/tcp_client.h"
#include "platform/tls_layer.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

const char kUsage[] =
    "usage: mailcheck [--protocol pop3|imap] [--folder NAME] [--port N] [--checks K] [--ack] [--step]"
    " [--security none|stls|tls] [--trust-file PATH] [--fingerprint HEX] [--idle SECONDS]"
    " [--xoauth2] [--token-url URL --client-id ID] HOST USER\n"
    "(password in ZANTOLI_PASSWORD; with --xoauth2 an access token in ZANTOLI_ACCESS_TOKEN;\n"
    " with --token-url a refresh token in ZANTOLI_REFRESH_TOKEN)\n";

struct Options {
    int port = 0;  // none given: the protection's default
    int security = kSecurityNone;
    int protocol = kProtocolPop3;
    std::string folder = kDefaultFolder;
    std::string trustFile;
    std::string fingerprint;
    long checks = 1;
    bool ack = false;
    bool step = false;
    long idleSeconds = 0;
    bool xoauth2 = false;
    std::string tokenUrl;
    std::string clientId;
    std::string host;
    std::string user;
};

bool ParseNumber(const char* text, long low, long high, long& value)
{
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return *text && !*end && value >= low && value <= high;
}

bool ParseSecurity(const std::string& text, int& security)
{
    const char* const names[] = {"none", "stls", "tls"};
    for (int value = kSecurityNone; value <= kSecurityTls; ++value)
        if (text == names[value])
            security = value;
    return text == names[security];
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        long value = 0;
        if (arg == "--ack") {
            options.ack = true;
        } else if (arg == "--step") {
            options.step = true;
        } else if (arg == "--xoauth2") {
            options.xoauth2 = true;
        } else if (arg == "--token-url" && i + 1 < argc) {
            options.tokenUrl = argv[++i];
        } else if (arg == "--client-id" && i + 1 < argc) {
            options.clientId = argv[++i];
        } else if (arg == "--port" && i + 1 < argc && ParseNumber(argv[i + 1], 1, 65535, value)) {
            options.port = int(value);
            ++i;
        } else if (arg == "--checks" && i + 1 < argc &&
                   ParseNumber(argv[i + 1], 1, 1000000, value)) {
            options.checks = value;
            ++i;
        } else if (arg == "--idle" && i + 1 < argc && ParseNumber(argv[i + 1], 1, 86400, value)) {
            options.idleSeconds = value;
            ++i;
        } else if (arg == "--security" && i + 1 < argc && ParseSecurity(argv[i + 1], options.security)) {
            ++i;
        } else if (arg == "--protocol" && i + 1 < argc &&
                   (std::strcmp(argv[i + 1], "pop3") == 0 || std::strcmp(argv[i + 1], "imap") == 0)) {
            options.protocol = std::strcmp(argv[++i], "imap") == 0 ? kProtocolImap : kProtocolPop3;
        } else if (arg == "--folder" && i + 1 < argc) {
            options.folder = argv[++i];
        } else if (arg == "--trust-file" && i + 1 < argc) {
            options.trustFile = argv[++i];
        } else if (arg == "--fingerprint" && i + 1 < argc) {
            options.fingerprint = argv[++i];
        } else if (arg.compare(0, 2, "--") != 0 && positional < 2) {
            (positional++ == 0 ? options.host : options.user) = arg;
        } else {
            return false;
        }
    }
    return positional == 2;
}

// A UID printed on one line: bytes outside printable ASCII, and the backslash, escaped.
std::string Escaped(const std::string& uid)
{
    std::string out;
    for (unsigned char c : uid) {
        char hex[8];
        switch (c) {
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\\': out += "\\\\"; break;
        default:
            if (c >= 0x20 && c < 0x7f) {
                out += char(c);
            } else {
                std::snprintf(hex, sizeof hex, "\\x%02x", c);
                out += hex;
            }
        }
    }
    return out;
}

// One check, applied to the account as the notifier's worker applies it; the session when the
// check completed. An access token given with --xoauth2 is used as it is, never refreshed.
std::unique_ptr<MailSession> RunCheck(MailAccount& account, const CheckEnvironment& environment,
                                      const std::string& givenToken)
{
    if (account.Auth != kAuthOAuth || !account.TokenUrl.empty())
        return RunOneCheck(account, environment);
    std::unique_ptr<MailSession> session = environment.openSession(account);
    session->UseTls(environment.tls);
    session->UseAccessToken(givenToken);
    CheckOutcome outcome = session->RunCheck();
    const bool completed = outcome.result != CheckOutcome::Result::Failed;
    ApplyCheckOutcome(account, std::move(outcome));
    if (!completed)
        session.reset();
    return session;
}

void PrintResult(long number, MailAccount& account, bool completed)
{
    std::lock_guard<std::mutex> guard(account.uidLock);
    // A failure must not read like an empty mailbox.
    if (!completed) {
        std::printf("check %ld: failed: %s\n", number, account.lastFailure.c_str());
        std::fflush(stdout);
        return;
    }
    std::printf("check %ld: new=%zu seen=%zu\n", number, account.newUids.size(),
                account.seenUids.size());
    for (const auto& uid : account.newUids)
        std::printf("%s\n", Escaped(uid).c_str());
    std::fflush(stdout);
}

// Waits for the go-ahead of the script that drives this program; false at the end of input,
// which also lets the checks go on.
bool WaitForNextStep()
{
    char line[256];
    return std::fgets(line, sizeof line, stdin) != nullptr;
}

// The trace goes to standard output as it comes; the result lines start on a line of their own.
char lastTraced = '\n';

void PrintTrace(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (!text.empty())
        lastTraced = text.back();
}

void EndTraceLine()
{
    if (lastTraced != '\n')
        std::fputs("\n", stdout);
    lastTraced = '\n';
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
#ifdef _WIN32
    // The trace's bytes as they are: no CR added before each line feed.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (!InitSockets()) {
        std::fputs("mailcheck: sockets cannot be used\n", stderr);
        return 1;
    }
    SetDebugSink(PrintTrace);

    MailAccount account;
    account.Address = options.host;
    account.Account = options.user;
    account.Security = options.security;
    account.Protocol = options.protocol;
    account.Folder = options.folder;
    account.Port = options.port ? options.port : DefaultPort(options.security, options.protocol);
    account.TrustFile = options.trustFile;
    account.Fingerprint = options.fingerprint;
    if (const char* password = std::getenv("ZANTOLI_PASSWORD"))
        account.Password = password;
    std::string accessToken;
    if (!options.tokenUrl.empty()) {
        account.Auth = kAuthOAuth;
        account.OAuthProvider = "custom";
        account.TokenUrl = options.tokenUrl;
        account.ClientId = options.clientId;
        if (const char* token = std::getenv("ZANTOLI_REFRESH_TOKEN"))
            account.RefreshToken = token;
    } else if (options.xoauth2) {
        account.Auth = kAuthOAuth;
        if (const char* token = std::getenv("ZANTOLI_ACCESS_TOKEN"))
            accessToken = token;
    }

    // Each check is applied to the account as the notifier's worker applies it; its session
    // stays open when it completed, for --idle.
    CheckEnvironment environment;
    environment.storeRefreshToken = [](const MailAccount&) {
        std::fputs("The provider issued a new refresh token (not shown)\n", stdout);
    };
    std::unique_ptr<MailSession> session;
    bool completed = false;
    for (long number = 1; number <= options.checks; ++number) {
        if (options.step && number > 1)
            WaitForNextStep();
        if (session)
            session->Close();
        session = RunCheck(account, environment, accessToken);
        completed = session != nullptr;
        EndTraceLine();
        PrintResult(number, account, completed);
        if (options.ack)
            MarkSeen(account);
    }
    if (options.idleSeconds) {
        StayConnected(account, std::move(session), options.idleSeconds, options.ack, EndTraceLine);
        completed = true;
    } else if (session) {
        session->Close();
    }
    SetDebugSink(nullptr);
    return completed ? 0 : 1;
}
