#include <gtest/gtest.h>

#include <climits>

#include "envelope/envelope_layout.h"
#include "envelope/recolor.h"

namespace {

// The first two envelopes of a trail, as x, y, x, y.
std::vector<int32_t> FirstTwo(TrailPoint cursor, int (*random)(), int32_t scale = 1)
{
    TrailLayout layout(cursor, {100, 100, 100 + 33 * scale, 100 + 41 * scale}, 26 * scale, 21 * scale, scale);
    const TrailPoint first = layout.Next(random);
    const TrailPoint second = layout.Next(random);
    return {first.x, first.y, second.x, second.y};
}

TEST(TrailLayout, EachCornerOfTheCursorHasItsOwnDirectionAndJitterDoesNotAccumulate)
{
    // The character spans (100, 100)-(133, 141), centre lines right and below; a draw of 1: no jitter.
    const std::pair<TrailPoint, std::vector<int32_t>> cases[] = {
        {{115, 119}, {130, 138, 143, 148}},  // up-left: down and right
        {{116, 119}, {77, 138, 64, 148}},    // on the vertical centre line: left
        {{115, 120}, {130, 82, 143, 72}},    // on the horizontal centre line: up
        {{900, 900}, {77, 82, 64, 72}},      // far down-right
    };
    for (const auto& c : cases)
        EXPECT_EQ(FirstTwo(c.first, [] { return 1; }), c.second) << c.first.x << "," << c.first.y;
    // Draws 0, 1: x -2, y 0. Draws 2, 3: x +2, y -2. Each from the unjittered step.
    static int draw = 0;
    EXPECT_EQ(FirstTwo({0, 0}, [] { return draw++; }), (std::vector<int32_t>{128, 138, 145, 146}));
    // At twice the size (character 66 x 82, envelopes 52 x 42) overlap and jitter double too.
    draw = 0;
    EXPECT_EQ(FirstTwo({0, 0}, [] { return draw++; }, 2), (std::vector<int32_t>{156, 176, 190, 193}));
}

TEST(EnvelopeColors, EachAccountAtMostFiveTimesAndOnlyTheRedBodyTakesThePaletteColourInTheDibsByteOrder)
{
    EXPECT_EQ(WantedEnvelopeColors({{3, 8}}), (std::vector<int32_t>{3, 3, 3, 3, 3}));
    EXPECT_EQ(WantedEnvelopeColors({{9, 0}, {-1, 2}, {4, 1}}), (std::vector<int32_t>{-1, -1, 4}));

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
