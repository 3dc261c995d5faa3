#pragma once
// Collects the debug channel's writes, in order, for the life of the object.
#include <mutex>
#include <string>

#include "platform/debug_channel.h"

class DebugCapture {
public:
    DebugCapture()
    {
        SetDebugSink([this](const std::string& text) {
            std::lock_guard<std::mutex> guard(lock);
            written += text;
        });
    }
    ~DebugCapture() { SetDebugSink(nullptr); }
    std::string Text() const
    {
        std::lock_guard<std::mutex> guard(lock);
        return written;
    }

private:
    mutable std::mutex lock;
    std::string written;
};
