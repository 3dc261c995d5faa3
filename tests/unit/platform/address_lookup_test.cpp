#include "platform/address_lookup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/tcp_client.h"

namespace {

// A resolver that does not answer until the test lets it.
std::mutex resolverLock;
std::condition_variable resolverWake;
bool resolverReleased = false;
int resolverCallsOpen = 0;

int SilentLookup(const char*, const char*, const addrinfo*, addrinfo**)
{
    std::unique_lock<std::mutex> guard(resolverLock);
    ++resolverCallsOpen;
    resolverWake.wait(guard, [] { return resolverReleased; });
    --resolverCallsOpen;
    resolverWake.notify_all();
    return EAI_AGAIN;
}

}  // namespace

// A name behind a resolver that never answers holds a connect no longer than its bound, and a
// stop request ends the wait within two polling slices; the lookups that end afterwards are
// dropped without harm.
TEST(AddressLookup, SilentResolverHoldsAConnectOnlyUntilItsBoundOrAStop)
{
    ASSERT_TRUE(InitSockets());
    SetAddressLookupForTests(&SilentLookup);
    // The connect bound, and when the connect ends (by its bound, or by a stop 150 ms in).
    for (const auto& [connectLimitMs, endsByMs] : {std::pair<uint32_t, int64_t>{300, 300}, {15000, 150}}) {
        SCOPED_TRACE(connectLimitMs);
        std::atomic<int32_t> stop{0};
        TcpClient client(connectLimitMs, 1000);
        client.SetStopFlag(&stop);
        std::thread stopper([&, endsBy = endsByMs, limit = connectLimitMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(endsBy));
            stop = endsBy < limit;
        });
        const int64_t start = SteadyNowMs();
        EXPECT_FALSE(client.Connect("mail.example.invalid", 110));
        const int64_t elapsed = SteadyNowMs() - start;
        stopper.join();
        EXPECT_GE(elapsed, endsByMs);
        EXPECT_LT(elapsed, endsByMs + 200);
    }

    std::unique_lock<std::mutex> guard(resolverLock);
    resolverReleased = true;
    resolverWake.notify_all();
    EXPECT_TRUE(resolverWake.wait_for(guard, std::chrono::seconds(5),
                                      [] { return resolverCallsOpen == 0; }));
    SetAddressLookupForTests(nullptr);
}
