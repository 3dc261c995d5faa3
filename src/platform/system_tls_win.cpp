#include "platform/tls_stream.h"

TlsFactory SystemTls()
{
    return [](TcpClient& connection) { return std::unique_ptr<TlsLayer>(new TlsStream(connection)); };
}
