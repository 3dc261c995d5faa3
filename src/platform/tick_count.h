#pragma once
#include <cstdint>

// Milliseconds since system start, wrapping after 2^32: differences are taken modulo 2^32.
uint32_t TickCount();

// Milliseconds of a steady clock that never wraps: for deadlines within one process.
int64_t SteadyNowMs();
