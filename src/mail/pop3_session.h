#pragma once
// One complete POP3 conversation for one account: connect, greeting, USER, PASS, STAT, one
// UIDL per message, QUIT. Its only effects are the changes to the account's two UID sets and
// the trace of every command and reply on the debug channel.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "mail/uid_set.h"
#include "platform/tcp_client.h"

class Pop3Session {
public:
    // Which command a reply answers.
    enum class ReplyKind { Greeting = 0, User = 1, Pass = 2, Quit = 3, Stat = 6 };

    // The time limits of the connection; tests pass short ones.
    explicit Pop3Session(uint32_t connectTimeoutMs = kDefaultConnectTimeoutMs,
                         uint32_t ioTimeoutMs = kDefaultIoTimeoutMs);
    virtual ~Pop3Session();
    Pop3Session(const Pop3Session&) = delete;
    Pop3Session& operator=(const Pop3Session&) = delete;

    void SetPassword(const std::string& text);
    void SetUser(const std::string& text);
    void SetServer(const std::string& text);
    void SetPort(int32_t port);
    void SetNewUids(UidSet* set);
    void SetSeenUids(UidSet* set);
    // The account's lock over both sets, held for each whole set operation.
    void SetUidLock(std::mutex* lock);

    // The account's stop request, stored directly by the creator; non-zero means stop.
    const std::atomic<int32_t>* stopFlag = nullptr;

    // The whole conversation. Returns 1 when it ran to its end (QUIT sent after a good
    // listing or an empty mailbox), 0 when it failed or was stopped.
    int RunCheck();

    // The steps of the conversation; each returns 1 for success, 0 for failure.
    int Login();
    int Stat();
    int ListUids();
    int Quit();
    // Reads one reply line and judges it; a STAT reply also gives the message count.
    int ReadReply(ReplyKind kind);

    int32_t MessageCount() const { return messageCount; }

private:
    bool StopRequested() const;
    bool SendCommand(const std::string& command, const std::string& traced);
    // Reads one line; on a broken, silent or overlong reply traces why and drops the
    // connection, since the conversation can no longer stay in step.
    bool ReadLine(std::string& line, size_t maxLength);
    void TraceFailure(const std::string& reply);
    void TraceSuccess(const std::string& reply);

    std::string password;
    std::string user;
    std::string server;
    int32_t port = 110;
    int32_t messageCount = 0;
    TcpClient socket;
    UidSet* newUids = nullptr;
    UidSet* seenUids = nullptr;
    std::mutex* uidLock = nullptr;
};
