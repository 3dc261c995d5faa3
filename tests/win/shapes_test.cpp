// The shipped images and the window shapes cut from them, as the window system sees them.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "character/animation_catalog.h"
#include "character/shapes_win.h"

namespace {

// The square minus each key pixel, read and cut one at a time: slow, and independent of the code under test.
Region ExpectedShape(HBITMAP bitmap)
{
    const SIZE size = BitmapSize(bitmap);
    MemoryDC dc(nullptr);
    SelectGuard select(dc.Get(), bitmap);
    Region shape(CreateRectRgn(0, 0, kShapeSquareSize, kShapeSquareSize));
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x)
            if ((GetPixel(dc.Get(), x, y) & 0xFFFFFF) == RGB(0, 255, 0))
                CombineRgn(shape.Get(), shape.Get(), Region(CreateRectRgn(x, y, x + 1, y + 1)).Get(), RGN_DIFF);
    return shape;
}

bool HasShape(HWND window, const Region& expected)
{
    Region shape(CreateRectRgn(0, 0, 0, 0));
    return GetWindowRgn(window, shape.Get()) != ERROR && EqualRgn(shape.Get(), expected.Get());
}

// Switching frames replaces the shape and keeps the cache; at 192 dpi each pixel of the art becomes four.
TEST(ShippedImages, WindowsAreTheSquareMinusTheGreenPixelsAtEitherScale)
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

    const HBITMAP shipped[] = {CurrentFrameBitmap(art, 0), CurrentFrameBitmap(art, 1), art.envelope.bitmap.Get()};
    std::vector<Bitmap> originals;
    for (HBITMAP bitmap : shipped)
        originals.emplace_back(static_cast<HBITMAP>(CopyImage(bitmap, IMAGE_BITMAP, 0, 0, 0)));
    ASSERT_TRUE(ScaleArtwork(art, 2));
    EXPECT_FALSE(ScaleArtwork(art, 2)) << "nothing to do at the same scale";
    const HBITMAP scaled[] = {CurrentFrameBitmap(art, 0), CurrentFrameBitmap(art, 1), art.envelope.bitmap.Get()};
    for (int i = 0; i < 3; ++i) {
        const SIZE small = BitmapSize(originals[i].Get()), large = BitmapSize(scaled[i]);
        ASSERT_TRUE(large.cx == 2 * small.cx && large.cy == 2 * small.cy) << "image " << i;
        const Region expected = ExpectedShape(scaled[i]);  // before the bitmap goes into a second context
        ApplyWindowShape(window, i < 2 ? CurrentFrameKeyRegion(art, i) : art.envelope.keyRegion.Get());
        MemoryDC smallDc(nullptr), largeDc(nullptr);
        SelectGuard selectSmall(smallDc.Get(), originals[i].Get()), selectLarge(largeDc.Get(), scaled[i]);
        int different = 0;
        for (int y = 0; y < large.cy; ++y)
            for (int x = 0; x < large.cx; ++x)
                different += GetPixel(largeDc.Get(), x, y) != GetPixel(smallDc.Get(), x / 2, y / 2);
        EXPECT_TRUE(different == 0 && HasShape(window, expected)) << "image " << i << ": " << different << " differ";
    }
    const SIZE fallback = CurrentFrameSize(art, 2);
    EXPECT_TRUE(art.envelope.size.cx == 52 && art.envelope.size.cy == 42 && art.envelope.scale == 2 &&
                fallback.cx == 66 && fallback.cy == 82) << fallback.cx << "x" << fallback.cy;
    DestroyWindow(window);
}

}  // namespace
