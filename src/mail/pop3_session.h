#pragma once
// One complete POP3 conversation for one account: connect, greeting, USER, PASS, STAT, one
// UIDL per message, QUIT. It returns what it found; on the way it traces every command and
// reply on the debug channel.
#include <atomic>
#include <cstdint>
#include <string>

#include "mail/uid_set.h"
#include "platform/tcp_client.h"
#include "settings/account_settings.h"

// What one conversation found out about the mailbox.
struct CheckOutcome {
    enum class Result {
        Failed,        // no usable answer: the sets must stay as they are
        EmptyMailbox,  // STAT counted no message
        Listed,        // every message gave its UID
    };
    Result result = Result::Failed;
    UidSet uids;  // the server's whole list, when Listed
    // When Failed: why, in a few words for the user ("login refused", "server unreachable").
    std::string reason;
};

class Pop3Session {
public:
    // Which command a reply answers.
    enum class ReplyKind { Greeting = 0, User = 1, Pass = 2, Quit = 3, Stat = 6 };

    // account gives the server, port, login name and password; stopFlag (the account's stop
    // request, non-zero means stop; may be null) must outlive the session. Tests pass short
    // time limits.
    Pop3Session(const AccountSettings& account, const std::atomic<int32_t>* stopFlag,
                uint32_t connectTimeoutMs = kDefaultConnectTimeoutMs,
                uint32_t ioTimeoutMs = kDefaultIoTimeoutMs);
    virtual ~Pop3Session();
    Pop3Session(const Pop3Session&) = delete;
    Pop3Session& operator=(const Pop3Session&) = delete;

    // The whole conversation. Touches nothing of the account: the caller applies the outcome.
    CheckOutcome RunCheck();

    // The steps of the conversation; each is true on success.
    bool Login();
    bool Stat();
    // On success listed holds every message's UID.
    bool ListUids(UidSet& listed);
    bool Quit();
    // Reads one reply line and judges it; a STAT reply also gives the message count.
    bool ReadReply(ReplyKind kind);

private:
    bool StopRequested() const;
    bool SendCommand(const std::string& command, const std::string& traced);
    // Reads one line; on a broken, silent or overlong reply traces why and drops the
    // connection, since the conversation can no longer stay in step.
    bool ReadLine(std::string& line, size_t maxLength);
    void TraceFailure(const std::string& reply);
    void TraceSuccess(const std::string& reply);

    const AccountSettings account;
    const std::atomic<int32_t>* const stopFlag;
    int32_t messageCount = 0;
    TcpClient socket;
};
