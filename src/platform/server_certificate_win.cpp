#include "platform/server_certificate_win.h"

#include <bcrypt.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/certificate_names.h"
#include "platform/certificate_text.h"
#include "platform/wide_text_win.h"

namespace {

struct StoreCloser {
    void operator()(void* store) const { CertCloseStore(store, 0); }
};
struct EngineCloser {
    void operator()(void* engine) const { CertFreeCertificateChainEngine(engine); }
};
struct ChainCloser {
    void operator()(const CERT_CHAIN_CONTEXT* chain) const { CertFreeCertificateChain(chain); }
};
using Store = std::unique_ptr<void, StoreCloser>;
using Engine = std::unique_ptr<void, EngineCloser>;
using Chain = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainCloser>;

// Not in every header set; the values are the system's.
constexpr DWORD kChainDisableAia = 0x00002000;        // CERT_CHAIN_DISABLE_AIA
constexpr DWORD kIgnoreCertificateName = 0x00001000;  // SECURITY_FLAG_IGNORE_CERT_CN_INVALID

// We ask for no revocation check; should the chain report one as unknown, that is no verdict.
constexpr DWORD kRevocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                                     CERT_TRUST_IS_OFFLINE_REVOCATION;

std::string Sha256(PCCERT_CONTEXT certificate)
{
    BYTE digest[32];
    DWORD length = sizeof digest;
    if (!CryptHashCertificate2(BCRYPT_SHA256_ALGORITHM, 0, nullptr, certificate->pbCertEncoded,
                               certificate->cbCertEncoded, digest, &length) ||
        length != sizeof digest)
        return std::string();
    return std::string(reinterpret_cast<const char*>(digest), length);
}

// A store of the trust file's certificates; null when the system takes none of them.
Store TrustedStore(const std::vector<std::string>& certificates)
{
    Store store(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
    if (!store)
        return Store();
    int added = 0;
    for (const std::string& der : certificates)
        if (CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING,
                                             reinterpret_cast<const BYTE*>(der.data()),
                                             DWORD(der.size()), CERT_STORE_ADD_ALWAYS, nullptr))
            ++added;
    return added > 0 ? std::move(store) : Store();
}

// A chain engine whose only roots are those of roots. The configuration ends after the
// exclusive-root stores, as our Windows 7 headers define it: Wine refuses the later size that
// adds the exclusive flags, and Windows accepts both.
Engine ExclusiveEngine(HCERTSTORE roots)
{
    CERT_CHAIN_ENGINE_CONFIG config{};
    config.cbSize = sizeof config;
    config.hExclusiveRoot = roots;
    config.dwFlags = CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL;
    HCERTCHAINENGINE engine = nullptr;
    if (!CertCreateCertificateChainEngine(&config, &engine))
        return Engine();
    return Engine(engine);
}

// The chain from certificate up to a root, with the certificates the server sent beside it.
Chain BuildChain(HCERTCHAINENGINE engine, PCCERT_CONTEXT certificate)
{
    static char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    char* usages[] = {serverAuth};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    // From what is at hand only: a fetch of missing issuers (AIA) would run outside the
    // check's connect bound and deaf to its stop flag.
    const DWORD flags = CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL | kChainDisableAia;
    if (!CertGetCertificateChain(engine, certificate, nullptr, certificate->hCertStore, &para, flags,
                                 nullptr, &chain))
        return Chain();
    return Chain(chain);
}

// The chain's own status counts as well as the policy's: the policy alone has been seen to
// accept a chain that ends short of any trusted root.
TlsResult JudgeChainStatus(DWORD errors)
{
    errors &= ~kRevocationUnknown;
    if (errors & ~DWORD(CERT_TRUST_IS_NOT_TIME_VALID))
        return TlsResult::NotTrusted;
    return errors ? TlsResult::Expired : TlsResult::Ok;
}

// The chain's policy without the host name, which NamesHost judges by our own rules.
TlsResult JudgeSslPolicy(PCCERT_CHAIN_CONTEXT chain)
{
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = kIgnoreCertificateName;
    CERT_CHAIN_POLICY_PARA para{};
    para.cbSize = sizeof para;
    para.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &para, &status))
        return TlsResult::NotTrusted;
    switch (status.dwError) {
    case 0:
    case DWORD(CRYPT_E_NO_REVOCATION_CHECK):
    case DWORD(CRYPT_E_REVOCATION_OFFLINE): return TlsResult::Ok;
    case DWORD(CERT_E_CN_NO_MATCH): return TlsResult::NameMismatch;
    case DWORD(CERT_E_EXPIRED): return TlsResult::Expired;
    default: return TlsResult::NotTrusted;
    }
}

std::string BlobBytes(const BYTE* data, DWORD length)
{
    return data && length ? std::string(reinterpret_cast<const char*>(data), length) : std::string();
}

bool NamesHost(PCCERT_CONTEXT certificate, const std::string& host)
{
    const CERT_INFO& info = *certificate->pCertInfo;
    CertificateNames names;
    for (const char* oid : {szOID_SUBJECT_ALT_NAME2, szOID_SUBJECT_ALT_NAME}) {
        const CERT_EXTENSION* extension = CertFindExtension(oid, info.cExtension, info.rgExtension);
        if (extension)
            ReadSubjectAltNames(BlobBytes(extension->Value.pbData, extension->Value.cbData), names);
    }
    names.commonName = CommonNameOf(BlobBytes(info.Subject.pbData, info.Subject.cbData));
    return CertificateNamesHost(names, host);
}

std::string NameText(const CERT_NAME_BLOB& name)
{
    const DWORD flags = CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG;
    CERT_NAME_BLOB blob = name;
    const DWORD length = CertNameToStrW(X509_ASN_ENCODING, &blob, flags, nullptr, 0);
    if (length <= 1)
        return std::string();
    std::wstring text(length, L'\0');
    CertNameToStrW(X509_ASN_ENCODING, &blob, flags, &text[0], length);
    text.resize(length - 1);
    return Utf8FromWide(text);
}

std::string DateText(const FILETIME& time)
{
    SYSTEMTIME utc;
    if (!FileTimeToSystemTime(&time, &utc))
        return std::string();
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u UTC", utc.wYear, utc.wMonth,
                  utc.wDay, utc.wHour, utc.wMinute);
    return text;
}

}  // namespace

TlsResult CheckServerCertificate(PCCERT_CONTEXT certificate, const TlsOptions& options,
                                 const std::vector<std::string>& trusted)
{
    if (!options.fingerprint.empty())
        return FingerprintMatches(options.fingerprint, Sha256(certificate))
                   ? TlsResult::Ok
                   : TlsResult::FingerprintMismatch;

    Store roots;
    Engine engine;
    if (!options.trustFile.empty()) {
        roots = TrustedStore(trusted);
        if (roots)
            engine = ExclusiveEngine(roots.get());
        if (!engine)
            return TlsResult::NotTrusted;
    }
    Chain chain = BuildChain(static_cast<HCERTCHAINENGINE>(engine.get()), certificate);
    if (!chain)
        return TlsResult::NotTrusted;
    const TlsResult status = JudgeChainStatus(chain->TrustStatus.dwErrorStatus);
    if (status != TlsResult::Ok)
        return status;
    const TlsResult policy = JudgeSslPolicy(chain.get());
    if (policy != TlsResult::Ok)
        return policy;
    return NamesHost(certificate, options.host) ? TlsResult::Ok : TlsResult::NameMismatch;
}

CertificateSummary SummariseCertificate(PCCERT_CONTEXT certificate)
{
    const CERT_INFO& info = *certificate->pCertInfo;
    // The names are the server's to choose: a CR LF in them must not forge a line.
    return CertificateSummary{EscapeControlCharacters(NameText(info.Subject)),
                              EscapeControlCharacters(NameText(info.Issuer)), DateText(info.NotBefore),
                              DateText(info.NotAfter), FingerprintText(Sha256(certificate))};
}

std::string DescribeCertificate(const CertificateSummary& certificate)
{
    return certificate.subject + "; issued by " + certificate.issuer + "; valid until " + certificate.validUntil +
           "; SHA-256 " + certificate.fingerprint;
}
