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

    // Every write so far, in order, each one separately.
    std::vector<std::string> Writes() const
    {
        std::lock_guard<std::mutex> guard(lock);
        return writes;
    }
    std::string Text() const
    {
        std::string all;
        for (const auto& write : Writes())
            all += write;
        return all;
    }

private:
    mutable std::mutex lock;
    std::vector<std::string> writes;
};
