#pragma once
// The debug channel: the trace that a debugger or a log viewer shows.
// On Windows every write goes to OutputDebugStringA; tests and command-line tools can
// also take a copy of each write through a sink.
#include <functional>
#include <string>

// Appends text to the debug channel, as one separate write.
void DebugWrite(const char* text);
void DebugWrite(const std::string& text);

// Receives a copy of every write from now on (an empty function stops that).
// Install it before any thread writes, remove it after they are gone.
using DebugSink = std::function<void(const std::string& text)>;
void SetDebugSink(DebugSink sink);
