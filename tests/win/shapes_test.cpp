// The shipped resources, and the window shapes and drawing built from them, as the window
// system sees them.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "app/mail_check_app_win.h"
#include "character/animation_catalog.h"
#include "character/command_ids.h"
#include "character/shapes_win.h"
#include "resource.h"

namespace {

constexpr COLORREF kKey = RGB(0, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);

HINSTANCE Module()
{
    return GetModuleHandleW(nullptr);
}

// A hidden popup window, destroyed with the object.
class TestWindow {
public:
    TestWindow(int x, int y, int width, int height)
        : window(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, x, y, width, height, nullptr, nullptr, Module(),
                                 nullptr))
    {
    }
    ~TestWindow() { DestroyWindow(window); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND Get() const { return window; }
    RECT Rect() const
    {
        RECT rect{};
        GetWindowRect(window, &rect);
        return rect;
    }

private:
    HWND window;
};

// A bitmap's pixels read one by one: the slow, independent reference for the key regions.
std::vector<std::vector<COLORREF>> PixelsOf(HBITMAP bitmap)
{
    const SIZE size = BitmapSize(bitmap);
    MemoryDC dc(nullptr);
    SelectGuard select(dc.Get(), bitmap);
    std::vector<std::vector<COLORREF>> rows(size.cy, std::vector<COLORREF>(size.cx));
    for (int y = 0; y < size.cy; ++y)
        for (int x = 0; x < size.cx; ++x)
            rows[y][x] = GetPixel(dc.Get(), x, y) & 0x00FFFFFF;
    return rows;
}

// The shape a window must have for this bitmap: the square minus each key pixel, built one
// pixel at a time.
Region ExpectedShape(HBITMAP bitmap)
{
    Region shape(CreateRectRgn(0, 0, kShapeSquareSize, kShapeSquareSize));
    const auto pixels = PixelsOf(bitmap);
    for (int y = 0; y < static_cast<int>(pixels.size()); ++y) {
        for (int x = 0; x < static_cast<int>(pixels[y].size()); ++x) {
            if (pixels[y][x] == kKey) {
                Region pixel(CreateRectRgn(x, y, x + 1, y + 1));
                CombineRgn(shape.Get(), shape.Get(), pixel.Get(), RGN_DIFF);
            }
        }
    }
    return shape;
}

Region WindowShape(HWND window)
{
    Region shape(CreateRectRgn(0, 0, 0, 0));
    EXPECT_NE(GetWindowRgn(window, shape.Get()), ERROR);
    return shape;
}

Region CopyOf(HRGN region)
{
    Region copy(CreateRectRgn(0, 0, 0, 0));
    CombineRgn(copy.Get(), region, nullptr, RGN_COPY);
    return copy;
}

// The start-up image work, on a fresh catalogue and application object.
class ShippedImages : public ::testing::Test {
protected:
    void SetUp() override
    {
        animationCatalog = AnimationCatalog{};
        LoadAnimationCatalog();
        LoadFrameImages(app);
        ComputeKeyRegions(app);
    }
    MailCheckApp app;
};

TEST(CurrentFrame, WithoutApplicationObjectThereIsNoFrameButASize)
{
    ASSERT_EQ(AppBase::Current(), nullptr);
    EXPECT_EQ(CurrentFrameBitmap(0), nullptr);
    EXPECT_EQ(CurrentFrameKeyRegion(0), nullptr);
    EXPECT_EQ(CurrentFrameSize(0).cx, kFallbackFrameSize.cx);
    EXPECT_EQ(CurrentFrameSize(0).cy, kFallbackFrameSize.cy);
}

TEST_F(ShippedImages, CatalogueHoldsOneAnimationOfTwoFrames)
{
    EXPECT_EQ(animationCatalog.frameNames, (std::vector<std::string>{"RASE_FRAME_000", "RASE_FRAME_001"}));
    EXPECT_EQ(animationCatalog.firstFrame, std::vector<std::uint32_t>{0});
    EXPECT_EQ(animationCatalog.frameCount, std::vector<std::uint32_t>{2});
    EXPECT_EQ(AnimationCount(), 1);
    EXPECT_EQ(FrameIndexOf(0, 1), 1);
}

TEST_F(ShippedImages, ImagesAndRegionsAreLoadedWithTheirSizes)
{
    ASSERT_EQ(app.frameBitmaps.size(), 2u);
    ASSERT_EQ(app.frameRegions.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        const SIZE size = CurrentFrameSize(i);
        EXPECT_EQ(size.cx, 33);
        EXPECT_EQ(size.cy, 41);
        EXPECT_EQ(CurrentFrameBitmap(i), app.frameBitmaps[i].Get());
        EXPECT_NE(CurrentFrameKeyRegion(i), nullptr);
    }
    ASSERT_EQ(app.envelopeBitmaps.size(), 1u);
    EXPECT_EQ(EnvelopeBitmapSize.cx, 26);
    EXPECT_EQ(EnvelopeBitmapSize.cy, 21);
    EXPECT_TRUE(app.envelopeRegion);
    EXPECT_NE(app.envelopeIcon, nullptr);

    // Indices that name no frame find nothing; the size falls back to that of the frames.
    for (int index : {-1, 2, 1000}) {
        EXPECT_EQ(CurrentFrameBitmap(index), nullptr);
        EXPECT_EQ(CurrentFrameKeyRegion(index), nullptr);
        EXPECT_EQ(CurrentFrameSize(index).cx, kFallbackFrameSize.cx);
        EXPECT_EQ(CurrentFrameSize(index).cy, kFallbackFrameSize.cy);
    }
}

TEST_F(ShippedImages, ShapedWindowIsTheSquareMinusExactlyTheGreenPixels)
{
    for (int frame = 0; frame < 2; ++frame) {
        TestWindow window(100, 120, 33, 41);
        ApplyWindowShape(window.Get(), CurrentFrameKeyRegion(frame));
        const Region expected = ExpectedShape(CurrentFrameBitmap(frame));
        EXPECT_TRUE(EqualRgn(WindowShape(window.Get()).Get(), expected.Get())) << "frame " << frame;
    }
    TestWindow window(100, 120, 26, 21);
    ApplyWindowShape(window.Get(), app.envelopeRegion.Get());
    EXPECT_TRUE(EqualRgn(WindowShape(window.Get()).Get(), ExpectedShape(app.envelopeBitmaps[0].Get()).Get()));
}

TEST_F(ShippedImages, ReshapingLeavesTheCachedRegionIntact)
{
    const HRGN cached = CurrentFrameKeyRegion(0);
    const Region before = CopyOf(cached);
    TestWindow window(100, 120, 33, 41);
    for (int i = 0; i < 5; ++i)
        ApplyWindowShape(window.Get(), cached);
    EXPECT_TRUE(EqualRgn(cached, before.Get()));
    EXPECT_TRUE(EqualRgn(WindowShape(window.Get()).Get(), ExpectedShape(CurrentFrameBitmap(0)).Get()));

    // Switching frames replaces the shape rather than accumulating cuts.
    ApplyWindowShape(window.Get(), CurrentFrameKeyRegion(1));
    ApplyWindowShape(window.Get(), cached);
    EXPECT_TRUE(EqualRgn(WindowShape(window.Get()).Get(), ExpectedShape(CurrentFrameBitmap(0)).Get()));
}

// Counts the frame recalculations (WM_NCCALCSIZE) that setting a shape causes.
int frameChanges = 0;
WNDPROC staticProc = nullptr;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCALCSIZE)
        ++frameChanges;
    return CallWindowProcW(staticProc, window, message, wParam, lParam);
}

TEST_F(ShippedImages, ReapplyingTheSameShapeLeavesTheWindowAlone)
{
    TestWindow window(100, 120, 33, 41);
    ShowWindow(window.Get(), SW_SHOWNOACTIVATE);
    staticProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window.Get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
    frameChanges = 0;
    ApplyWindowShape(window.Get(), CurrentFrameKeyRegion(0));
    EXPECT_GT(frameChanges, 0);

    // The character reshapes ten times a second, mostly to the shape it has: nothing to do.
    frameChanges = 0;
    for (int i = 0; i < 3; ++i)
        ApplyWindowShape(window.Get(), CurrentFrameKeyRegion(0));
    EXPECT_EQ(frameChanges, 0);

    ApplyWindowShape(window.Get(), CurrentFrameKeyRegion(1));
    EXPECT_GT(frameChanges, 0);
    EXPECT_TRUE(EqualRgn(WindowShape(window.Get()).Get(), ExpectedShape(CurrentFrameBitmap(1)).Get()));
}

TEST_F(ShippedImages, DrawingResizesWithoutMovingAndCopiesTheBitmap)
{
    TestWindow window(100, 120, 200, 50);
    MemoryDC target(nullptr);
    WindowDC screen(nullptr);
    Bitmap canvas(CreateCompatibleBitmap(screen.Get(), 64, 64));
    SelectGuard select(target.Get(), canvas.Get());
    RECT all = {0, 0, 64, 64};
    FillRect(target.Get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));

    DrawCurrentFrame(window.Get(), target.Get(), 0);
    const RECT rect = window.Rect();
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.top, 120);
    EXPECT_EQ(rect.right - rect.left, 33);
    EXPECT_EQ(rect.bottom - rect.top, 41);
    const auto pixels = PixelsOf(CurrentFrameBitmap(0));
    for (POINT p : {POINT{0, 0}, POINT{16, 20}, POINT{32, 40}, POINT{10, 30}}) {
        EXPECT_EQ(GetPixel(target.Get(), p.x, p.y), pixels[p.y][p.x]) << p.x << "," << p.y;
    }
    EXPECT_EQ(GetPixel(target.Get(), 40, 50), RGB(255, 255, 255));  // outside the bitmap

    // Without a frame to show, the window takes the fallback size and a dark block is drawn.
    DrawCurrentFrame(window.Get(), target.Get(), 5);
    const RECT fallback = window.Rect();
    EXPECT_EQ(fallback.left, 100);
    EXPECT_EQ(fallback.right - fallback.left, kFallbackFrameSize.cx);
    EXPECT_EQ(fallback.bottom - fallback.top, kFallbackFrameSize.cy);
    EXPECT_EQ(GetPixel(target.Get(), 16, 20), RGB(64, 64, 64));
}

TEST_F(ShippedImages, ArtworkKeepsItsColoursApart)
{
    // The figure has no greenish pixel that would look like a stray bit of background, and the
    // background reaches every corner.
    for (int frame = 0; frame < 2; ++frame) {
        const auto pixels = PixelsOf(CurrentFrameBitmap(frame));
        int figure = 0;
        for (const auto& row : pixels) {
            for (COLORREF c : row) {
                if (c == kKey)
                    continue;
                ++figure;
                EXPECT_FALSE(GetGValue(c) > GetRValue(c) + 60 && GetGValue(c) > GetBValue(c) + 60)
                    << "greenish pixel " << std::hex << c << " in frame " << frame;
            }
        }
        EXPECT_GT(figure, 33 * 41 / 3);
        EXPECT_EQ(pixels[0][0], kKey);
        EXPECT_EQ(pixels[40][32], kKey);
    }
    EXPECT_NE(PixelsOf(CurrentFrameBitmap(0)), PixelsOf(CurrentFrameBitmap(1)));

    // The envelope's body is pure red, and its edge is not: a recoloured body stays outlined.
    const auto envelope = PixelsOf(app.envelopeBitmaps[0].Get());
    int red = 0;
    int body = 0;
    for (int y = 0; y < 21; ++y) {
        for (int x = 0; x < 26; ++x) {
            body += envelope[y][x] != kKey;
            red += envelope[y][x] == kRed;
            const bool edge = envelope[y][x] != kKey &&
                              (x == 0 || y == 0 || x == 25 || y == 20 || envelope[y][x - 1] == kKey ||
                               envelope[y][x + 1] == kKey || envelope[y - 1][x] == kKey || envelope[y + 1][x] == kKey);
            if (edge) {
                EXPECT_NE(envelope[y][x], kRed) << x << "," << y;
            }
        }
    }
    EXPECT_GT(2 * red, body) << "most of the envelope is its recolourable body";
}

TEST(KeyRegionFromBitmap, ReadsExactColoursAndFindsNothingWithoutKey)
{
    WindowDC screen(nullptr);
    MemoryDC dc(screen.Get());
    Bitmap bitmap(CreateCompatibleBitmap(screen.Get(), 4, 3));
    {
        SelectGuard select(dc.Get(), bitmap.Get());
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                SetPixel(dc.Get(), x, y, RGB(255, 255, 255));
        SetPixel(dc.Get(), 1, 0, RGB(0, 254, 0));
        SetPixel(dc.Get(), 2, 0, RGB(1, 255, 0));
        SetPixel(dc.Get(), 3, 0, RGB(0, 255, 1));
    }
    EXPECT_FALSE(KeyRegionFromBitmap(bitmap.Get(), dc.Get()));

    {
        SelectGuard select(dc.Get(), bitmap.Get());
        SetPixel(dc.Get(), 0, 1, kKey);
        SetPixel(dc.Get(), 0, 2, kKey);
        SetPixel(dc.Get(), 3, 2, kKey);
    }
    const Region region = KeyRegionFromBitmap(bitmap.Get(), dc.Get());
    ASSERT_TRUE(region);
    Region expected(CreateRectRgn(0, 1, 1, 3));
    Region corner(CreateRectRgn(3, 2, 4, 3));
    CombineRgn(expected.Get(), expected.Get(), corner.Get(), RGN_OR);
    EXPECT_TRUE(EqualRgn(region.Get(), expected.Get()));

    // No key region: the whole square is the shape.
    TestWindow window(0, 0, 4, 3);
    ApplyWindowShape(window.Get(), nullptr);
    Region square(CreateRectRgn(0, 0, kShapeSquareSize, kShapeSquareSize));
    EXPECT_TRUE(EqualRgn(WindowShape(window.Get()).Get(), square.Get()));
}

// The item at a position of a menu: its text, id, and whether it is a separator or a submenu.
struct MenuItem {
    std::wstring text;
    UINT id = 0;
    bool separator = false;
    HMENU submenu = nullptr;
};

MenuItem ItemAt(HMENU menu, UINT position)
{
    wchar_t text[128] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
    info.dwTypeData = text;
    info.cch = 128;
    EXPECT_TRUE(GetMenuItemInfoW(menu, position, TRUE, &info));
    return {text, info.wID, (info.fType & MFT_SEPARATOR) != 0, info.hSubMenu};
}

TEST(Resources, PopupMenuHasTheItemsInOrder)
{
    const HMENU menu = LoadMenuW(Module(), MAKEINTRESOURCEW(IDR_POPUP_MENU));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 1);
    const MenuItem top = ItemAt(menu, 0);
    EXPECT_EQ(top.text, L"");
    ASSERT_NE(top.submenu, nullptr);

    const HMENU popup = top.submenu;
    ASSERT_EQ(GetMenuItemCount(popup), 6);
    EXPECT_EQ(ItemAt(popup, 0).text, L"キャンセル");
    EXPECT_EQ(ItemAt(popup, 0).id, static_cast<UINT>(IDCANCEL));
    EXPECT_TRUE(ItemAt(popup, 1).separator);
    EXPECT_EQ(ItemAt(popup, 2).text, L"Mailer 起動");
    EXPECT_EQ(ItemAt(popup, 2).id, static_cast<UINT>(ID_LAUNCH_MAILER));
    EXPECT_TRUE(ItemAt(popup, 3).separator);
    const MenuItem settings = ItemAt(popup, 4);
    EXPECT_EQ(settings.text, L"設定");
    ASSERT_NE(settings.submenu, nullptr);
    ASSERT_EQ(GetMenuItemCount(settings.submenu), 2);
    EXPECT_EQ(ItemAt(settings.submenu, 0).text, L"Mail設定");
    EXPECT_EQ(ItemAt(settings.submenu, 0).id, static_cast<UINT>(ID_MAIL_SETTINGS));
    EXPECT_EQ(ItemAt(settings.submenu, 1).text, L"Mailer設定");
    EXPECT_EQ(ItemAt(settings.submenu, 1).id, static_cast<UINT>(ID_CHOOSE_MAILER));
    EXPECT_EQ(ItemAt(popup, 5).text, L"アプリケーション終了");
    EXPECT_EQ(ItemAt(popup, 5).id, static_cast<UINT>(ID_APP_EXIT));
    DestroyMenu(menu);
}

std::wstring StringResource(UINT id)
{
    wchar_t text[256] = {};
    LoadStringW(Module(), id, text, 256);
    return text;
}

TEST(Resources, StringTableHoldsTheTexts)
{
    EXPECT_EQ(StringResource(IDS_ABOUT_ITEM), L"&About Velka...");
    EXPECT_EQ(StringResource(IDS_APP_TITLE), L"Zantoli");
    const std::vector<std::wstring> prefixes = {
        L"RASE_FRAME_",    L"RGAN_FRAME_",  L"RHATE_FRAME_",   L"RHIKU_FRAME_",  L"RHIRA_FRAME_",
        L"RMATTAK_FRAME_", L"RMAWA_FRAME_", L"RNAKIKU_FRAME_", L"RNIYAK_FRAME_", L"RNOHOK_FRAME_",
        L"ROJIGI_FRAME_",  L"RTEREK_FRAME_", L"RTITI_FRAME_",  L"RUNUN_FRAME_",  L"RURESI_FRAME_",
    };
    for (UINT i = 0; i < prefixes.size(); ++i) {
        EXPECT_EQ(StringResource(IDS_FRAME_PREFIX + i), prefixes[i]) << IDS_FRAME_PREFIX + i;
    }
    EXPECT_EQ(IDS_FRAME_PREFIX + prefixes.size() - 1, static_cast<size_t>(IDS_FRAME_PREFIX_LAST));
}

// The image sizes an icon resource offers, from its group directory.
std::set<int> IconSizes(const wchar_t* name)
{
    std::set<int> sizes;
    const HRSRC found = FindResourceW(Module(), name, MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */);
    if (!found)
        return sizes;
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(Module(), found)));
    const WORD count = *reinterpret_cast<const WORD*>(data + 4);
    for (WORD i = 0; i < count; ++i) {
        const BYTE* entry = data + 6 + 14 * i;  // width, height, colours, reserved, planes, bits, bytes, id
        EXPECT_EQ(entry[0], entry[1]);
        sizes.insert(entry[0]);
    }
    return sizes;
}

TEST(Resources, IconsOfferSmallAndLargeImages)
{
    EXPECT_EQ(IconSizes(MAKEINTRESOURCEW(IDI_MAIN)), (std::set<int>{16, 32}));
    EXPECT_EQ(IconSizes(L"ENVELOP_RED"), (std::set<int>{16, 32}));
    EXPECT_NE(LoadIconW(Module(), MAKEINTRESOURCEW(IDI_MAIN)), nullptr);
}

}  // namespace
