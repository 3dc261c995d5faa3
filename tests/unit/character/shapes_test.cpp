// The animation catalogue and the key-colour runs that windows are cut from.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "character/animation_catalog.h"
#include "character/key_region.h"

namespace {

constexpr std::uint32_t kKey = 0x0000FF00;
constexpr std::uint32_t kInk = 0x00382228;  // the outline colour of the artwork

// An image drawn as text: '#' is a key pixel, anything else is ink.
PixelImage ImageOf(const std::vector<std::string>& rows)
{
    PixelImage image;
    image.height = static_cast<int>(rows.size());
    image.width = static_cast<int>(rows.front().size());
    for (const std::string& row : rows)
        for (char c : row)
            image.pixels.push_back(c == '#' ? kKey : kInk);
    return image;
}

TEST(KeyRuns, OneStripPerMaximalRunInEachColumn)
{
    // Column 0: all key. Column 1: two runs split by one pixel. Column 2: a run reaching the
    // bottom, which must end with its column. Column 3: a run starting on the top row, which
    // must not be joined to the run above it in column 2.
    const PixelImage image = ImageOf({
        "##.#",
        "#..#",
        "###.",
        "#.#.",
        "#.#.",
    });
    const std::vector<KeyRect> expected = {
        {0, 0, 1, 5},
        {1, 0, 2, 1},
        {1, 2, 2, 3},
        {2, 2, 3, 5},
        {3, 0, 4, 2},
    };
    EXPECT_EQ(KeyRuns(image), expected);
}

TEST(KeyRuns, OnlyExactPureGreenIsKey)
{
    EXPECT_TRUE(IsKeyColour(0x0000FF00));
    EXPECT_TRUE(IsKeyColour(0xFF00FF00));  // the byte above the colour is ignored
    EXPECT_FALSE(IsKeyColour(0x0000FE00));  // green 254
    EXPECT_FALSE(IsKeyColour(0x0001FF00));  // green 255 with red (or blue) 1
    EXPECT_FALSE(IsKeyColour(0x0000FF01));
    EXPECT_FALSE(IsKeyColour(0x00FFFFFF));

    // Near-greens among key pixels stay visible: the column breaks into two runs around them.
    PixelImage image;
    image.width = 1;
    image.height = 4;
    image.pixels = {kKey, 0x0000FE00, 0x0001FF00, kKey};
    EXPECT_EQ(KeyRuns(image), (std::vector<KeyRect>{{0, 0, 1, 1}, {0, 3, 1, 4}}));
}

TEST(KeyRuns, NoKeyPixelOrNoImageGivesNoRuns)
{
    EXPECT_TRUE(KeyRuns(ImageOf({"...", "..."})).empty());
    EXPECT_TRUE(KeyRuns(PixelImage{}).empty());
    PixelImage truncated = ImageOf({"##", "##"});
    truncated.pixels.pop_back();  // fewer pixels than the size says: refused, not overrun
    EXPECT_TRUE(KeyRuns(truncated).empty());
}

TEST(KeyRuns, CoverExactlyTheKeyPixelsWithDisjointMaximalStrips)
{
    // A scattered image from a fixed-seed generator: the strips must cover every key pixel,
    // no other pixel, none twice, and no two strips of one column may touch.
    PixelImage image;
    image.width = 37;
    image.height = 53;
    std::uint32_t seed = 12345;
    for (int i = 0; i < image.width * image.height; ++i) {
        seed = seed * 1103515245u + 12345u;
        image.pixels.push_back((seed >> 16) % 3 == 0 ? kInk : kKey);
    }
    std::set<std::pair<int, int>> covered;
    const std::vector<KeyRect> runs = KeyRuns(image);
    for (size_t i = 0; i < runs.size(); ++i) {
        const KeyRect& run = runs[i];
        ASSERT_EQ(run.right, run.left + 1);
        ASSERT_LT(run.top, run.bottom);
        for (int y = run.top; y < run.bottom; ++y) {
            ASSERT_TRUE(covered.insert({run.left, y}).second) << "pixel covered twice";
        }
        if (i > 0 && runs[i - 1].left == run.left) {
            EXPECT_LT(runs[i - 1].bottom, run.top) << "adjacent runs not merged";
        }
    }
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            EXPECT_EQ(covered.count({x, y}) == 1, IsKeyColour(image.At(x, y))) << x << "," << y;
        }
    }
}

// A probe answering yes for the names in `present`, recording every name it was asked.
struct Probe {
    std::set<std::string> present;
    std::vector<std::string> asked;
    BitmapExists Function()
    {
        return [this](const std::string& name) {
            asked.push_back(name);
            return present.count(name) > 0;
        };
    }
};

TEST(AnimationCatalog, FramesAreNumberedUntilTheFirstMissingOne)
{
    Probe probe{{"RASE_FRAME_000", "RASE_FRAME_001", "RASE_FRAME_003"}, {}};
    AnimationCatalog catalog;
    catalog.AppendAnimation("RASE_FRAME_", probe.Function());
    EXPECT_EQ(catalog.frameNames, (std::vector<std::string>{"RASE_FRAME_000", "RASE_FRAME_001"}));
    EXPECT_EQ(catalog.firstFrame, std::vector<std::uint32_t>{0});
    EXPECT_EQ(catalog.frameCount, std::vector<std::uint32_t>{2});
    // Frame 003 lies beyond the gap and is never even looked up.
    EXPECT_EQ(probe.asked, (std::vector<std::string>{"RASE_FRAME_000", "RASE_FRAME_001", "RASE_FRAME_002"}));
    EXPECT_EQ(catalog.AnimationCount(), 1);
    EXPECT_EQ(catalog.FrameIndexOf(0, 1), 1);

    // A further animation continues the frame indices where the first one ended.
    Probe second{{"WAVE_000", "WAVE_001", "WAVE_002"}, {}};
    catalog.AppendAnimation("WAVE_", second.Function());
    EXPECT_EQ(catalog.firstFrame, (std::vector<std::uint32_t>{0, 2}));
    EXPECT_EQ(catalog.frameCount, (std::vector<std::uint32_t>{2, 3}));
    EXPECT_EQ(catalog.frameNames.at(4), "WAVE_002");
    EXPECT_EQ(catalog.FrameIndexOf(1, 2), 4);
}

TEST(AnimationCatalog, NamesHaveAtLeastThreeDigits)
{
    EXPECT_EQ(FrameName("RASE_FRAME_", 7), "RASE_FRAME_007");
    EXPECT_EQ(FrameName("P", 42), "P042");
    EXPECT_EQ(FrameName("P", 1234), "P1234");
    EXPECT_EQ(FrameName("", 0), "000");
}

TEST(AnimationCatalog, StepFrameWrapsAtTheEndOfTheAnimation)
{
    Probe probe{{"A000", "A001"}, {}};
    AnimationCatalog catalog;
    catalog.AppendAnimation("A", probe.Function());
    std::uint32_t counter = 0;
    std::vector<std::pair<bool, std::uint32_t>> steps;
    for (int i = 0; i < 4; ++i) {
        const bool cycle = catalog.StepFrame(0, counter);
        steps.push_back({cycle, counter});
    }
    EXPECT_EQ(steps, (std::vector<std::pair<bool, std::uint32_t>>{{false, 1}, {true, 0}, {false, 1}, {true, 0}}));

    // A counter left beyond the end (unsigned compare) wraps at once.
    counter = 7;
    EXPECT_TRUE(catalog.StepFrame(0, counter));
    EXPECT_EQ(counter, 0u);
}

TEST(AnimationCatalog, WithoutAnyFrameNothingBreaks)
{
    Probe nothing;
    AnimationCatalog catalog;
    catalog.AppendAnimation("RASE_FRAME_", nothing.Function());
    EXPECT_TRUE(catalog.frameNames.empty());
    EXPECT_EQ(catalog.frameCount, std::vector<std::uint32_t>{0});
    // The animation exists but is empty: every step completes a cycle and the counter stays 0.
    EXPECT_EQ(catalog.AnimationCount(), 1);
    std::uint32_t counter = 0;
    EXPECT_TRUE(catalog.StepFrame(0, counter));
    EXPECT_EQ(counter, 0u);
    // Frame index 0 then names no loaded frame; the frame lookups answer "none".
    EXPECT_EQ(catalog.FrameIndexOf(0, counter), 0);

    // With no animation at all (catalogue never loaded) choosing one does not divide by zero,
    // and an unknown animation steps like an empty one and names no frame.
    const AnimationCatalog empty;
    EXPECT_EQ(empty.AnimationCount(), 0);
    EXPECT_EQ(empty.AnimationFromRandom(12345), 0);
    counter = 3;
    EXPECT_TRUE(empty.StepFrame(0, counter));
    EXPECT_EQ(counter, 0u);
    EXPECT_EQ(empty.FrameIndexOf(0, 0), -1);
    EXPECT_EQ(catalog.FrameIndexOf(-1, 0), -1);
    EXPECT_EQ(catalog.FrameIndexOf(1, 0), -1);
}

TEST(AnimationCatalog, RandomChoiceCoversEveryAnimation)
{
    AnimationCatalog catalog;
    for (const char* prefix : {"A", "B", "C"}) {
        Probe probe{{std::string(prefix) + "000"}, {}};
        catalog.AppendAnimation(prefix, probe.Function());
    }
    std::set<int> chosen;
    for (int random = 0; random < 10; ++random)
        chosen.insert(catalog.AnimationFromRandom(random));
    EXPECT_EQ(chosen, (std::set<int>{0, 1, 2}));
}

TEST(AnimationCatalog, AProbeThatAlwaysSaysYesStillEnds)
{
    AnimationCatalog catalog;
    catalog.AppendAnimation("X", [](const std::string&) { return true; });
    EXPECT_EQ(catalog.frameCount.size(), 1u);
    EXPECT_GT(catalog.frameCount[0], 1000u);
    EXPECT_EQ(catalog.frameNames.size(), catalog.frameCount[0]);
}

}  // namespace
