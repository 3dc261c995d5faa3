#include "profile/envelope_palette.h"

#include <cstddef>

const std::array<ColorRef, 10> EnvelopePalette = {
    0x000000,  // 0 black
    0xFF0000,  // 1 blue
    0xFFFF00,  // 2 cyan
    0x808080,  // 3 grey
    0x00FF00,  // 4 green
    0x800000,  // 5 navy
    0x800080,  // 6 purple
    0x0000FF,  // 7 red: the image as drawn
    0xFFFFFF,  // 8 white
    0x00FFFF,  // 9 yellow
};

ColorRef EnvelopeColor(int32_t colorIndex)
{
    if (colorIndex < 0 || colorIndex >= static_cast<int32_t>(EnvelopePalette.size()))
        return kEnvelopeBodyColor;
    return EnvelopePalette[static_cast<size_t>(colorIndex)];
}
