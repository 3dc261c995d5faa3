#include "envelope/recolor.h"

void RecolorEnvelopeBody(uint32_t* pixels, size_t count, int32_t colorIndex)
{
    const ColorRef color = EnvelopeColor(colorIndex);
    if (color == kEnvelopeBodyColor)
        return;
    const uint32_t body = PixelFromColorRef(kEnvelopeBodyColor);
    const uint32_t replacement = PixelFromColorRef(color);
    for (size_t i = 0; i < count; ++i) {
        // The unused top byte takes no part in the comparison, as with a read through GetPixel.
        if ((pixels[i] & 0xFFFFFF) == body)
            pixels[i] = replacement;
    }
}
