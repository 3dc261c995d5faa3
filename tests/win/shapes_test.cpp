// The shipped images and the window shapes cut from them, as the window system sees them.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "character/animation_catalog.h"
#include "character/shapes_win.h"

namespace {

// The shape a window must have for this bitmap: the square minus each key pixel, read one
// GetPixel at a time and cut one pixel at a time: slow, and independent of the code under test.
Region ExpectedShape(HBITMAP bitmap)
{
    const SIZE size = BitmapSize(bitmap);
    MemoryDC dc(nullptr);
    SelectGuard select(dc.Get(), bitmap);
    Region shape(CreateRectRgn(0, 0, kShapeSquareSize, kShapeSquareSize));
    for (int y = 0; y < size.cy; ++y) {
        for (int x = 0; x < size.cx; ++x) {
            if ((GetPixel(dc.Get(), x, y) & 0xFFFFFF) == RGB(0, 255, 0)) {
                Region pixel(CreateRectRgn(x, y, x + 1, y + 1));
                CombineRgn(shape.Get(), shape.Get(), pixel.Get(), RGN_DIFF);
            }
        }
    }
    return shape;
}

bool HasShape(HWND window, const Region& expected)
{
    Region shape(CreateRectRgn(0, 0, 0, 0));
    return GetWindowRgn(window, shape.Get()) != ERROR && EqualRgn(shape.Get(), expected.Get());
}

TEST(ShippedImages, WindowsAreTheSquareMinusExactlyTheGreenPixelsAndTheCacheStaysIntact)
{
    Artwork art;
    animationCatalog = AnimationCatalog{};
    LoadAnimationCatalog();
    LoadFrameImages(art);
    ComputeKeyRegions(art);
    ASSERT_EQ(art.frameRegions.size(), 2u);
    const HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    const Region before(CreateRectRgn(0, 0, 0, 0));
    CombineRgn(before.Get(), CurrentFrameKeyRegion(art, 0), nullptr, RGN_COPY);
    // Switching frames replaces the shape rather than accumulating cuts.
    for (int frame : {0, 1, 0}) {
        ApplyWindowShape(window, CurrentFrameKeyRegion(art, frame));
        EXPECT_TRUE(HasShape(window, ExpectedShape(CurrentFrameBitmap(art, frame)))) << "frame " << frame;
    }
    EXPECT_TRUE(EqualRgn(CurrentFrameKeyRegion(art, 0), before.Get()));
    ApplyWindowShape(window, art.envelope.keyRegion.Get());
    EXPECT_TRUE(HasShape(window, ExpectedShape(art.envelope.bitmap.Get())));
    // No key region, or an index that names no frame: the whole square.
    EXPECT_EQ(CurrentFrameKeyRegion(art, 2), nullptr);
    ApplyWindowShape(window, nullptr);
    EXPECT_TRUE(HasShape(window, Region(CreateRectRgn(0, 0, kShapeSquareSize, kShapeSquareSize))));
    DestroyWindow(window);
}

// On a 192-dpi screen every pixel of the art is a square of four, with the same colour, and the
// window shapes are cut from the enlarged images.
TEST(ShippedImages, AtTwiceTheSizeEachPixelIsRepeatedAndTheShapesFollow)
{
    Artwork art;
    animationCatalog = AnimationCatalog{};
    LoadAnimationCatalog();
    LoadFrameImages(art);
    ComputeKeyRegions(art);
    const HBITMAP shipped[] = {CurrentFrameBitmap(art, 0), CurrentFrameBitmap(art, 1), art.envelope.bitmap.Get()};
    std::vector<Bitmap> originals;
    for (HBITMAP bitmap : shipped)
        originals.emplace_back(static_cast<HBITMAP>(CopyImage(bitmap, IMAGE_BITMAP, 0, 0, 0)));
    ASSERT_EQ(ArtScaleForDpi(192), 2);
    ASSERT_TRUE(ScaleArtwork(art, 2));
    EXPECT_FALSE(ScaleArtwork(art, 2)) << "nothing to do at the same scale";

    const HBITMAP scaled[] = {CurrentFrameBitmap(art, 0), CurrentFrameBitmap(art, 1), art.envelope.bitmap.Get()};
    const HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    for (int i = 0; i < 3; ++i) {
        const SIZE before = BitmapSize(originals[i].Get()), after = BitmapSize(scaled[i]);
        ASSERT_TRUE(after.cx == 2 * before.cx && after.cy == 2 * before.cy) << "image " << i;
        {
            MemoryDC small(nullptr), large(nullptr);
            SelectGuard selectSmall(small.Get(), originals[i].Get()), selectLarge(large.Get(), scaled[i]);
            int different = 0;
            for (int y = 0; y < after.cy; ++y)
                for (int x = 0; x < after.cx; ++x)
                    different += GetPixel(large.Get(), x, y) != GetPixel(small.Get(), x / 2, y / 2);
            EXPECT_EQ(different, 0) << "image " << i;
        }  // a bitmap is selected into one context at a time
        ApplyWindowShape(window, i < 2 ? CurrentFrameKeyRegion(art, i) : art.envelope.keyRegion.Get());
        EXPECT_TRUE(HasShape(window, ExpectedShape(scaled[i]))) << "image " << i;
    }
    EXPECT_TRUE(art.envelope.size.cx == 52 && art.envelope.size.cy == 42 && art.envelope.scale == 2);
    const SIZE fallback = CurrentFrameSize(art, 2);
    EXPECT_TRUE(fallback.cx == 66 && fallback.cy == 82);
    DestroyWindow(window);
}

}  // namespace
