#pragma once
// What the POP3 and IMAP conversations share: the user's words for what went wrong, and the
// TLS handshake with its certificate on the trace.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/line_stream.h"
#include "platform/tcp_client.h"
#include "platform/tls_layer.h"
#include "profile/account_settings.h"

// The trace's words for the user: "Certificate not trusted" becomes "certificate not trusted".
std::string ReasonFromTrace(const std::string& traced);

// What the trace says about a line that did not arrive, and the reason the user sees.
struct LineFault {
    const char* traced;
    const char* reason;
};
LineFault FaultOf(LineStream::LineResult result);

// Starts TLS on socket for the account and traces the server's certificate, also a refused
// one, so that a user can check it and pin it. Empty when the handshake succeeded (tls then
// carries the conversation); otherwise the socket is closed and the result is the reason for
// the user: "stopped" when the stop flag ended it, else a refusal traced by traceRefusal (each
// protocol keeps its own trace's shape).
using RefusalTrace = std::function<void(const std::string&)>;
std::string StartTlsTraced(const TlsFactory& factory, TcpClient& socket, const AccountSettings& account,
                           const std::atomic<int32_t>* stopFlag, const RefusalTrace& traceRefusal,
                           std::unique_ptr<TlsLayer>& tls);
