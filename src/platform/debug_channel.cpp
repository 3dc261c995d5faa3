#include "platform/debug_channel.h"

#include <mutex>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
std::mutex sinkLock;
DebugSink sink;
}  // namespace

void DebugWrite(const char* text)
{
#ifdef _WIN32
    OutputDebugStringA(text);
#endif
    std::lock_guard<std::mutex> guard(sinkLock);
    if (sink)
        sink(text);
}

void DebugWrite(const std::string& text)
{
    DebugWrite(text.c_str());
}

void SetDebugSink(DebugSink newSink)
{
    std::lock_guard<std::mutex> guard(sinkLock);
    sink = std::move(newSink);
}
