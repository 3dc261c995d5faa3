// The character's pulse, glide and animation, with the numbers a user would see.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "character/animation_catalog.h"
#include "character/character_motion.h"
#include "platform/alpha_pulse.h"

namespace {

// A catalogue whose animations have the given numbers of frames.
AnimationCatalog CatalogOf(const std::vector<int>& frameCounts)
{
    AnimationCatalog catalog;
    for (size_t a = 0; a < frameCounts.size(); ++a) {
        const std::string prefix = "A" + std::to_string(a) + "_";
        catalog.AppendAnimation(prefix, [&](const std::string& name) {
            for (int i = 0; i < frameCounts[a]; ++i)
                if (name == FrameName(prefix, i))
                    return true;
            return false;
        });
    }
    return catalog;
}

TEST(PulseAlpha, IsATriangleWaveOfPeriod512HundredthsShiftedByThePhase)
{
    const struct {
        uint32_t tick;
        int32_t phase;
        int alpha;
    } samples[] = {{0, 0, 0},       {1000, 0, 100}, {2550, 0, 255}, {2570, 0, 255},       {2580, 0, 254},
                   {5110, 0, 1},    {5120, 0, 0},   {10, 511, 0},   {0, 300, 212},        {1000, 200, 212},
                   {0xFFFFFFFFu, 0, 103}};  // the last tick before the count wraps
    for (const auto& s : samples)
        EXPECT_EQ(PulseAlphaAt(s.tick, s.phase), s.alpha) << "tick " << s.tick << " phase " << s.phase;
}

TEST(FollowTarget, WithoutMailKeeps56PixelsOffTowardTheMiddleAndWithMailSitsBesideTheCursor)
{
    const MotionRect desktop{0, 0, 1024, 768};
    const struct {
        MotionPoint cursor;
        bool mail;
        MotionPoint target;
    } cases[] = {
        {{100, 700}, false, {156, 644}},
        {{512, 384}, false, {456, 328}},  // the middle lines count as the right and lower halves
        {{511, 383}, false, {567, 439}},
        {{300, 200}, true, {290, 190}},
    };
    for (const auto& c : cases) {
        const MotionPoint target = FollowTarget(c.cursor, c.mail, desktop);
        EXPECT_EQ(target.x, c.target.x) << c.cursor.x << "," << c.cursor.y;
        EXPECT_EQ(target.y, c.target.y) << c.cursor.x << "," << c.cursor.y;
    }
}

TEST(EaseToward, CoversAnEighthPerStepAndRestsWhereTruncationLeavesIt)
{
    // From, to, where it rests: truncation toward zero stops short on the way to larger values
    // above zero and to smaller values below it.
    const int32_t cases[][3] = {{0, 80, 73}, {200, 80, 80}, {-200, -80, -80}, {0, -80, -73}};
    for (const auto& c : cases) {
        int32_t x = c[0];
        for (int i = 0; i < 60; ++i)
            x = EaseToward(c[1], x);
        EXPECT_EQ(x, c[2]) << c[0] << " -> " << c[1];
    }
    EXPECT_EQ(EaseToward(80, EaseToward(80, 0)), 18);
    EXPECT_EQ(EaseToward(INT32_MAX, INT32_MAX), INT32_MAX);  // no overflow far off screen
    EXPECT_EQ(EaseToward(INT32_MIN, INT32_MIN), INT32_MIN);
}

TEST(AdvanceAnimation, SwitchesOnlyAtACycleEndAndAtMostOnceIn30Seconds)
{
    const AnimationCatalog catalog = CatalogOf({2, 3});
    int draws = 0;
    auto alwaysSwitch = [&] {
        ++draws;
        return 1;  // 1 % 10 <= 1: the switch is taken
    };
    AnimationState state;
    uint32_t lastSwitch = 0;
    // The cycle ending at 40000 (over 30 s after 0) switches to animation 1, at its first frame.
    AdvanceAnimation(state, lastSwitch, catalog, 39500, alwaysSwitch);
    EXPECT_EQ(state.frameIndex, 1);
    AdvanceAnimation(state, lastSwitch, catalog, 40000, alwaysSwitch);
    EXPECT_EQ(state.frameIndex, 2);
    EXPECT_EQ(draws, 1);
    // Cycles completed within 30 s of that chance draw nothing; the next chance comes at the
    // first cycle end more than 30 s on, 71500, and after the last animation comes the first.
    std::vector<int> shown;
    for (uint32_t now = 40500; now < 72500; now += 500) {
        AdvanceAnimation(state, lastSwitch, catalog, now, alwaysSwitch);
        shown.push_back(state.frameIndex);
    }
    EXPECT_EQ(std::vector<int>(shown.begin(), shown.begin() + 6), (std::vector<int>{3, 4, 2, 3, 4, 2}));
    EXPECT_EQ(draws, 2);
    EXPECT_EQ(state.animationIndex, 0);
    EXPECT_EQ(lastSwitch, 71500u);

    // Eight draws in ten keep the animation; across the tick count's wrap the time still counts.
    lastSwitch = 0xFFFFF000u;
    const AnimationCatalog single = CatalogOf({1, 1});
    AdvanceAnimation(state, lastSwitch, single, 0x00010000u, [] { return 7; });
    EXPECT_EQ(state.animationIndex, 0);
    EXPECT_EQ(lastSwitch, 0x00010000u);
}

TEST(AdvanceAnimation, AnEmptyCatalogueShowsNoFrameAndNeverDivides)
{
    const AnimationCatalog empty;
    EXPECT_EQ(empty.AnimationFromRandom(12345), 0);
    AnimationState state;
    uint32_t lastSwitch = 0;
    AdvanceAnimation(state, lastSwitch, empty, 50000, [] { return 1; });
    EXPECT_EQ(state.frameIndex, -1);
}

}  // namespace
