#pragma once
// A thread that nobody waits for.
#include <functional>

// Runs body on a new thread; false when no thread could be started.
bool StartDetachedThread(std::function<void()> body);
