#pragma once
// A TLS connection over a connected TcpClient, on the system's own TLS (Windows only): the
// handshake and the server certificate's check, then whole lines in and out, encrypted.
// It starts from the first byte of the connection (implicit TLS) or on a connection that has
// already spoken in plain text (after STLS). Every rule of the TCP client holds: the handshake
// ends within the connect bound, each read or send within the I/O bound, and the stop flag is
// looked at every 100 ms.
#include <memory>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/tls_layer.h"

class TlsStream : public TlsLayer {
public:
    // The stream uses connection, which must outlive it, for its bytes and bounds.
    explicit TlsStream(TcpClient& connection);
    ~TlsStream() override;
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    TlsResult Handshake(const TlsOptions& options) override;
    std::string CertificateDescription() const override { return certificateDescription_; }
    CertificateSummary Certificate() const override { return certificate_; }

    bool Send(const std::string& bytes) override;
    LineResult ReadLine(std::string& line, size_t maxLength) override;

    void Close() override;

private:
    struct Session;  // the system's credential and context handles
    TlsResult Negotiate(const std::string& host, int64_t deadline);
    // Decrypts what has arrived into plain_; false on a decryption failure. closed is set
    // when the server ended the session.
    bool DecryptPending(bool& closed);

    TcpClient& connection_;
    std::unique_ptr<Session> session_;
    std::string encrypted_;  // received bytes not yet decrypted
    std::string plain_;      // decrypted bytes after the last line taken
    std::string certificateDescription_;
    CertificateSummary certificate_;
};
