#pragma once
// TLS over a connected TcpClient, as a conversation sees it: a handshake that checks the
// server's certificate, then an encrypted line stream. The system's TLS provides it on Windows
// only, so a conversation gets a factory from whoever creates it; an empty factory means this
// build has no TLS.
#include <functional>
#include <memory>
#include <string>

#include "platform/line_stream.h"
#include "platform/tcp_client.h"

struct TlsOptions {
    std::string host;         // the name the certificate must carry
    std::string trustFile;    // PEM or DER CA certificates replacing the system's roots; or empty
    std::string fingerprint;  // a pinned SHA-256 fingerprint in hex; or empty
};

// The server's certificate as a handshake saw it, for the user to judge before trusting it.
struct CertificateSummary {
    std::string subject;
    std::string issuer;
    std::string validFrom;    // "2026-01-06 02:55 UTC"
    std::string validUntil;
    std::string fingerprint;  // SHA-256 as upper-case hex pairs joined by colons
};

enum class TlsResult {
    Ok,
    Stopped,
    HandshakeFailed,  // no TLS session: a silent, plain-text or incompatible server
    NotTrusted,
    NameMismatch,
    Expired,
    FingerprintMismatch,
    // The account's trust file cannot serve; found before the handshake begins.
    TrustFileNotFound,
    TrustFileTooLarge,
    TrustFileNotAFile,
    TrustFileUnreadable,
    TrustFileNoCertificate,
};

// What the trace says about a failed handshake or check.
inline const char* TlsResultText(TlsResult result)
{
    switch (result) {
    case TlsResult::Ok: return "TLS established";
    case TlsResult::Stopped: return "Stopped";
    case TlsResult::HandshakeFailed: return "TLS handshake failed";
    case TlsResult::NotTrusted: return "Certificate not trusted";
    case TlsResult::NameMismatch: return "Certificate name mismatch";
    case TlsResult::Expired: return "Certificate expired";
    case TlsResult::FingerprintMismatch: return "Fingerprint mismatch";
    case TlsResult::TrustFileNotFound: return "Trust file unusable: not found";
    case TlsResult::TrustFileTooLarge: return "Trust file unusable: too large";
    case TlsResult::TrustFileNotAFile: return "Trust file unusable: not a file";
    case TlsResult::TrustFileUnreadable: return "Trust file unusable: unreadable";
    case TlsResult::TrustFileNoCertificate: return "Trust file unusable: holds no certificate";
    }
    return "TLS handshake failed";
}

class TlsLayer : public LineStream {
public:
    // Negotiates TLS 1.2 or later and checks the server's certificate. Only after Ok may
    // lines be sent or read.
    virtual TlsResult Handshake(const TlsOptions& options) = 0;
    // "SUBJECT; issued by ISSUER; valid until DATE; SHA-256 HEX" of the server's certificate,
    // known after a handshake that got that far, whether or not the certificate passed.
    virtual std::string CertificateDescription() const = 0;
    // The same, field by field; empty before such a handshake.
    virtual CertificateSummary Certificate() const { return CertificateSummary(); }
    // Sends our close_notify without waiting for the server's; the TCP connection stays open
    // for its owner to close.
    virtual void Close() = 0;
};

// Makes a layer over connection, which must outlive it.
using TlsFactory = std::function<std::unique_ptr<TlsLayer>(TcpClient& connection)>;

// The system's TLS on Windows; an empty factory elsewhere.
TlsFactory SystemTls();
