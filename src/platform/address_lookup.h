#pragma once
// Name lookup within the connect bound. The system's lookup blocks without a time limit and
// without looking at any stop flag, so it runs on a detached thread of the platform's own;
// the caller waits for it at most until its deadline, looking at its stop flag every 100 ms,
// and a lookup that ends after the caller gave up is dropped.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/native_socket.h"
#include "platform/tick_count.h"

struct ResolvedAddress {
    int family = 0;
    sockaddr_storage address{};
    socklen_t length = 0;
};

// The addresses of host (a name or a numeric address) for port, IPv4 first: a name that also
// has an IPv6 address is reached the way it always was, and IPv6 is used when that is all
// there is. Empty when the name cannot be resolved by deadline (steady-clock milliseconds, as
// SteadyNowMs gives them) or the flag behind stopFlag (if any) becomes non-zero.
std::vector<ResolvedAddress> ResolveHost(const std::string& host, int port, int64_t deadline,
                                         const std::atomic<int32_t>* stopFlag);

// The system lookup by default; tests put in one that never answers (a list it returns is
// released with freeaddrinfo). Null restores the default.
using AddressLookupFunction = int (*)(const char* host, const char* service,
                                      const addrinfo* hints, addrinfo** result);
void SetAddressLookupForTests(AddressLookupFunction lookup);
