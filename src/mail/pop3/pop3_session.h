#pragma once
// One complete POP3 conversation for one account, in steps: connect and greeting, the server's
// capabilities (CAPA), USER and PASS, STAT, the UID of every message, QUIT. It returns what it
// found; on the way it traces every command as sent and every reply but the listing's own lines
// on the debug channel.
//
// Nothing follows PASS until its reply came: a server may hand a logged-in connection from its
// login program to its mailbox program, and commands that arrived with PASS are lost then. A
// server that offers PIPELINING gets USER and PASS in one send (with CAPA ahead of them when the
// account's last good check saw PIPELINING), then STAT, the whole UIDL listing and QUIT in one
// send: four waits on the network for a remembered server, five for one asked first. One that
// does not is asked one command at a time. UIDL n for each message serves only a server that
// refuses the whole listing. An account protected by TLS gets it from the first byte, or after
// STLS once the greeting and the capabilities came; USER and PASS never travel before the
// handshake succeeded.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "mail/mail_session.h"
#include "mail/pop3/pop3_listing.h"
#include "mail/uid_set.h"
#include "platform/tcp_client.h"
#include "platform/tls_layer.h"
#include "profile/account_settings.h"

class Pop3Session : public MailSession {
public:
    // account gives the server, port, login name and password; stopFlag (the account's stop
    // request, non-zero means stop; may be null) and memory (what the account's last good check
    // learnt; null remembers nothing) must outlive the session. Tests pass short time limits
    // and a lower bound on a listing's total UID bytes.
    Pop3Session(const AccountSettings& account, const std::atomic<int32_t>* stopFlag,
                SessionMemory* memory = nullptr, uint32_t connectTimeoutMs = kDefaultConnectTimeoutMs,
                uint32_t ioTimeoutMs = kDefaultIoTimeoutMs, size_t maxListingBytes = kMaxListingBytes);
    ~Pop3Session() override;
    Pop3Session(const Pop3Session&) = delete;
    Pop3Session& operator=(const Pop3Session&) = delete;

    // Where the TLS of a protected account comes from; without it such an account fails.
    void UseTls(TlsFactory factory) override { tlsFactory = std::move(factory); }
    void UseAccessToken(const std::string& token) override { accessToken = token; }

    // The whole conversation. Touches nothing of the account: the caller applies the outcome.
    CheckOutcome RunCheck() override;

private:
    // One conversation from connect to QUIT. Sets relistByNumber when a pipelining server
    // refused the whole listing, which it was sent together with QUIT.
    CheckOutcome Converse();
    // Back to a fresh, unconnected session for a second conversation.
    void Disconnect();
    void Remember(bool good);

    // The steps, in order; each is true on success and records why it failed.
    bool Greet();
    bool AskCapabilities();
    // STLS when the account asks for it, then the capabilities again: they may change.
    bool UpgradeAfterGreeting();
    // The handshake on the connection; from then on every line is encrypted.
    bool StartTls();
    // The capabilities (unless they go along) and USER and PASS.
    bool Login();
    // CAPA, USER and PASS in one send, for a server remembered to pipeline.
    bool LoginWithCapabilities(const std::string& user, const std::string& pass, const std::string& traced);
    // STAT, the listing and QUIT, however the server takes them.
    void ListMailbox(CheckOutcome& outcome);
    void ListPipelined(CheckOutcome& outcome);
    // AUTH with the access token (pop3_token_login.cpp), for an account that signs in with one;
    // nothing is pipelined after it.
    bool LoginWithToken();
    bool Stat();
    bool ListUids(UidSet& listed);
    void Quit();
    void ReadQuitReply();

    // The whole listing at once, and UIDL n for each message, sent up to maxInFlight bytes
    // ahead of the replies (1: one at a time).
    bool ListAtOnce(UidSet& listed, bool& refused);
    bool ListByNumber(UidSet& listed, size_t maxInFlight);

    bool StopRequested() const;
    // Records the first reason the check failed; always false.
    bool Fail(const char* reason);
    // Records the reason for a reply a reader refused: broken is the reason of a broken reply.
    bool Fail(ReplyFault fault, const char* broken);
    // Traces traced, then sends command in one write.
    bool SendCommand(const std::string& command, const std::string& traced);
    // Reads one reply and judges it; refusal is the reason a "-ERR" gives.
    bool ReadReply(const char* refusal, bool isStat = false);
    // Reads one line; on a broken, silent or overlong reply traces why and drops the
    // connection, since the conversation can no longer stay in step. A line the server cut
    // short by closing is traced as its reply, and gives refusal when it is "-ERR".
    bool ReadLine(std::string& line, size_t maxLength, const char* refusal);
    // Reads a multi-line reply into reader, tracing its status line only. Done or Refused as the
    // reader judged it; Failed, already traced, when the reply broke or the check stops.
    template <typename Reader>
    ReplyProgress ReadMultiLine(Reader& reader, const char* failure);
    void TraceFailure(const std::string& reply);
    void TraceSuccess(const std::string& reply);

    const AccountSettings account;
    const std::atomic<int32_t>* const stopFlag;
    SessionMemory ownMemory;  // for a check that remembers nothing
    SessionMemory* const memory;
    const size_t maxListingBytes;
    // What this check learnt, remembered when it ends well.
    bool pipelinedLogin = false;
    bool listingRefused = false;
    bool relistByNumber = false;
    int32_t messageCount = 0;
    TcpClient socket;
    TlsFactory tlsFactory;
    std::unique_ptr<TlsLayer> tls;  // over socket, once the handshake began
    LineStream* stream = &socket;   // what the conversation reads and writes
    // What the server offered in reply to CAPA; nothing when it has no capability list.
    CapabilityReader capabilities;
    std::string failure;  // the first reason the check failed
    std::string accessToken;
    bool tokenRefused = false;  // the server refused accessToken
};
