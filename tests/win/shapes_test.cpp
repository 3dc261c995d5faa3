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

class ShippedImages : public ::testing::Test {
protected:
    void SetUp() override
    {
        animationCatalog = AnimationCatalog{};
        LoadAnimationCatalog();
        LoadFrameImages(art);
        ComputeKeyRegions(art);
        window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 100, 120, 200, 50, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    }
    void TearDown() override { DestroyWindow(window); }
    Artwork art;
    HWND window = nullptr;
};

TEST_F(ShippedImages, OneAnimationOfTwoFramesAndAnEnvelopeOfItsOwnSize)
{
    EXPECT_EQ(animationCatalog.frameCount, std::vector<std::uint32_t>{2});
    ASSERT_EQ(art.frameRegions.size(), 2u);
    EXPECT_EQ(CurrentFrameSize(art, 1).cx, 33);
    EXPECT_EQ(CurrentFrameSize(art, 1).cy, 41);
    EXPECT_EQ(art.envelope.size.cx, 26);
    EXPECT_EQ(art.envelope.size.cy, 21);
    EXPECT_NE(art.envelopeIcon, nullptr);
    // An index that names no frame finds nothing and falls back to the frames' size.
    EXPECT_EQ(CurrentFrameKeyRegion(art, 2), nullptr);
    EXPECT_EQ(CurrentFrameSize(art, -1).cx, kFallbackFrameSize.cx);
}

TEST_F(ShippedImages, WindowsAreTheSquareMinusExactlyTheGreenPixelsAndTheCacheStaysIntact)
{
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
    // No key region: the whole square.
    ApplyWindowShape(window, nullptr);
    EXPECT_TRUE(HasShape(window, Region(CreateRectRgn(0, 0, kShapeSquareSize, kShapeSquareSize))));
}

TEST_F(ShippedImages, DrawingResizesWithoutMovingAndCopiesTheBitmap)
{
    WindowDC screen(nullptr);
    MemoryDC target(screen.Get());
    Bitmap canvas(CreateCompatibleBitmap(screen.Get(), 64, 64));
    SelectGuard select(target.Get(), canvas.Get());
    DrawCurrentFrame(art, window, target.Get(), 0);
    RECT rect{};
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.top, 120);
    EXPECT_EQ(rect.right - rect.left, 33);
    EXPECT_EQ(rect.bottom - rect.top, 41);
    MemoryDC source(screen.Get());
    SelectGuard frame(source.Get(), CurrentFrameBitmap(art, 0));
    for (POINT p : {POINT{0, 0}, POINT{16, 20}, POINT{32, 40}, POINT{10, 30}})
        EXPECT_EQ(GetPixel(target.Get(), p.x, p.y), GetPixel(source.Get(), p.x, p.y)) << p.x << "," << p.y;
}

}  // namespace
