#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "envelope/recolor.h"

namespace {

constexpr ColorRef kRed = 0x0000FF;
constexpr ColorRef kNearlyRed = 0x0000FE;
constexpr ColorRef kOutline = 0x000000;
constexpr ColorRef kKeyGreen = 0x00FF00;
constexpr ColorRef kPaper = 0xF0F0F0;

// A small envelope as a DIB holds it: key-green corner, black outline, red body, one
// nearly-red pixel and a light flap.
std::vector<uint32_t> SampleImage()
{
    std::vector<uint32_t> pixels;
    for (ColorRef color : {kKeyGreen, kOutline, kRed, kRed, kNearlyRed, kPaper, kRed, kOutline})
        pixels.push_back(PixelFromColorRef(color));
    return pixels;
}

std::vector<ColorRef> AsColorRefs(const std::vector<uint32_t>& pixels)
{
    std::vector<ColorRef> colors;
    for (uint32_t pixel : pixels)
        colors.push_back(ColorRefFromPixel(pixel));
    return colors;
}

TEST(RecolorTest, GreenAccountTurnsExactlyTheRedBodyGreen)
{
    std::vector<uint32_t> pixels = SampleImage();
    RecolorEnvelopeBody(pixels.data(), pixels.size(), 4);
    EXPECT_EQ(AsColorRefs(pixels), (std::vector<ColorRef>{kKeyGreen, kOutline, 0x00FF00, 0x00FF00,
                                                          kNearlyRed, kPaper, 0x00FF00, kOutline}));
}

TEST(RecolorTest, ColoursLandInTheRightBytesOfTheDib)
{
    // Blue (colour reference 0xFF0000) is stored as 0x0000FF in a DIB; red the other way round.
    EXPECT_EQ(PixelFromColorRef(0xFF0000), 0x0000FFu);
    EXPECT_EQ(PixelFromColorRef(0x0000FF), 0xFF0000u);
    EXPECT_EQ(PixelFromColorRef(0x123456), 0x563412u);

    std::vector<uint32_t> pixels = SampleImage();
    RecolorEnvelopeBody(pixels.data(), pixels.size(), 1);
    EXPECT_EQ(pixels[2], 0x0000FFu);
    EXPECT_EQ(ColorRefFromPixel(pixels[2]), EnvelopePalette[1]);
}

TEST(RecolorTest, TheUnusedTopByteDoesNotHideARedPixel)
{
    uint32_t pixel = 0xAB000000u | PixelFromColorRef(kRed);
    RecolorEnvelopeBody(&pixel, 1, 8);
    EXPECT_EQ(ColorRefFromPixel(pixel), 0xFFFFFFu);
}

TEST(RecolorTest, RedAndUnknownIndicesDrawTheImageAsItIs)
{
    for (int32_t index : {7, -1, 10, INT_MAX, INT_MIN}) {
        std::vector<uint32_t> pixels = SampleImage();
        RecolorEnvelopeBody(pixels.data(), pixels.size(), index);
        EXPECT_EQ(pixels, SampleImage()) << "index " << index;
        EXPECT_EQ(EnvelopeColor(index), kRed) << "index " << index;
    }
}

TEST(RecolorTest, BlackRecoloursTheBodyLikeAnyOtherColour)
{
    // Index 0 is black, not "no colour": a default account shows black envelopes.
    std::vector<uint32_t> pixels = SampleImage();
    RecolorEnvelopeBody(pixels.data(), pixels.size(), 0);
    EXPECT_EQ(ColorRefFromPixel(pixels[3]), 0x000000u);
    EXPECT_EQ(ColorRefFromPixel(pixels[4]), kNearlyRed);
}

TEST(RecolorTest, EmptyBufferIsFine)
{
    RecolorEnvelopeBody(nullptr, 0, 4);
}

}  // namespace
