// The character's pulse, glide and animation, with the numbers a user would see.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "character/animation_catalog.h"
#include "character/character_motion.h"

namespace {

// A catalogue whose animations have the given numbers of frames.
AnimationCatalog CatalogOf(const std::vector<int>& frameCounts)
{
    AnimationCatalog catalog;
    for (size_t a = 0; a < frameCounts.size(); ++a) {
        const std::string prefix = "A" + std::to_string(a) + "_";
        const int count = frameCounts[a];
        catalog.AppendAnimation(prefix, [&](const std::string& name) {
            for (int i = 0; i < count; ++i)
                if (name == FrameName(prefix, i))
                    return true;
            return false;
        });
    }
    return catalog;
}

// Plays `ticks` steps of 500 ms each, starting at `start`; returns the frame indices shown.
std::vector<int> Play(AnimationState& state, uint32_t& lastSwitch, const AnimationCatalog& catalog, int ticks,
                      uint32_t start, const std::function<int()>& random)
{
    std::vector<int> shown;
    for (int i = 0; i < ticks; ++i) {
        AdvanceAnimation(state, lastSwitch, catalog, start + 500u * static_cast<uint32_t>(i), random);
        shown.push_back(state.frameIndex);
    }
    return shown;
}

}  // namespace

TEST(PulseAlpha, IsATriangleWaveOfPeriod512Hundredths)
{
    const struct {
        uint32_t tick;
        int alpha;
    } samples[] = {{0, 0}, {1000, 100}, {2550, 255}, {2560, 255}, {2570, 255},
                   {2580, 254}, {5110, 1}, {5120, 0}, {5125, 0}, {5130, 1}};
    for (const auto& s : samples)
        EXPECT_EQ(PulseAlphaAt(s.tick, 0), s.alpha) << "tick " << s.tick;
}

TEST(PulseAlpha, PhaseShiftsTheWaveAndWrapsAroundTheTickCount)
{
    EXPECT_EQ(PulseAlphaAt(10, 511), 0);  // (1 + 511) mod 512
    EXPECT_EQ(PulseAlphaAt(0, 300), 212);
    EXPECT_EQ(PulseAlphaAt(1000, 200), PulseAlphaAt(3000, 0));
}

TEST(FollowTarget, WithoutMailKeeps56PixelsOffTowardTheMiddle)
{
    const MotionRect desktop{0, 0, 1024, 768};
    auto at = [&](int32_t x, int32_t y) { return FollowTarget({x, y}, false, desktop); };
    EXPECT_EQ(at(100, 700).x, 156);
    EXPECT_EQ(at(100, 700).y, 644);
    // The middle lines count as the right and lower halves.
    EXPECT_EQ(at(512, 384).x, 456);
    EXPECT_EQ(at(512, 384).y, 328);
    EXPECT_EQ(at(511, 383).x, 567);
    EXPECT_EQ(at(511, 383).y, 439);
}

TEST(FollowTarget, WithMailSitsTenPixelsAboveAndLeftOfTheCursor)
{
    const MotionPoint target = FollowTarget({300, 200}, true, MotionRect{0, 0, 1024, 768});
    EXPECT_EQ(target.x, 290);
    EXPECT_EQ(target.y, 190);
}

TEST(EaseToward, CoversAnEighthPerStepAndRestsShortWhenGrowing)
{
    std::vector<int32_t> path;
    int32_t x = 0;
    for (int i = 0; i < 60; ++i) {
        x = EaseToward(80, x);
        path.push_back(x);
    }
    EXPECT_EQ(std::vector<int32_t>(path.begin(), path.begin() + 4), (std::vector<int32_t>{10, 18, 25, 31}));
    EXPECT_EQ(path.back(), 73);
    EXPECT_EQ(EaseToward(80, 73), 73);

    int32_t y = 200;
    for (int i = 0; i < 60; ++i)
        y = EaseToward(80, y);
    EXPECT_EQ(y, 80);
}

TEST(EaseToward, HandlesNegativeAndHugeCoordinates)
{
    // Truncation toward zero: below zero, a corner moving toward larger values reaches the
    // target and one moving toward smaller values stops short.
    int32_t x = -200;
    for (int i = 0; i < 60; ++i)
        x = EaseToward(-80, x);
    EXPECT_EQ(x, -80);
    int32_t y = 0;
    for (int i = 0; i < 60; ++i)
        y = EaseToward(-80, y);
    EXPECT_EQ(y, -73);
    // No overflow with coordinates far off screen.
    EXPECT_EQ(EaseToward(INT32_MAX, INT32_MAX), INT32_MAX);
    EXPECT_EQ(EaseToward(INT32_MIN, INT32_MIN), INT32_MIN);
    const MotionPoint p = EaseToward(MotionPoint{80, -80}, MotionPoint{0, 0});
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, -10);
}

TEST(AdvanceAnimation, TwoFramesAlternate)
{
    const AnimationCatalog catalog = CatalogOf({2});
    AnimationState state;
    uint32_t lastSwitch = 0;
    const std::vector<int> shown = Play(state, lastSwitch, catalog, 6, 100000, [] { return 0; });
    EXPECT_EQ(shown, (std::vector<int>{1, 0, 1, 0, 1, 0}));
    EXPECT_EQ(state.animationIndex, 0);  // with one animation, every switch leads back to it
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
    // Cycle ends at 40000 (more than 30 s after 0): switch to animation 1, at its first frame.
    AdvanceAnimation(state, lastSwitch, catalog, 39500, alwaysSwitch);
    EXPECT_EQ(state.frameIndex, 1);
    AdvanceAnimation(state, lastSwitch, catalog, 40000, alwaysSwitch);
    EXPECT_EQ(state.animationIndex, 1);
    EXPECT_EQ(state.frameCounter, 0u);
    EXPECT_EQ(state.frameIndex, 2);
    EXPECT_EQ(lastSwitch, 40000u);
    EXPECT_EQ(draws, 1);

    // Cycles completed within 30 s of that chance never switch and draw nothing.
    const std::vector<int> shown = Play(state, lastSwitch, catalog, 64, 40500, alwaysSwitch);
    EXPECT_EQ(std::vector<int>(shown.begin(), shown.begin() + 6), (std::vector<int>{3, 4, 2, 3, 4, 2}));
    EXPECT_EQ(draws, 2);  // the next chance: the first cycle end more than 30 s on, 71500
    EXPECT_EQ(state.animationIndex, 0);  // after the last animation comes the first
}

TEST(AdvanceAnimation, EightOfTenDrawsKeepTheAnimationButRestartTheClock)
{
    const AnimationCatalog catalog = CatalogOf({1, 1});
    AnimationState state;
    uint32_t lastSwitch = 0;
    AdvanceAnimation(state, lastSwitch, catalog, 31000, [] { return 7; });
    EXPECT_EQ(state.animationIndex, 0);
    EXPECT_EQ(lastSwitch, 31000u);
    // The tick count wraps: the difference is still taken modulo 2^32.
    lastSwitch = 0xFFFFF000u;
    AdvanceAnimation(state, lastSwitch, catalog, 0x00001000u, [] { return 0; });
    EXPECT_EQ(state.animationIndex, 0);
    AdvanceAnimation(state, lastSwitch, catalog, 0x00010000u, [] { return 10; });
    EXPECT_EQ(state.animationIndex, 1);
}

TEST(AdvanceAnimation, AnEmptyCatalogueShowsNoFrameAndNeverDivides)
{
    const AnimationCatalog empty;
    AnimationState state;
    uint32_t lastSwitch = 0;
    const std::vector<int> shown = Play(state, lastSwitch, empty, 3, 50000, [] { return 1; });
    for (int index : shown)
        EXPECT_EQ(index, -1);
    EXPECT_EQ(state.animationIndex, 0);
}
