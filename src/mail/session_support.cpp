#include "mail/session_support.h"

#include <cctype>

#include "platform/debug_channel.h"

namespace {

constexpr char kNoTls[] = "TLS is not available in this build";

}  // namespace

std::string ReasonFromTrace(const std::string& traced)
{
    std::string reason = traced;
    if (reason.size() > 1 && std::islower(static_cast<unsigned char>(reason[1])))
        reason[0] = char(std::tolower(static_cast<unsigned char>(reason[0])));
    return reason;
}

LineFault FaultOf(LineStream::LineResult result)
{
    switch (result) {
    case LineStream::LineResult::Closed: return {"Connection closed", "connection closed"};
    case LineStream::LineResult::TimedOut: return {"No reply in time", "no reply"};
    case LineStream::LineResult::TooLong: return {"Reply line too long", "reply too long"};
    default: return {"Connection failed", "connection failed"};
    }
}

std::string StartTlsTraced(const TlsFactory& factory, TcpClient& socket, const AccountSettings& account,
                           const std::atomic<int32_t>* stopFlag, const RefusalTrace& traceRefusal,
                           std::unique_ptr<TlsLayer>& tls)
{
    if (!factory) {
        traceRefusal(kNoTls);
        return kNoTls;
    }
    tls = factory(socket);
    const TlsResult result = tls->Handshake({account.Address, account.TrustFile, account.Fingerprint});
    const std::string certificate = tls->CertificateDescription();
    if (!certificate.empty())
        DebugWrite("Server certificate: " + certificate + "\n");
    if (result == TlsResult::Ok)
        return std::string();
    socket.Close();
    if (result == TlsResult::Stopped || (stopFlag && stopFlag->load() != 0))
        return "stopped";
    traceRefusal(TlsResultText(result));
    return ReasonFromTrace(TlsResultText(result));
}
