#include "platform/alpha_pulse.h"

uint8_t PulseAlphaAt(uint32_t tick, int32_t phase)
{
    uint32_t v = (tick / 10 + static_cast<uint32_t>(phase)) % 512;
    if (v >= 256)
        v = 512 - v;
    return static_cast<uint8_t>(v > 255 ? 255 : v);
}
