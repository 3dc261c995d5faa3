#pragma once
// The server certificate a TLS handshake brought: checked against the account's trust (its
// pinned fingerprint, its trust file or the system's roots) and described for the user.
#include <windows.h>
#include <wincrypt.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/tls_stream.h"

// A server certificate the system handed over, given back to it with its holder.
struct CertificateFreer {
    void operator()(PCCERT_CONTEXT certificate) const { CertFreeCertificateContext(certificate); }
};
using CertificateHolder = std::unique_ptr<const CERT_CONTEXT, CertificateFreer>;

// Ok when the certificate is acceptable for options.host. trusted holds the DER certificates
// of options.trustFile, read once for the check (see trust_file.h).
TlsResult CheckServerCertificate(PCCERT_CONTEXT certificate, const TlsOptions& options,
                                 const std::vector<std::string>& trusted);

CertificateSummary SummariseCertificate(PCCERT_CONTEXT certificate);

// "SUBJECT; issued by ISSUER; valid until DATE; SHA-256 HEX".
std::string DescribeCertificate(const CertificateSummary& certificate);
