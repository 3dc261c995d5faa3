#pragma once
// A thread that nobody waits for, and a wait for its result that a stop or a deadline can end.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/tick_count.h"

// Runs body on a new thread; false when no thread could be started.
bool StartDetachedThread(std::function<void()> body);

// Runs work on a thread of its own for a blocking call that cannot be interrupted, and waits for
// its result, looking at stopFlag (may be null) and the deadline (SteadyNowMs) every 100 ms.
// False when no thread could be started or the wait was given up: the work then ends on its own,
// and the state it shares with the waiter lives until whichever of them lets go last.
template <typename Result>
bool WaitForDetached(std::function<Result()> work, const std::atomic<int32_t>* stopFlag, int64_t deadline,
                     Result& result)
{
    struct Shared {
        std::mutex lock;
        std::condition_variable finished;
        bool done = false;
        Result result;
    };
    const auto shared = std::make_shared<Shared>();
    const bool started = StartDetachedThread([shared, work] {
        Result made = work();
        const std::lock_guard<std::mutex> hold(shared->lock);
        shared->result = std::move(made);
        shared->done = true;
        shared->finished.notify_all();
    });
    if (!started)
        return false;
    std::unique_lock<std::mutex> hold(shared->lock);
    while (!shared->done) {  // bounded by the deadline, or else by the work's own bounds
        const int64_t left = deadline - SteadyNowMs();
        if (left <= 0 || (stopFlag && stopFlag->load() != 0))
            return false;
        shared->finished.wait_for(hold, std::chrono::milliseconds(std::min<int64_t>(left, 100)));
    }
    result = std::move(shared->result);
    return true;
}
