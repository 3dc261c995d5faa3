#pragma once
// One complete POP3 conversation for one account, in steps: connect and greeting, the server's
// capabilities (CAPA), USER and PASS, STAT, the UID of every message, QUIT. It returns what it
// found; on the way it traces every command as sent and every reply but the listing's own lines
// on the debug channel. A server that offers PIPELINING gets the login with STAT in one send
// and the per-message UIDL commands in a few large sends; one that does not is asked for the
// whole listing at once. An account protected by TLS gets it from the first byte, or after
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
    // request, non-zero means stop; may be null) must outlive the session. Tests pass short
    // time limits.
    Pop3Session(const AccountSettings& account, const std::atomic<int32_t>* stopFlag,
                uint32_t connectTimeoutMs = kDefaultConnectTimeoutMs,
                uint32_t ioTimeoutMs = kDefaultIoTimeoutMs);
    ~Pop3Session() override;
    Pop3Session(const Pop3Session&) = delete;
    Pop3Session& operator=(const Pop3Session&) = delete;

    // Where the TLS of a protected account comes from; without it such an account fails.
    void UseTls(TlsFactory factory) override { tlsFactory = std::move(factory); }
    void UseAccessToken(const std::string& token) override { accessToken = token; }

    // The whole conversation. Touches nothing of the account: the caller applies the outcome.
    CheckOutcome RunCheck() override;

private:
    // The steps, in order; each is true on success and records why it failed.
    bool Greet();
    bool AskCapabilities();
    // STLS when the account asks for it, then the capabilities again: they may change.
    bool UpgradeAfterGreeting();
    // The handshake on the connection; from then on every line is encrypted.
    bool StartTls();
    bool Login();
    // AUTH with the access token (pop3_token_login.cpp), for an account that signs in with one.
    bool LoginWithToken();
    bool Stat();
    bool ListUids(UidSet& listed);
    void Quit();

    // The ways of listing: UIDL n sent ahead of the replies, the whole listing at once, and
    // UIDL n one at a time for a server that refuses the whole listing.
    bool ListPipelined(UidSet& listed);
    bool ListAtOnce(UidSet& listed, bool& refused);
    bool ListOneAtATime(UidSet& listed);

    bool StopRequested() const;
    // Records the first reason the check failed; always false.
    bool Fail(const char* reason);
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
    int32_t messageCount = 0;
    bool statSent = false;  // STAT went out with the login
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
