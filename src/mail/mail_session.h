#pragma once
// One conversation with an account's server, as the worker, mailcheck and Setting.exe see it:
// a check that returns its outcome. The protocols live in pop3/ and imap/; nothing above this
// file needs to know which one an account speaks.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "mail/check_outcome.h"
#include "mail/session_memory.h"
#include "platform/tcp_client.h"
#include "platform/tls_layer.h"
#include "profile/account_settings.h"

class MailSession {
public:
    virtual ~MailSession() = default;

    // Where the TLS of a protected account comes from; without it such an account fails.
    virtual void UseTls(TlsFactory factory) = 0;

    // The OAuth 2.0 access token an account that signs in with one logs in with (never traced);
    // a session that never logs in has no use for it.
    virtual void UseAccessToken(const std::string& /*token*/) {}

    // One whole check. Touches nothing of the account: the caller applies the outcome.
    virtual CheckOutcome RunCheck() = 0;

    // After a good RunCheck: whether the connection can stay open to hear of changes as they
    // happen (IMAP IDLE). A session that cannot is polled at the account's interval.
    virtual bool CanWaitForChanges() const { return false; }
    // Waits on the open connection until the mailbox changes, then returns the new listing as
    // RunCheck would. Refreshes the wait every refreshMs, so that a connection that died
    // without a word is found. Failed, with its reason, when the connection is lost or the
    // stop flag is raised; the session is spent then.
    virtual CheckOutcome WaitForChange(uint32_t refreshMs)
    {
        (void)refreshMs;
        return CheckOutcome();
    }
    // Ends an open conversation politely within a short bound; the destructor just drops it.
    virtual void Close() {}
};

// The session for the account's protocol. stopFlag (non-zero means stop; may be null) and
// memory (the account's, or null for a check that remembers nothing) must outlive it; tests
// pass short time limits.
std::unique_ptr<MailSession> OpenMailSession(const AccountSettings& account, const std::atomic<int32_t>* stopFlag,
                                             SessionMemory* memory = nullptr,
                                             uint32_t connectTimeoutMs = kDefaultConnectTimeoutMs,
                                             uint32_t ioTimeoutMs = kDefaultIoTimeoutMs);
