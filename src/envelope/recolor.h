#pragma once
// Recolouring of the envelope body in a 32-bit pixel buffer, the memory of a DIB section.
// Such a pixel holds blue in its lowest byte, then green, then red; the top byte is unused.
#include <cstddef>
#include <cstdint>

#include "profile/envelope_palette.h"

// A colour reference (0x00BBGGRR) as a 32-bit DIB stores it (0x00RRGGBB), and back: the same
// swap of the red and blue bytes both ways.
constexpr uint32_t PixelFromColorRef(ColorRef color)
{
    return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF);
}
constexpr ColorRef ColorRefFromPixel(uint32_t pixel)
{
    return PixelFromColorRef(pixel & 0xFFFFFF);
}

// Replaces every pixel that is exactly the body red with the envelope colour of colorIndex.
// Nearly-red pixels stay as they are, and so does everything for an index whose colour is
// the body red itself.
void RecolorEnvelopeBody(uint32_t* pixels, size_t count, int32_t colorIndex);
