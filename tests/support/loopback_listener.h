#pragma once
// What the scripted servers share: a listening socket on 127.0.0.1 and a short wait for bytes.
#include "platform/native_socket.h"

// True when s can be read within waitMs.
inline bool Readable(uintptr_t s, int waitMs)
{
    fd_set readSet;
    FD_ZERO(&readSet);
    FD_SET(Native(s), &readSet);
    timeval timeout{0, waitMs * 1000};
    return select(int(Native(s)) + 1, &readSet, nullptr, nullptr, &timeout) > 0;
}

// Listens on 127.0.0.1 and a port the system picks; port stays 0 if the socket could not listen.
inline uintptr_t ListenOnLoopback(int& port)
{
    NativeSocket s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (s != Native(kNoSocket) && bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        listen(s, 8) == 0 && getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    return uintptr_t(s);
}
