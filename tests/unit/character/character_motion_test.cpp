// The character's pulse, glide and animation, with the numbers a user would see.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "character/animation_catalog.h"
#include "character/character_motion.h"
#include "platform/alpha_pulse.h"

namespace {

// A catalogue of animations "A" and "B" whose frames are the names below the given ends.
AnimationCatalog CatalogOf(std::string endA, std::string endB)
{
    AnimationCatalog catalog;
    catalog.AppendAnimation("A", [&](const std::string& name) { return name < endA; });
    catalog.AppendAnimation("B", [&](const std::string& name) { return name < endB; });
    return catalog;
}

TEST(PulseAlpha, IsATriangleWaveOfPeriod512HundredthsShiftedByThePhase)
{
    // Tick, phase, alpha; the last is the last tick before the count wraps.
    const uint32_t samples[][3] = {{0, 0, 0},    {1000, 0, 100}, {2550, 0, 255},  {2570, 0, 255},
                                   {2580, 0, 254}, {5110, 0, 1},   {5120, 0, 0},    {10, 511, 0},
                                   {0, 300, 212},  {1000, 200, 212}, {0xFFFFFFFFu, 0, 103}};
    for (const auto& s : samples)
        EXPECT_EQ(PulseAlphaAt(s[0], int32_t(s[1])), int(s[2])) << "tick " << s[0] << " phase " << s[1];
}

TEST(Glide, TargetsThe56PixelOffsetOrTheCursorSideAndEasesAnEighthPerStepUntilTruncationStops)
{
    // Cursor x, y, mail, target x, y; the middle lines count as the right and lower halves.
    const int32_t cases[][5] = {
        {100, 700, 0, 156, 644}, {512, 384, 0, 456, 328}, {511, 383, 0, 567, 439}, {300, 200, 1, 290, 190}};
    for (const auto& c : cases) {
        const MotionPoint target = FollowTarget({c[0], c[1]}, c[2] != 0, {0, 0, 1024, 768});
        EXPECT_TRUE(target.x == c[3] && target.y == c[4]) << c[0] << "," << c[1];
        // At twice the size the character keeps twice the distance.
        const MotionPoint scaled = FollowTarget({c[0], c[1]}, c[2] != 0, {0, 0, 1024, 768}, 2);
        EXPECT_TRUE(scaled.x - c[0] == 2 * (c[3] - c[0]) && scaled.y - c[1] == 2 * (c[4] - c[1]));
    }
    // From, to, where it rests: truncation toward zero stops short of some targets.
    const int32_t glides[][3] = {{0, 80, 73}, {200, 80, 80}, {-200, -80, -80}, {0, -80, -73}};
    for (const auto& c : glides) {
        int32_t x = c[0];
        for (int i = 0; i < 60; ++i)
            x = EaseToward(c[1], x);
        EXPECT_EQ(x, c[2]) << c[0] << " -> " << c[1];
        const MotionPoint end = GlideEnd({c[1], c[1]}, {c[0], INT32_MIN});  // where a hidden character appears
        EXPECT_TRUE(end.x == c[2] && end.y == c[1] + (c[1] > 0 ? -7 : 0)) << c[0] << " -> " << c[1];
    }
    EXPECT_TRUE(EaseToward(INT32_MAX, INT32_MAX) == INT32_MAX && EaseToward(INT32_MIN, INT32_MIN) == INT32_MIN)
        << "an overflow far off screen";
}

TEST(AdvanceAnimation, SwitchesOnlyAtACycleEndAndAtMostOnceIn30Seconds)
{
    const AnimationCatalog catalog = CatalogOf("A002", "B003");
    int draws = 0;
    const auto alwaysSwitch = [&] { return ++draws, 1; };  // 1 % 10 <= 1: the switch is taken
    AnimationState state;
    uint32_t lastSwitch = 0;
    // Only cycle ends over 30 s after the last switch switch (40000, 71500), in order, wrapping.
    std::vector<int> shown;
    for (uint32_t now = 39500; now < 72500; now += 500) {
        AdvanceAnimation(state, lastSwitch, catalog, now, alwaysSwitch);
        shown.push_back(state.frameIndex);
    }
    EXPECT_EQ(std::vector<int>(shown.begin(), shown.begin() + 5), (std::vector<int>{1, 2, 3, 4, 2}));
    EXPECT_EQ(draws, 2);
    EXPECT_TRUE(state.animationIndex == 0 && lastSwitch == 71500u);
    // Across the tick count's wrap the time still counts; an empty catalogue shows no frame.
    lastSwitch = 0xFFFFF000u;
    AdvanceAnimation(state, lastSwitch, CatalogOf("A001", "B001"), 0x00010000u, [] { return 7; });
    EXPECT_TRUE(state.animationIndex == 0 && lastSwitch == 0x00010000u);
    AdvanceAnimation(state, lastSwitch, AnimationCatalog(), 0x00020000u, [] { return 1; });
    EXPECT_TRUE(state.frameIndex == -1 && AnimationCatalog().AnimationFromRandom(12345) == 0);
}

}  // namespace
