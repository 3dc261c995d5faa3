#pragma once
// One conversation with an account's server, as the worker, mailcheck and Setting.exe see it:
// a check that returns its outcome. The protocols live in pop3/ and imap/; nothing above this
// file needs to know which one an account speaks.
#include <atomic>
#include <cstdint>
#include <memory>

#include "mail/check_outcome.h"
#include "platform/tcp_client.h"
#include "platform/tls_layer.h"
#include "profile/account_settings.h"

class MailSession {
public:
    virtual ~MailSession() = default;

    // Where the TLS of a protected account comes from; without it such an account fails.
    virtual void UseTls(TlsFactory factory) = 0;

    // One whole check. Touches nothing of the account: the caller applies the outcome.
    virtual CheckOutcome RunCheck() = 0;
};

// The session for the account's protocol. stopFlag (non-zero means stop; may be null) must
// outlive it; tests pass short time limits.
std::unique_ptr<MailSession> OpenMailSession(const AccountSettings& account, const std::atomic<int32_t>* stopFlag,
                                             uint32_t connectTimeoutMs = kDefaultConnectTimeoutMs,
                                             uint32_t ioTimeoutMs = kDefaultIoTimeoutMs);
