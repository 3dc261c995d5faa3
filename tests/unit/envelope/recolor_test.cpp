#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "envelope/recolor.h"

namespace {

TEST(Recolor, ExactlyTheRedBodyTakesThePaletteColourInTheDibsByteOrderAndOtherIndicesKeepIt)
{
    // Key green, outline, red body (twice, one with a stray top byte), nearly red, flap; as a DIB holds them.
    const std::vector<uint32_t> sample = {0x00FF00, 0x000000, 0xFF0000, 0xAB000000 | 0xFF0000, 0xFE0000, 0xF0F0F0};
    const struct { int32_t index; uint32_t body; } cases[] = {  // the body as the DIB stores it
        {1, 0x0000FF}, {4, 0x00FF00}, {0, 0x000000}, {8, 0xFFFFFF}, {9, 0xFFFF00}, {7, 0xFF0000},
        {-1, 0xFF0000}, {10, 0xFF0000}, {INT_MAX, 0xFF0000}, {INT_MIN, 0xFF0000}};
    for (const auto& c : cases) {
        std::vector<uint32_t> pixels = sample;
        RecolorEnvelopeBody(pixels.data(), pixels.size(), c.index);
        std::vector<uint32_t> expected = sample;
        if (c.body != 0xFF0000)
            expected[2] = expected[3] = c.body;
        EXPECT_EQ(pixels, expected) << "index " << c.index;
    }
}

}  // namespace
