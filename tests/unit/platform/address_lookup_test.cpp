#include "platform/address_lookup.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "platform/tcp_client.h"

namespace {

// A resolver that does not answer until the test lets it.
std::promise<void> resolverRelease;
const std::shared_future<void> resolverReleased = resolverRelease.get_future().share();
std::atomic<int> resolverCallsOpen{0};

int SilentLookup(const char*, const char*, const addrinfo*, addrinfo**)
{
    ++resolverCallsOpen;
    resolverReleased.wait();
    --resolverCallsOpen;
    return EAI_AGAIN;
}

}  // namespace

// A stop ends the wait within two polling slices; lookups that end afterwards are dropped.
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
        EXPECT_TRUE(elapsed >= endsByMs && elapsed < endsByMs + 200) << elapsed << " ms";
    }

    resolverRelease.set_value();
    for (int i = 0; i < 500 && resolverCallsOpen > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(resolverCallsOpen.load(), 0);
    SetAddressLookupForTests(nullptr);
}
