#include "platform/address_lookup.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/detached_thread.h"

namespace {

constexpr int64_t kPollSliceMs = 100;

int SystemLookup(const char* host, const char* service, const addrinfo* hints, addrinfo** result)
{
    return getaddrinfo(host, service, hints, result);
}

std::atomic<AddressLookupFunction> lookupFunction{&SystemLookup};

// One lookup, shared by the caller and the thread that runs it: whichever lets go last
// releases it, so the thread may finish after the caller has given up.
struct Lookup {
    std::string host;
    std::string service;
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    std::vector<ResolvedAddress> addresses;
};

void RunLookup(const std::shared_ptr<Lookup>& lookup, AddressLookupFunction function)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    std::vector<ResolvedAddress> addresses;
    if (function(lookup->host.c_str(), lookup->service.c_str(), &hints, &list) == 0) {
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
    std::lock_guard<std::mutex> guard(lookup->lock);
    lookup->addresses = std::move(addresses);
    lookup->done = true;
    lookup->finished.notify_all();
}

bool StopRequested(const std::atomic<int32_t>* stopFlag)
{
    return stopFlag && stopFlag->load() != 0;
}

}  // namespace

void SetAddressLookupForTests(AddressLookupFunction lookup)
{
    lookupFunction = lookup ? lookup : &SystemLookup;
}

std::vector<ResolvedAddress> ResolveHost(const std::string& host, int port, int64_t deadline,
                                         const std::atomic<int32_t>* stopFlag)
{
    auto lookup = std::make_shared<Lookup>();
    lookup->host = host;
    char service[16];
    std::snprintf(service, sizeof service, "%d", port);
    lookup->service = service;
    // The platform's own thread: under Wine a detached std::thread now and then never starts,
    // which would make a reachable server look unreachable for the whole connect bound.
    const AddressLookupFunction function = lookupFunction.load();
    if (!StartDetachedThread([lookup, function] { RunLookup(lookup, function); }))
        return {};  // no thread to be had: as if the name were unknown

    // Bounded by the deadline: every pass waits at most one slice.
    std::unique_lock<std::mutex> guard(lookup->lock);
    while (!lookup->done) {
        const int64_t left = deadline - SteadyNowMs();
        if (left <= 0 || StopRequested(stopFlag))
            return {};
        lookup->finished.wait_for(guard, std::chrono::milliseconds(std::min(left, kPollSliceMs)));
    }
    return std::move(lookup->addresses);
}
