#pragma once
// A stand-in for TLS: the bytes pass through, the handshake gives the probe's verdict, sends and closes are recorded.
#include <string>

#include "platform/tcp_client.h"
#include "platform/tls_layer.h"

struct TlsProbe {
    TlsResult verdict = TlsResult::Ok;
    std::string sentInside;
    int closes = 0;
};

class PassThroughTls : public TlsLayer {
public:
    PassThroughTls(TcpClient& tcp, TlsProbe& probe) : tcp(tcp), probe(probe) {}
    TlsResult Handshake(const TlsOptions&) override { return probe.verdict; }
    std::string CertificateDescription() const override { return "CN=home"; }
    CertificateSummary Certificate() const override
    {
        return {"CN=home", "CN=home", "2026-01-01 00:00 UTC", "2027-01-01 00:00 UTC", "5E:0A"};
    }
    bool Send(const std::string& bytes) override
    {
        probe.sentInside += bytes;
        return tcp.Send(bytes);
    }
    LineResult ReadLine(std::string& line, size_t maxLength) override { return tcp.ReadLine(line, maxLength); }
    void Close() override { ++probe.closes; }

private:
    TcpClient& tcp;
    TlsProbe& probe;
};
