#include "platform/address_lookup.h"

#include <cstdio>
#include <cstring>

#include "platform/detached_thread.h"

namespace {

int SystemLookup(const char* host, const char* service, const addrinfo* hints, addrinfo** result)
{
    return getaddrinfo(host, service, hints, result);
}

std::atomic<AddressLookupFunction> lookupFunction{&SystemLookup};

// The addresses of host (IPv4 first), or none when the lookup failed.
std::vector<ResolvedAddress> Lookup(const std::string& host, const std::string& service,
                                    AddressLookupFunction function)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    std::vector<ResolvedAddress> addresses;
    if (function(host.c_str(), service.c_str(), &hints, &list) == 0) {
        for (int family : {AF_INET, AF_INET6})
            for (addrinfo* entry = list; entry; entry = entry->ai_next)
                if (entry->ai_family == family && entry->ai_addrlen <= sizeof(sockaddr_storage)) {
                    ResolvedAddress address;
                    address.family = family;
                    std::memcpy(&address.address, entry->ai_addr, entry->ai_addrlen);
                    address.length = socklen_t(entry->ai_addrlen);
                    addresses.push_back(address);
                }
    }
    if (list)
        freeaddrinfo(list);
    return addresses;
}

}  // namespace

void SetAddressLookupForTests(AddressLookupFunction lookup)
{
    lookupFunction = lookup ? lookup : &SystemLookup;
}

std::vector<ResolvedAddress> ResolveHost(const std::string& host, int port, int64_t deadline,
                                         const std::atomic<int32_t>* stopFlag)
{
    char service[16];
    std::snprintf(service, sizeof service, "%d", port);
    // The platform's own thread: under Wine a detached std::thread now and then never starts,
    // which would make a reachable server look unreachable for the whole connect bound. A lookup
    // given up (the deadline, a stop) or without a thread counts as an unknown name.
    const AddressLookupFunction function = lookupFunction.load();
    std::vector<ResolvedAddress> addresses;
    const std::string name = host, number = service;
    WaitForDetached<std::vector<ResolvedAddress>>([name, number, function] { return Lookup(name, number, function); },
                                                  stopFlag, deadline, addresses);
    return addresses;
}
