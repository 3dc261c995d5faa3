#include "platform/tls_stream.h"

#define SECURITY_WIN32
#include <windows.h>
#include <schannel.h>
#include <security.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/server_certificate_win.h"
#include "platform/tick_count.h"
#include "platform/trust_file.h"
#include "platform/wide_text_win.h"

namespace {

constexpr DWORD kContextFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY |
                                ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;
// The content type of a TLS record that carries an alert, readable in its header before
// decryption in TLS 1.2.
constexpr unsigned char kAlertRecord = 21;
// Bytes we accept from a server that has not finished its handshake: far above any real one.
constexpr size_t kMaxHandshakeBytes = 1 << 20;

// An output token the system allocated; freed whatever happens to it.
struct OutputToken {
    SecBuffer buffer{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc desc{SECBUFFER_VERSION, 1, &buffer};
    ~OutputToken()
    {
        if (buffer.pvBuffer)
            FreeContextBuffer(buffer.pvBuffer);
    }
    std::string Bytes() const
    {
        return buffer.pvBuffer && buffer.cbBuffer
                   ? std::string(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer)
                   : std::string();
    }
};

TcpClient::LineResult FromReceive(TcpClient::ReceiveResult result)
{
    switch (result) {
    case TcpClient::ReceiveResult::Data: return TcpClient::LineResult::Line;
    case TcpClient::ReceiveResult::Closed: return TcpClient::LineResult::Closed;
    case TcpClient::ReceiveResult::TimedOut: return TcpClient::LineResult::TimedOut;
    case TcpClient::ReceiveResult::Stopped: return TcpClient::LineResult::Stopped;
    case TcpClient::ReceiveResult::Failed: break;
    }
    return TcpClient::LineResult::Failed;
}

}  // namespace

struct TlsStream::Session {
    CredHandle credentials{};
    CtxtHandle context{};
    bool haveCredentials = false;
    bool haveContext = false;
    bool established = false;
    SecPkgContext_StreamSizes sizes{};

    ~Session()
    {
        if (haveContext)
            DeleteSecurityContext(&context);
        if (haveCredentials)
            FreeCredentialsHandle(&credentials);
    }

    bool AcquireCredentials()
    {
        SCHANNEL_CRED cred{};
        cred.dwVersion = SCHANNEL_CRED_VERSION;
        cred.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
        // The certificate is checked by us, against the account's own trust, after the
        // handshake; and we have no client certificate to offer.
        cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
        TimeStamp expiry;
        haveCredentials =
            AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W),
                                      SECPKG_CRED_OUTBOUND, nullptr, &cred, nullptr, nullptr,
                                      &credentials, &expiry) == SEC_E_OK;
        return haveCredentials;
    }

    // Set once the server asked for a client certificate: we go on without one.
    bool withoutClientCertificate = false;

    // One step of the handshake over input (null on the first); the bytes of input not yet
    // used stay in it.
    SECURITY_STATUS Step(std::wstring& host, std::string* input, std::string& output)
    {
        const DWORD flags = kContextFlags | (withoutClientCertificate ? ISC_REQ_USE_SUPPLIED_CREDS : 0);
        SecBuffer in[2] = {{0, SECBUFFER_TOKEN, nullptr}, {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
        if (input) {
            in[0].cbBuffer = ULONG(input->size());
            in[0].pvBuffer = &(*input)[0];
        }
        OutputToken token;
        ULONG attributes = 0;
        const SECURITY_STATUS status = InitializeSecurityContextW(
            &credentials, haveContext ? &context : nullptr, &host[0], flags, 0, 0,
            input ? &inDesc : nullptr, 0, haveContext ? nullptr : &context, &token.desc,
            &attributes, nullptr);
        if (!haveContext && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED ||
                             status == SEC_I_INCOMPLETE_CREDENTIALS))
            haveContext = true;
        output = token.Bytes();
        // After a request for a client certificate the same input is offered again: the
        // system has not used it yet.
        if (input && status != SEC_E_INCOMPLETE_MESSAGE && status != SEC_I_INCOMPLETE_CREDENTIALS) {
            if (in[1].BufferType == SECBUFFER_EXTRA)
                input->erase(0, input->size() - in[1].cbBuffer);
            else
                input->clear();
        }
        return status;
    }
};

TlsStream::TlsStream(TcpClient& connection) : connection_(connection) {}

TlsStream::~TlsStream() = default;

TlsResult TlsStream::Handshake(const TlsOptions& options)
{
    session_.reset(new Session);
    encrypted_.clear();
    plain_.clear();
    certificateDescription_.clear();
    certificate_ = CertificateSummary();
    if (!connection_.IsConnected() || !session_->AcquireCredentials())
        return TlsResult::HandshakeFailed;
    // The trust file is read before the first byte of the handshake, within the same bound.
    const int64_t deadline = SteadyNowMs() + connection_.ConnectTimeoutMs();
    std::vector<std::string> trusted;
    if (!options.trustFile.empty() && options.fingerprint.empty()) {
        const TlsResult loaded =
            TrustFileVerdict(LoadTrustFile(options.trustFile, deadline, connection_.StopFlag(), trusted));
        if (loaded != TlsResult::Ok) {
            session_.reset();
            return loaded;
        }
    }
    const TlsResult negotiated = Negotiate(options.host, deadline);
    if (negotiated != TlsResult::Ok) {
        session_.reset();
        return negotiated;
    }
    PCCERT_CONTEXT received = nullptr;
    if (QueryContextAttributesW(&session_->context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &received) != SEC_E_OK ||
        !received) {
        session_.reset();
        return TlsResult::HandshakeFailed;
    }
    const CertificateHolder certificate(received);
    certificate_ = SummariseCertificate(certificate.get());
    certificateDescription_ = DescribeCertificate(certificate_);
    const TlsResult verdict = CheckServerCertificate(certificate.get(), options, trusted);
    if (verdict != TlsResult::Ok ||
        QueryContextAttributesW(&session_->context, SECPKG_ATTR_STREAM_SIZES,
                                &session_->sizes) != SEC_E_OK) {
        session_.reset();
        return verdict != TlsResult::Ok ? verdict : TlsResult::HandshakeFailed;
    }
    session_->established = true;
    return TlsResult::Ok;
}

TlsResult TlsStream::Negotiate(const std::string& host, int64_t deadline)
{
    auto left = [deadline] { return uint32_t(std::max<int64_t>(0, deadline - SteadyNowMs())); };
    std::wstring wideHost = WideFromUtf8(host);
    std::string output;
    SECURITY_STATUS status = session_->Step(wideHost, nullptr, output);
    bool needInput = true;
    // Bounded by the deadline, which every pass looks at, as at the stop flag: a pass sends,
    // receives within what is left, or takes one more step over what has come.
    for (;;) {
        if (connection_.StopRequested())
            return TlsResult::Stopped;
        if (left() == 0)
            return TlsResult::HandshakeFailed;
        if (!output.empty() && !connection_.Send(output, left()))
            return TlsResult::HandshakeFailed;
        if (status == SEC_E_OK)
            return TlsResult::Ok;  // bytes after the handshake stay in encrypted_
        if (status == SEC_I_INCOMPLETE_CREDENTIALS) {
            // The server asks for a client certificate, which we do not have: go on without
            // one, once; a second request means the system will not.
            if (session_->withoutClientCertificate)
                return TlsResult::HandshakeFailed;
            session_->withoutClientCertificate = true;
            needInput = false;
        } else if (status == SEC_I_CONTINUE_NEEDED)
            needInput = encrypted_.empty();
        else if (status == SEC_E_INCOMPLETE_MESSAGE)
            needInput = true;
        else
            return TlsResult::HandshakeFailed;
        if (needInput) {
            if (encrypted_.size() > kMaxHandshakeBytes)
                return TlsResult::HandshakeFailed;
            const uint32_t wait = left();
            if (wait == 0)
                return TlsResult::HandshakeFailed;
            switch (connection_.Receive(encrypted_, wait)) {
            case TcpClient::ReceiveResult::Data: break;
            case TcpClient::ReceiveResult::Stopped: return TlsResult::Stopped;
            default: return TlsResult::HandshakeFailed;
            }
        }
        status = session_->Step(wideHost, &encrypted_, output);
    }
}

bool TlsStream::Send(const std::string& bytes)
{
    if (!session_ || !session_->established)
        return false;
    const SecPkgContext_StreamSizes& sizes = session_->sizes;
    std::string record;
    for (size_t sent = 0; sent < bytes.size();) {
        const size_t count = std::min<size_t>(bytes.size() - sent, sizes.cbMaximumMessage);
        record.assign(sizes.cbHeader + count + sizes.cbTrailer, '\0');
        std::memcpy(&record[sizes.cbHeader], bytes.data() + sent, count);
        SecBuffer buffers[4] = {
            {sizes.cbHeader, SECBUFFER_STREAM_HEADER, &record[0]},
            {ULONG(count), SECBUFFER_DATA, &record[sizes.cbHeader]},
            {sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, &record[sizes.cbHeader + count]},
            {0, SECBUFFER_EMPTY, nullptr},
        };
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        if (EncryptMessage(&session_->context, 0, &desc, 0) != SEC_E_OK)
            return false;
        record.resize(buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
        if (!connection_.Send(record))
            return false;
        sent += count;
    }
    return true;
}

bool TlsStream::DecryptPending(bool& closed)
{
    // Bounded: every pass decrypts one whole record out of encrypted_ or returns.
    while (!encrypted_.empty()) {
        SecBuffer buffers[4] = {
            {ULONG(encrypted_.size()), SECBUFFER_DATA, &encrypted_[0]},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr},
        };
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        const bool alert = static_cast<unsigned char>(encrypted_[0]) == kAlertRecord;
        const SECURITY_STATUS status = DecryptMessage(&session_->context, &desc, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE)
            return true;
        // Windows reports the server's close_notify as the end of the context; Wine as an
        // alert record that decrypts to nothing. Either ends the session.
        if (status == SEC_I_CONTEXT_EXPIRED || (status == SEC_E_OK && alert)) {
            closed = true;  // the server's close_notify
            encrypted_.clear();
            return true;
        }
        if (status != SEC_E_OK)
            return false;  // a broken record, or a renegotiation we do not take part in
        std::string extra;
        for (const SecBuffer& buffer : buffers) {
            if (buffer.BufferType == SECBUFFER_DATA)
                plain_.append(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
            else if (buffer.BufferType == SECBUFFER_EXTRA)
                extra.assign(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
        }
        encrypted_.swap(extra);
    }
    return true;
}

TlsStream::LineResult TlsStream::ReadLine(std::string& line, size_t maxLength)
{
    if (!session_ || !session_->established)
        return LineResult::Failed;
    const int64_t deadline = SteadyNowMs() + connection_.IoTimeoutMs();
    size_t searchFrom = 0;
    bool closed = false;
    // Bounded by the deadline: every pass decrypts what came, or receives within what is left.
    for (;;) {
        if (!DecryptPending(closed))
            return LineResult::Failed;
        switch (TakeLine(plain_, line, maxLength, searchFrom)) {
        case TakeLineResult::Taken: return LineResult::Line;
        case TakeLineResult::TooLong: return LineResult::TooLong;
        case TakeLineResult::NeedMore: break;
        }
        // A server may end without close_notify: a closed socket ends the stream as well.
        if (closed) {
            TakeLastWords(plain_, line);
            return LineResult::Closed;
        }
        const int64_t left = deadline - SteadyNowMs();
        if (left <= 0)
            return LineResult::TimedOut;
        const LineResult received = FromReceive(connection_.Receive(encrypted_, uint32_t(left)));
        if (received == LineResult::Closed)
            TakeLastWords(plain_, line);
        if (received != LineResult::Line)
            return received;
    }
}

void TlsStream::Close()
{
    if (session_ && session_->established) {
        DWORD type = SCHANNEL_SHUTDOWN;
        SecBuffer buffer{sizeof type, SECBUFFER_TOKEN, &type};
        SecBufferDesc desc{SECBUFFER_VERSION, 1, &buffer};
        std::string alert;
        if (ApplyControlToken(&session_->context, &desc) == SEC_E_OK) {
            std::wstring none;
            none.push_back(L'\0');
            session_->Step(none, nullptr, alert);
        }
        // The server's own close_notify is not awaited: many servers never send one.
        if (!alert.empty())
            connection_.Send(alert);
    }
    session_.reset();
    encrypted_.clear();
    plain_.clear();
}
