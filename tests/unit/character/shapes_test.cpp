// The animation catalogue and the key-colour runs that windows are cut from.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "character/animation_catalog.h"
#include "character/key_region.h"

namespace {

constexpr std::uint32_t kKey = 0x0000FF00;
constexpr std::uint32_t kInk = 0x00382228;

TEST(KeyRuns, OneStripPerMaximalRunOfExactGreenInEachColumn)
{
    // Column 0: all key. Column 1: two runs split by a green of 254 (not key). Column 2: a run
    // reaching the bottom, which ends with its column. Column 3: a run on the top row, not
    // joined to the one in column 2; green with red 1 is not key either.
    const std::vector<std::string> rows = {"##.#", "#g.#", "###r", "#.#.", "#.#."};
    PixelImage image;
    image.height = static_cast<int>(rows.size());
    image.width = 4;
    for (const std::string& row : rows)
        for (char c : row)
            image.pixels.push_back(c == '#' ? kKey : c == 'g' ? 0x0000FE00 : c == 'r' ? 0x0001FF00 : kInk);
    EXPECT_EQ(KeyRuns(image), (std::vector<KeyRect>{{0, 0, 1, 5}, {1, 0, 2, 1}, {1, 2, 2, 3}, {2, 2, 3, 5},
                                                    {3, 0, 4, 2}}));
    image.pixels.pop_back();  // fewer pixels than the size says: refused, not overrun
    EXPECT_TRUE(KeyRuns(image).empty());
    EXPECT_TRUE(KeyRuns(PixelImage{}).empty());
}

TEST(AnimationCatalog, FramesAreNumberedUntilTheFirstMissingOneAndContinueAcrossAnimations)
{
    std::vector<std::string> asked;
    const std::set<std::string> present = {"RASE_FRAME_000", "RASE_FRAME_001", "RASE_FRAME_003", "WAVE_000",
                                            "WAVE_001", "WAVE_002"};
    const BitmapExists exists = [&](const std::string& name) {
        asked.push_back(name);
        return present.count(name) > 0;
    };
    AnimationCatalog catalog;
    catalog.AppendAnimation("RASE_FRAME_", exists);
    // Frame 003 lies beyond the gap and is never even looked up.
    EXPECT_EQ(asked, (std::vector<std::string>{"RASE_FRAME_000", "RASE_FRAME_001", "RASE_FRAME_002"}));
    catalog.AppendAnimation("WAVE_", exists);
    EXPECT_EQ(catalog.firstFrame, (std::vector<std::uint32_t>{0, 2}));
    EXPECT_EQ(catalog.frameCount, (std::vector<std::uint32_t>{2, 3}));
    EXPECT_EQ(catalog.frameNames.at(4), "WAVE_002");
    EXPECT_EQ(catalog.FrameIndexOf(1, 2), 4);
    EXPECT_EQ(catalog.FrameIndexOf(2, 0), -1);
    EXPECT_EQ(FrameName("P", 1234), "P1234");

    // Two frames alternate, and a counter left beyond the end (unsigned compare) wraps at once.
    std::uint32_t counter = 0;
    EXPECT_FALSE(catalog.StepFrame(0, counter));
    EXPECT_TRUE(catalog.StepFrame(0, counter));
    EXPECT_EQ(counter, 0u);
    counter = 7;
    EXPECT_TRUE(catalog.StepFrame(0, counter));
    EXPECT_EQ(counter, 0u);
}

TEST(AnimationCatalog, AnAnimationWithoutFramesStepsInPlaceAndAProbeThatAlwaysSaysYesStillEnds)
{
    AnimationCatalog catalog;
    catalog.AppendAnimation("NONE_", [](const std::string&) { return false; });
    EXPECT_EQ(catalog.frameCount, std::vector<std::uint32_t>{0});
    std::uint32_t counter = 0;
    EXPECT_TRUE(catalog.StepFrame(0, counter));
    EXPECT_EQ(counter, 0u);
    catalog.AppendAnimation("X", [](const std::string&) { return true; });
    EXPECT_GT(catalog.frameCount.at(1), 1000u);
}

}  // namespace
