#pragma once
// Collects the debug channel's writes for the life of the object.
#include <mutex>
#include <string>
#include <vector>

#include "platform/debug_channel.h"

class DebugCapture {
public:
    DebugCapture()
    {
        SetDebugSink([this](const std::string& text) {
            std::lock_guard<std::mutex> guard(lock);
            writes.push_back(text);
        });
    }
    ~DebugCapture() { SetDebugSink(nullptr); }
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    // Every write so far, in order, each one separately.
    std::vector<std::string> Writes() const
    {
        std::lock_guard<std::mutex> guard(lock);
        return writes;
    }
    // Every write so far, joined.
    std::string Text() const
    {
        std::lock_guard<std::mutex> guard(lock);
        std::string all;
        for (const auto& write : writes)
            all += write;
        return all;
    }

private:
    mutable std::mutex lock;
    std::vector<std::string> writes;
};
