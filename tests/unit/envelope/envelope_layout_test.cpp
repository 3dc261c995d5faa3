#include <gtest/gtest.h>

#include <cstdlib>

#include "envelope/envelope_layout.h"

namespace {

// A random source that counts up from 0, so each draw's jitter is known: 0 -> -2, 1 -> 0, 2 -> +2.
int counter = 0;
int Counting()
{
    return counter++;
}

// A random source whose every draw gives no jitter.
int NoJitter()
{
    return 1;
}

const TrailRect kCharacter{100, 100, 133, 141};
constexpr int32_t kWidth = 26;
constexpr int32_t kHeight = 21;

TEST(TrailLayoutTest, CursorUpLeftSendsTheTrailDownRight)
{
    std::srand(12345);
    for (int pass = 0; pass < 200; ++pass) {
        TrailLayout layout({50, 60}, kCharacter, kWidth, kHeight);
        const TrailPoint first = layout.Next(std::rand);
        const TrailPoint second = layout.Next(std::rand);
        for (int32_t offset : {first.x - 130, first.y - 138, second.x - 143, second.y - 148})
            ASSERT_TRUE(offset == -2 || offset == 0 || offset == 2) << "offset " << offset;
    }
}

TEST(TrailLayoutTest, EachCornerOfTheCursorHasItsOwnDirection)
{
    struct Case {
        TrailPoint cursor;
        TrailPoint first;
        TrailPoint second;
    };
    // Centre of the character: (116, 120). The centre lines count as right and below.
    const Case cases[] = {
        {{115, 119}, {130, 138}, {143, 148}},  // up-left: down and right
        {{116, 119}, {77, 138}, {64, 148}},    // on the vertical centre line: left
        {{115, 120}, {130, 82}, {143, 72}},    // on the horizontal centre line: up
        {{116, 120}, {77, 82}, {64, 72}},      // on both
        {{900, 900}, {77, 82}, {64, 72}},      // far down-right
    };
    for (const Case& c : cases) {
        TrailLayout layout(c.cursor, kCharacter, kWidth, kHeight);
        const TrailPoint first = layout.Next(NoJitter);
        const TrailPoint second = layout.Next(NoJitter);
        EXPECT_EQ(first.x, c.first.x) << "cursor " << c.cursor.x << "," << c.cursor.y;
        EXPECT_EQ(first.y, c.first.y) << "cursor " << c.cursor.x << "," << c.cursor.y;
        EXPECT_EQ(second.x, c.second.x) << "cursor " << c.cursor.x << "," << c.cursor.y;
        EXPECT_EQ(second.y, c.second.y) << "cursor " << c.cursor.x << "," << c.cursor.y;
    }
}

TEST(TrailLayoutTest, JitterIsDrawnForXFirstAndDoesNotAccumulate)
{
    counter = 0;
    TrailLayout layout({0, 0}, kCharacter, kWidth, kHeight);
    const TrailPoint first = layout.Next(Counting);   // draws 0, 1: x -2, y 0
    const TrailPoint second = layout.Next(Counting);  // draws 2, 3: x +2, y -2
    const TrailPoint third = layout.Next(Counting);   // draws 4, 5: x 0, y +2
    EXPECT_EQ(first.x, 128);
    EXPECT_EQ(first.y, 138);
    EXPECT_EQ(second.x, 145);
    EXPECT_EQ(second.y, 146);
    EXPECT_EQ(third.x, 156);
    EXPECT_EQ(third.y, 160);
    EXPECT_EQ(counter, 6);
}

TEST(TrailLayoutTest, StepIsHalfAnEnvelopeTruncated)
{
    TrailLayout layout({0, 0}, {0, 0, 10, 10}, 7, 5);
    const TrailPoint first = layout.Next(NoJitter);
    const TrailPoint second = layout.Next(NoJitter);
    EXPECT_EQ(second.x - first.x, 3);
    EXPECT_EQ(second.y - first.y, 2);
}

TEST(WantedEnvelopeColorsTest, EachAccountInOrderAtMostFiveTimes)
{
    EXPECT_EQ(WantedEnvelopeColors({{3, 8}}), (std::vector<int32_t>{3, 3, 3, 3, 3}));
    EXPECT_EQ(WantedEnvelopeColors({{1, 2}, {4, 1}}), (std::vector<int32_t>{1, 1, 4}));
    EXPECT_EQ(WantedEnvelopeColors({{9, 0}, {-1, 2}, {2, 0}, {0, 6}}),
              (std::vector<int32_t>{-1, -1, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(WantedEnvelopeColors({{1, 0}, {2, 0}}).empty());
    EXPECT_TRUE(WantedEnvelopeColors({}).empty());
}

}  // namespace
