#pragma once
// A TLS connection over a connected TcpClient, on the system's own TLS (Windows only): the
// handshake and the server certificate's check, then whole lines in and out, encrypted.
// It starts from the first byte of the connection (implicit TLS) or on a connection that has
// already spoken in plain text (after STLS). Every rule of the TCP client holds: the handshake
// ends within the connect bound, each read or send within the I/O bound, and the stop flag is
// looked at every 100 ms.
#include <memory>
#include <string>

#include "platform/line_stream.h"
#include "platform/tcp_client.h"

struct TlsOptions {
    std::string host;         // the name the certificate must carry
    std::string trustFile;    // PEM or DER CA certificates replacing the system's roots; or empty
    std::string fingerprint;  // a pinned SHA-256 fingerprint in hex; or empty
};

enum class TlsResult {
    Ok,
    Stopped,
    HandshakeFailed,  // no TLS session: a silent, plain-text or incompatible server
    NotTrusted,
    NameMismatch,
    Expired,
    FingerprintMismatch,
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
    }
    return "TLS handshake failed";
}

class TlsStream : public LineStream {
public:
    // The stream uses connection, which must outlive it, for its bytes and bounds.
    explicit TlsStream(TcpClient& connection);
    ~TlsStream() override;
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    // Negotiates TLS 1.2 or later and checks the server's certificate. Only after Ok may
    // lines be sent or read.
    TlsResult Handshake(const TlsOptions& options);

    // "SUBJECT; issued by ISSUER; valid until DATE; SHA-256 HEX" of the server's certificate,
    // known after a handshake that got that far, whether or not the certificate passed.
    const std::string& CertificateDescription() const { return certificateDescription_; }

    bool Send(const std::string& bytes) override;
    LineResult ReadLine(std::string& line, size_t maxLength) override;

    // Sends our close_notify without waiting for the server's; the TCP connection stays open
    // for its owner to close.
    void Close();

private:
    struct Session;  // the system's credential and context handles
    TlsResult Negotiate(const std::string& host);
    // Decrypts what has arrived into plain_; false on a decryption failure. closed is set
    // when the server ended the session.
    bool DecryptPending(bool& closed);

    TcpClient& connection_;
    std::unique_ptr<Session> session_;
    std::string encrypted_;  // received bytes not yet decrypted
    std::string plain_;      // decrypted bytes after the last line taken
    std::string certificateDescription_;
};
