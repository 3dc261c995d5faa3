// The animation catalogue and the key-colour runs that windows are cut from.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "character/animation_catalog.h"
#include "character/key_region.h"

namespace {

TEST(KeyRuns, OneStripPerMaximalRunOfExactGreenInEachColumn)
{
    // Columns: all key; split by green 254; a run to the bottom; a top run apart (red 1 is no key).
    PixelImage image{4, 5, {}};
    for (char c : std::string("##.#" "#g.#" "###r" "#.#." "#.#."))
        image.pixels.push_back(c == '#' ? 0x00FF00 : c == 'g' ? 0x00FE00 : c == 'r' ? 0x01FF00 : 0x382228);
    EXPECT_EQ(KeyRuns(image), (std::vector<KeyRect>{{0, 0, 1, 5}, {1, 0, 2, 1}, {1, 2, 2, 3}, {2, 2, 3, 5},
                                                    {3, 0, 4, 2}}));
    image.pixels.pop_back();  // fewer pixels than the size says: refused, not overrun
    EXPECT_TRUE(KeyRuns(image).empty());
}

TEST(ArtScale, WholeStepsForTheScreensDensityNeverBelowOne)
{
    const int cases[][2] = {{0, 1}, {96, 1}, {120, 1}, {143, 1}, {144, 2}, {192, 2}, {288, 3}, {100000, 8}};
    for (const auto& c : cases)
        EXPECT_EQ(ArtScaleForDpi(c[0]), c[1]) << c[0] << " dpi";
}

TEST(AnimationCatalog, FramesAreNumberedUntilTheFirstMissingOneAndContinueAcrossAnimations)
{
    std::vector<std::string> asked;
    const std::set<std::string> present = {"RASE_000", "RASE_001", "RASE_003", "WAVE_000", "WAVE_001", "WAVE_002"};
    const BitmapExists exists = [&](const std::string& name) {
        asked.push_back(name);
        return present.count(name) > 0;
    };
    AnimationCatalog catalog;
    catalog.AppendAnimation("RASE_", exists);
    // Frame 003 lies beyond the gap and is never even looked up.
    EXPECT_EQ(asked, (std::vector<std::string>{"RASE_000", "RASE_001", "RASE_002"}));
    catalog.AppendAnimation("NONE_", [](const std::string&) { return false; });
    catalog.AppendAnimation("WAVE_", exists);
    EXPECT_EQ(catalog.firstFrame, (std::vector<std::uint32_t>{0, 2, 2}));
    EXPECT_EQ(catalog.frameCount, (std::vector<std::uint32_t>{2, 0, 3}));
    EXPECT_TRUE(catalog.FrameIndexOf(2, 2) == 4 && catalog.FrameIndexOf(3, 0) == -1);

    // Two frames alternate, a counter beyond the end wraps, no frames steps in place.
    std::uint32_t counter = 0;
    EXPECT_FALSE(catalog.StepFrame(0, counter));
    EXPECT_TRUE(catalog.StepFrame(0, counter) && counter == 0u);
    counter = 7;
    EXPECT_TRUE(catalog.StepFrame(0, counter) && counter == 0u);
    EXPECT_TRUE(catalog.StepFrame(1, counter) && counter == 0u);
    // A probe that always says yes still ends.
    catalog.AppendAnimation("X", [](const std::string&) { return true; });
    EXPECT_GT(catalog.frameCount.at(3), 1000u);
}

}  // namespace
