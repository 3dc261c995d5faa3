#pragma once
// The platform's socket type behind the uintptr_t that our socket classes keep, so their
// headers need no system socket headers. Shared by the TCP client and the tests' servers.
#include <cstdint>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

// All bits set: no socket.
constexpr uintptr_t kNoSocket = ~uintptr_t(0);

#ifdef _WIN32
using NativeSocket = SOCKET;
constexpr int kSendFlags = 0;
inline void CloseNative(NativeSocket s) { closesocket(s); }
#else
using NativeSocket = int;
constexpr int kSendFlags = MSG_NOSIGNAL;  // a closed peer is an error result, not SIGPIPE
inline void CloseNative(NativeSocket s) { close(s); }
#endif

inline NativeSocket Native(uintptr_t s)
{
    return static_cast<NativeSocket>(s);
}
