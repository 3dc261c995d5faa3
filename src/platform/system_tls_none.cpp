#include "platform/tls_layer.h"

// Only the Windows build carries TLS, on the system's own implementation.
TlsFactory SystemTls()
{
    return {};
}
