#pragma once
// The transparency pulse of the program's windows, apart from the window calls.
#include <cstdint>

// The layered alpha at a tick count for a window's phase (0..511): a triangle wave that rises
// from 0 to 255 in 2.56 s and falls back in the next 2.56 s.
uint8_t PulseAlphaAt(uint32_t tick, int32_t phase);
