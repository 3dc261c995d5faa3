#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "envelope/recolor.h"

namespace {

// A small envelope as a 32-bit DIB holds it: key-green corner, black outline, red body (one
// pixel with a stray top byte), one nearly-red pixel and a light flap.
std::vector<uint32_t> SampleImage()
{
    std::vector<uint32_t> pixels;
    for (ColorRef color : {0x00FF00u, 0x000000u, 0x0000FFu, 0x0000FEu, 0xF0F0F0u})
        pixels.push_back(PixelFromColorRef(color));
    pixels.push_back(0xAB000000u | PixelFromColorRef(0x0000FF));
    return pixels;
}

TEST(Recolor, ExactlyTheRedBodyTakesThePaletteColourInTheDibsByteOrder)
{
    const struct {
        int32_t index;
        uint32_t body;  // as the DIB stores it
    } cases[] = {{1, 0x0000FF}, {4, 0x00FF00}, {0, 0x000000}, {8, 0xFFFFFF}, {9, 0xFFFF00}};
    for (const auto& c : cases) {
        std::vector<uint32_t> pixels = SampleImage();
        RecolorEnvelopeBody(pixels.data(), pixels.size(), c.index);
        std::vector<uint32_t> expected = SampleImage();
        expected[2] = expected[5] = c.body;
        EXPECT_EQ(pixels, expected) << "index " << c.index;
    }
}

TEST(Recolor, RedAndUnknownIndicesDrawTheImageAsItIs)
{
    for (int32_t index : {7, -1, 10, INT_MAX, INT_MIN}) {
        std::vector<uint32_t> pixels = SampleImage();
        RecolorEnvelopeBody(pixels.data(), pixels.size(), index);
        EXPECT_EQ(pixels, SampleImage()) << "index " << index;
    }
}

}  // namespace
