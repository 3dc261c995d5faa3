#pragma once
// The server certificate a TLS handshake brought: checked against the account's trust (its
// pinned fingerprint, its trust file or the system's roots) and described for the user.
#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "platform/tls_stream.h"

// Ok when the certificate is acceptable for options.host.
TlsResult CheckServerCertificate(PCCERT_CONTEXT certificate, const TlsOptions& options);

CertificateSummary SummariseCertificate(PCCERT_CONTEXT certificate);

// "SUBJECT; issued by ISSUER; valid until DATE; SHA-256 HEX".
std::string DescribeCertificate(const CertificateSummary& certificate);
