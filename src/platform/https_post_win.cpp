#include "platform/https_post.h"

#include <windows.h>
#include <winhttp.h>


#include "platform/detached_thread.h"
#include "platform/server_certificate_win.h"
#include "platform/tick_count.h"
#include "platform/trust_file.h"
#include "platform/wide_text_win.h"

namespace {

// A reply body beyond this is not a token reply; reading stops there.
constexpr DWORD kMaxBody = 70000;
constexpr int kResolveMs = 10000, kConnectMs = 10000, kSendMs = 10000, kReceiveMs = 15000;

// Closes a WinHTTP handle when it goes out of scope.
class InternetHandle {
public:
    explicit InternetHandle(HINTERNET handle) : handle(handle) {}
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    ~InternetHandle()
    {
        if (handle)
            WinHttpCloseHandle(handle);
    }
    HINTERNET Get() const { return handle; }
    explicit operator bool() const { return handle != nullptr; }

private:
    HINTERNET handle;
};

HttpsReply Failure(const char* why)
{
    HttpsReply reply;
    reply.failure = why;
    return reply;
}

const char* SendFailure(DWORD error)
{
    switch (error) {
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_INVALID_CA: return "Certificate not trusted";
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID: return "Certificate name mismatch";
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID: return "Certificate expired";
    case ERROR_WINHTTP_TIMEOUT: return "No reply in time";
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
    case ERROR_WINHTTP_CANNOT_CONNECT: return "Token endpoint cannot be connected";
    default: return "TLS handshake failed";  // Wine says no more for an unknown CA
    }
}

// The server's certificate, checked by our own rules once the handshake is done and before a
// byte of the body leaves.
TlsResult CheckCertificate(HINTERNET request, const std::string& host, const std::string& trustFile)
{
    std::vector<std::string> trusted;
    if (!trustFile.empty()) {
        // Read once for this request, as a mail check reads it.
        const TlsResult loaded =
            TrustFileVerdict(LoadTrustFile(trustFile, SteadyNowMs() + kConnectMs, nullptr, trusted));
        if (loaded != TlsResult::Ok)
            return loaded;
    }
    PCCERT_CONTEXT received = nullptr;
    DWORD size = sizeof received;
    if (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &received, &size) || !received)
        return TlsResult::HandshakeFailed;
    const CertificateHolder certificate(received);
    return CheckServerCertificate(certificate.get(), TlsOptions{host, trustFile, std::string()}, trusted);
}

bool ReadBody(HINTERNET request, std::string& body)
{
    char buffer[8192];
    for (;;) {  // bounded by kMaxBody
        DWORD got = 0;
        if (!WinHttpReadData(request, buffer, sizeof buffer, &got))
            return false;
        if (got == 0)
            return true;
        body.append(buffer, got);
        if (body.size() > kMaxBody)
            return true;  // the reader refuses it for its size
    }
}

HttpsReply PostForm(const std::string& url, const std::string& formBody, const std::string& trustFile)
{
    const std::wstring wideUrl = WideFromUtf8(url);
    wchar_t host[256] = {};
    wchar_t path[4096] = {};
    wchar_t extra[4096] = {};
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = ARRAYSIZE(host);
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = ARRAYSIZE(path);
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = ARRAYSIZE(extra);
    // Never in plain text: the body holds a refresh token or a code.
    if (!WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts) || parts.nScheme != INTERNET_SCHEME_HTTPS)
        return Failure("Token endpoint is not an https address");

    InternetHandle session(WinHttpOpen(L"Zantoli", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        return Failure("HTTPS is not available");
    WinHttpSetTimeouts(session.Get(), kResolveMs, kConnectMs, kSendMs, kReceiveMs);
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
#ifdef WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3
    protocols |= WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
#endif
    WinHttpSetOption(session.Get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
    InternetHandle connection(WinHttpConnect(session.Get(), host, parts.nPort, 0));
    const std::wstring object = std::wstring(path) + extra;
    InternetHandle request(connection ? WinHttpOpenRequest(connection.Get(), L"POST", object.c_str(), nullptr,
                                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                           WINHTTP_FLAG_SECURE)
                                      : nullptr);
    if (!request)
        return Failure("Token endpoint cannot be connected");
    // A redirect would carry the body to another address.
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(request.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);
    // Our own trust file's CA is unknown to the system; the chain is then checked by our rules
    // below, against that file only.
    if (!trustFile.empty()) {
        DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
        WinHttpSetOption(request.Get(), WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
    }
    const wchar_t headers[] = L"Content-Type: application/x-www-form-urlencoded\r\nAccept: application/json\r\n";
    // The headers go first, alone: the body follows only after our certificate check.
    if (!WinHttpSendRequest(request.Get(), headers, DWORD(-1), WINHTTP_NO_REQUEST_DATA, 0, DWORD(formBody.size()), 0))
        return Failure(SendFailure(GetLastError()));
    const TlsResult trust = CheckCertificate(request.Get(), Utf8FromWide(host), trustFile);
    if (trust != TlsResult::Ok)
        return Failure(TlsResultText(trust));
    DWORD written = 0;
    if ((!formBody.empty() && !WinHttpWriteData(request.Get(), formBody.data(), DWORD(formBody.size()), &written)) ||
        !WinHttpReceiveResponse(request.Get(), nullptr))
        return Failure(SendFailure(GetLastError()));
    HttpsReply reply;
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX) ||
        !ReadBody(request.Get(), reply.body))
        return Failure("Token endpoint reply broken");
    reply.delivered = true;
    reply.status = int(status);
    return reply;
}

// WinHTTP's blocking calls cannot be interrupted, so the request runs on a thread of its own: a
// stop leaves it behind to end at its own timeouts, and its reply is dropped.
HttpsReply PostFormUntilStopped(const std::string& url, const std::string& formBody, const std::string& trustFile,
                                const std::atomic<int32_t>* stopFlag)
{
    HttpsReply reply;
    if (WaitForDetached<HttpsReply>([url, formBody, trustFile] { return PostForm(url, formBody, trustFile); },
                                    stopFlag, INT64_MAX, reply))
        return reply;
    return Failure(stopFlag && stopFlag->load() != 0 ? "stopped" : "HTTPS is not available");
}

}  // namespace

HttpsPoster SystemHttps()
{
    return PostFormUntilStopped;
}
