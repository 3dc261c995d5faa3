// Prints what the start-up image work costs (catalogue, images, key regions), what one
// reshaping of the character costs (ten times a second while it moves), and, for comparison,
// what reading the key pixels one GetPixel at a time would cost. Run it under Wine or Windows.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "character/animation_catalog.h"
#include "character/shapes_win.h"

namespace {

double Microseconds(LARGE_INTEGER start, LARGE_INTEGER end)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1e6 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now;
}

double Median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// The three steps of one start-up's image work, on a fresh catalogue and set of images.
struct StartUpTimes {
    std::vector<double> catalogue, images, regions, total;
};

void StartUpOnce(StartUpTimes& times)
{
    animationCatalog = AnimationCatalog{};
    Artwork art;
    const LARGE_INTEGER start = Now();
    LoadAnimationCatalog();
    const LARGE_INTEGER catalogued = Now();
    LoadFrameImages(art);
    const LARGE_INTEGER loaded = Now();
    ComputeKeyRegions(art);
    const LARGE_INTEGER end = Now();
    times.catalogue.push_back(Microseconds(start, catalogued));
    times.images.push_back(Microseconds(catalogued, loaded));
    times.regions.push_back(Microseconds(loaded, end));
    times.total.push_back(Microseconds(start, end));
}

// Microseconds per ApplyWindowShape, cycling through the given key regions.
double ReshapeCost(HWND window, const std::vector<HRGN>& regions, int calls)
{
    const LARGE_INTEGER start = Now();
    for (int i = 0; i < calls; ++i)
        ApplyWindowShape(window, regions[static_cast<size_t>(i) % regions.size()]);
    return Microseconds(start, Now()) / calls;
}

// The slow way the key region could be read: one GetPixel per pixel, one region per run.
double GetPixelRegionOnce(HBITMAP bitmap)
{
    const LARGE_INTEGER start = Now();
    WindowDC screen(GetDesktopWindow());
    MemoryDC dc(screen.Get());
    SelectGuard select(dc.Get(), bitmap);
    const SIZE size = BitmapSize(bitmap);
    Region result;
    for (int x = 0; x < size.cx; ++x) {
        int top = -1;
        for (int y = 0; y <= size.cy; ++y) {
            const bool key = y < size.cy && (GetPixel(dc.Get(), x, y) & 0xFFFFFF) == RGB(0, 255, 0);
            if (key && top < 0) {
                top = y;
            } else if (!key && top >= 0) {
                Region run(CreateRectRgn(x, top, x + 1, y));
                if (!result)
                    result = std::move(run);
                else
                    CombineRgn(result.Get(), result.Get(), run.Get(), RGN_OR);
                top = -1;
            }
        }
    }
    return Microseconds(start, Now());
}

}  // namespace

int main()
{
    constexpr int kStartUps = 200;
    constexpr int kReshapes = 500;

    StartUpTimes times;
    for (int i = 0; i < kStartUps; ++i)
        StartUpOnce(times);
    std::printf("start-up image work (%zu frames + envelope), median of %d runs:\n", animationCatalog.frameNames.size(),
                kStartUps);
    std::printf("  LoadAnimationCatalog %6.0f us\n", Median(times.catalogue));
    std::printf("  LoadFrameImages      %6.0f us\n", Median(times.images));
    std::printf("  ComputeKeyRegions    %6.0f us\n", Median(times.regions));
    std::printf("  total                %6.0f us (best %.0f us)\n", Median(times.total),
                *std::min_element(times.total.begin(), times.total.end()));

    Artwork art;
    LoadFrameImages(art);
    ComputeKeyRegions(art);
    std::vector<double> perPixel;
    for (int i = 0; i < 50; ++i)
        perPixel.push_back(GetPixelRegionOnce(art.frameBitmaps.front().Get()));
    std::printf("one frame's key region read with GetPixel instead: median %.0f us\n", Median(perPixel));

    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 33, 41, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    const HRGN first = art.frameRegions[0].Get();
    const HRGN second = art.frameRegions[1].Get();
    std::printf("ApplyWindowShape on a shown window, per call over %d calls:\n", kReshapes);
    std::printf("  same frame every time (4 ticks in 5)  %7.1f us\n", ReshapeCost(window, {first}, kReshapes));
    std::printf("  alternating frames (every 5th tick)   %7.1f us\n", ReshapeCost(window, {first, second}, kReshapes));
    DestroyWindow(window);
    return 0;
}
