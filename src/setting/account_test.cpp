#include "setting/account_test.h"

#include <memory>
#include <utility>

#include "mail/imap/imap_session.h"
#include "mail/mail_session.h"
#include "mail/oauth/token_client.h"
#include "platform/tcp_client.h"

namespace {

// What the check's TLS handshake found, kept after the session that made it is gone.
struct HandshakeRecord {
    bool happened = false;
    TlsResult result = TlsResult::HandshakeFailed;
    CertificateSummary certificate;
};

// The session's TLS layer, unchanged, with its handshake's verdict and certificate noted on
// the way: a session reports only its reason, and the dialog needs the certificate itself.
class RecordingTls : public TlsLayer {
public:
    RecordingTls(std::unique_ptr<TlsLayer> inner, HandshakeRecord& record)
        : inner(std::move(inner)), record(record)
    {
    }

    TlsResult Handshake(const TlsOptions& options) override
    {
        const TlsResult result = inner->Handshake(options);
        record.happened = true;
        record.result = result;
        record.certificate = inner->Certificate();
        return result;
    }
    std::string CertificateDescription() const override { return inner->CertificateDescription(); }
    CertificateSummary Certificate() const override { return inner->Certificate(); }
    bool Send(const std::string& bytes) override { return inner->Send(bytes); }
    LineResult ReadLine(std::string& line, size_t maxLength) override { return inner->ReadLine(line, maxLength); }
    void Close() override { inner->Close(); }

private:
    std::unique_ptr<TlsLayer> inner;
    HandshakeRecord& record;
};

bool IsCertificateVerdict(TlsResult result)
{
    return result == TlsResult::NotTrusted || result == TlsResult::NameMismatch || result == TlsResult::Expired ||
           result == TlsResult::FingerprintMismatch;
}

// An access token for an account that signs in with OAuth 2.0; false with the reason in the
// report when none came. A rotated refresh token goes into the report.
bool FetchAccessToken(const AccountSettings& account, const HttpsPoster& https,
                      const std::atomic<int32_t>* stopFlag, std::string& accessToken, AccountTestReport& report)
{
    if (account.RefreshToken.empty()) {
        report.text = "not signed in: press Sign in... first";
        return false;
    }
    const TokenGrant grant = RefreshAccessToken(https, EndpointsFor(account, account.Protocol == kProtocolImap),
                                                account.RefreshToken, account.TrustFile, stopFlag);
    if (grant.result != TokenGrant::Result::Granted) {
        report.text = grant.reason;
        return false;
    }
    if (!grant.refreshToken.empty() && grant.refreshToken != account.RefreshToken)
        report.rotatedRefreshToken = grant.refreshToken;
    accessToken = grant.accessToken;
    return true;
}

}  // namespace

AccountTestReport TestAccount(const AccountSettings& account, const std::atomic<int32_t>* stopFlag,
                              TlsFactory tls, const HttpsPoster& https, uint32_t connectTimeoutMs,
                              uint32_t ioTimeoutMs)
{
    AccountTestReport report;
    if (account.Protocol != kProtocolPop3 && account.Protocol != kProtocolImap) {
        report.text = "choose a protocol";  // the notifier never checks such an account either
        return report;
    }
    if (!InitSockets()) {
        report.text = "network unavailable";
        return report;
    }
    std::string accessToken;
    if (account.Auth == kAuthOAuth && !FetchAccessToken(account, https, stopFlag, accessToken, report))
        return report;
    HandshakeRecord record;
    CheckOutcome outcome;
    {
        // An IMAP account's test stays connected after its check to ask for the folders.
        std::unique_ptr<ImapSession> imap;
        std::unique_ptr<MailSession> session;
        if (account.Protocol == kProtocolImap) {
            imap = std::make_unique<ImapSession>(account, stopFlag, nullptr, connectTimeoutMs, ioTimeoutMs);
            imap->StayConnectedAfterCheck();
        } else {
            session = OpenMailSession(account, stopFlag, nullptr, connectTimeoutMs, ioTimeoutMs);
        }
        MailSession& check = imap ? *imap : *session;
        if (tls)
            check.UseTls([tls, &record](TcpClient& connection) -> std::unique_ptr<TlsLayer> {
                return std::make_unique<RecordingTls>(tls(connection), record);
            });
        if (!accessToken.empty())
            check.UseAccessToken(accessToken);
        outcome = check.RunCheck();
        // The list is a courtesy: a server that refuses it leaves the test a success.
        if (imap && outcome.result != CheckOutcome::Result::Failed)
            imap->ListFolders(report.folders);
        check.Close();
    }
    report.connected = outcome.result != CheckOutcome::Result::Failed;
    report.text = OutcomeText(outcome, account.Protocol);
    report.certificateRefused = !report.connected && record.happened && IsCertificateVerdict(record.result) &&
                                !record.certificate.fingerprint.empty();
    if (report.certificateRefused)
        report.certificate = record.certificate;
    return report;
}

std::string OutcomeText(const CheckOutcome& outcome, int32_t protocol)
{
    if (outcome.result == CheckOutcome::Result::Failed)
        return outcome.reason.empty() ? std::string("check failed") : outcome.reason;
    const size_t count = outcome.result == CheckOutcome::Result::Listed ? outcome.uids.size() : 0;
    const char* kind = protocol == kProtocolImap ? " unread message" : " message";
    return "Connected: " + std::to_string(count) + kind + (count == 1 ? "" : "s");
}

std::string CertificateText(const CertificateSummary& certificate)
{
    return "Subject: " + certificate.subject + "\r\nIssued by: " + certificate.issuer + "\r\nValid from " +
           certificate.validFrom + " until " + certificate.validUntil + "\r\nSHA-256: " + certificate.fingerprint;
}
