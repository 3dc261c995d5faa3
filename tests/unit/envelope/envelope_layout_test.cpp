#include <gtest/gtest.h>

#include "envelope/envelope_layout.h"

namespace {

// A random source whose every draw gives no jitter.
int NoJitter()
{
    return 1;
}

TEST(TrailLayout, EachCornerOfTheCursorHasItsOwnDirection)
{
    struct Case {
        TrailPoint cursor;
        TrailPoint first;
        TrailPoint second;
    };
    // The character spans (100, 100)-(133, 141), centre (116, 120); the centre lines count as
    // right and below.
    const Case cases[] = {
        {{115, 119}, {130, 138}, {143, 148}},  // up-left: down and right
        {{116, 119}, {77, 138}, {64, 148}},    // on the vertical centre line: left
        {{115, 120}, {130, 82}, {143, 72}},    // on the horizontal centre line: up
        {{900, 900}, {77, 82}, {64, 72}},      // far down-right
    };
    for (const Case& c : cases) {
        TrailLayout layout(c.cursor, {100, 100, 133, 141}, 26, 21);
        const TrailPoint first = layout.Next(NoJitter);
        const TrailPoint second = layout.Next(NoJitter);
        EXPECT_EQ((std::vector<int32_t>{first.x, first.y, second.x, second.y}),
                  (std::vector<int32_t>{c.first.x, c.first.y, c.second.x, c.second.y}))
            << "cursor " << c.cursor.x << "," << c.cursor.y;
    }
}

TEST(TrailLayout, JitterIsTwoPixelsAtMostAndDoesNotAccumulate)
{
    static int draw = 0;
    TrailLayout layout({0, 0}, {100, 100, 133, 141}, 26, 21);
    // Draws 0, 1: x -2, y 0. Draws 2, 3: x +2, y -2. Each from the unjittered step.
    const TrailPoint first = layout.Next([] { return draw++; });
    const TrailPoint second = layout.Next([] { return draw++; });
    EXPECT_EQ((std::vector<int32_t>{first.x, first.y, second.x, second.y}), (std::vector<int32_t>{128, 138, 145, 146}));
}

TEST(WantedEnvelopeColors, EachAccountInOrderAtMostFiveTimes)
{
    EXPECT_EQ(WantedEnvelopeColors({{3, 8}}), (std::vector<int32_t>{3, 3, 3, 3, 3}));
    EXPECT_EQ(WantedEnvelopeColors({{9, 0}, {-1, 2}, {4, 1}}), (std::vector<int32_t>{-1, -1, 4}));
    EXPECT_TRUE(WantedEnvelopeColors({{1, 0}}).empty());
}

}  // namespace
