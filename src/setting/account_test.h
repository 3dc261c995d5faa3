#pragma once
// The account dialog's Test: one check of the settings as typed, with the notifier's own
// session, and what it found in words for the user. Nothing is kept: no acknowledged mail, no
// profile value; the trace masks the password as the notifier's does.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "mail/check_outcome.h"
#include "platform/https_post.h"
#include "platform/tls_layer.h"
#include "profile/account_settings.h"

// Someone waits for the answer: a test gives up sooner than the notifier's checks do.
constexpr uint32_t kTestConnectTimeoutMs = 10000;
constexpr uint32_t kTestIoTimeoutMs = 15000;

struct AccountTestReport {
    bool connected = false;
    std::string text;  // "Connected: 3 messages", or why the check failed
    // The server's certificate, when the check failed on it (not trusted, another name,
    // expired, another fingerprint): the user may choose to trust exactly this one.
    bool certificateRefused = false;
    CertificateSummary certificate;
    // After a good test of an IMAP account: the folders the server lists that can be opened,
    // as the folder field offers them ("INBOX", "INBOX.Entwürfe"); empty otherwise.
    std::vector<std::string> folders;
    // A refresh token the provider issued in place of the account's (the old one may stop
    // working at once): the dialog keeps it with the account.
    std::string rotatedRefreshToken;
};

// One whole check of account; stopFlag (non-zero: stop) may end it early. An account that
// signs in with OAuth 2.0 gets its access token from https first, as the notifier's checks do.
AccountTestReport TestAccount(const AccountSettings& account, const std::atomic<int32_t>* stopFlag,
                              TlsFactory tls, const HttpsPoster& https,
                              uint32_t connectTimeoutMs = kTestConnectTimeoutMs,
                              uint32_t ioTimeoutMs = kTestIoTimeoutMs);

// "Connected: 1 message", "Connected: 3 unread messages" (IMAP counts only those), or the
// reason the check gives for its failure.
std::string OutcomeText(const CheckOutcome& outcome, int32_t protocol);

// The certificate, one field a line (CR LF between them, as an edit control shows lines).
std::string CertificateText(const CertificateSummary& certificate);
