#include "character/shapes_win.h"

#include "app/mail_check_app_win.h"
#include "character/animation_catalog.h"
#include "character/key_region.h"

SIZE EnvelopeBitmapSize = {0, 0};

namespace {

HINSTANCE ProgramModule()
{
    return GetModuleHandleW(nullptr);
}

// A memory context compatible with the screen; the screen's context is released at once.
MemoryDC ScreenCompatibleDC()
{
    WindowDC screen(GetDesktopWindow());
    return MemoryDC(screen.Get());
}

// The bitmap's pixels as 32-bit colours, top row first, read in one call. The bitmap must not
// be selected into a context meanwhile.
bool ReadBitmapPixels(HBITMAP bitmap, HDC dc, PixelImage& image)
{
    const SIZE size = BitmapSize(bitmap);
    if (size.cx <= 0 || size.cy <= 0)
        return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    image.width = size.cx;
    image.height = size.cy;
    image.pixels.assign(static_cast<std::size_t>(size.cx) * static_cast<std::size_t>(size.cy), 0);
    return GetDIBits(dc, bitmap, 0, static_cast<UINT>(size.cy), image.pixels.data(), &info, DIB_RGB_COLORS) ==
           size.cy;
}

// The union of the rectangles as one region, built in one call.
Region RegionFromRects(const std::vector<KeyRect>& rects)
{
    if (rects.empty())
        return Region();
    std::vector<BYTE> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(data.data());
    auto* out = reinterpret_cast<RECT*>(data.data() + sizeof(RGNDATAHEADER));
    RECT bounds = {rects.front().left, rects.front().top, rects.front().right, rects.front().bottom};
    for (std::size_t i = 0; i < rects.size(); ++i) {
        out[i] = {rects[i].left, rects[i].top, rects[i].right, rects[i].bottom};
        UnionRect(&bounds, &bounds, &out[i]);
    }
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = static_cast<DWORD>(rects.size());
    header->nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    header->rcBound = bounds;
    return Region(ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), reinterpret_cast<RGNDATA*>(data.data())));
}

// Whether the window's shape is this region already.
bool HasShape(HWND window, HRGN shape)
{
    Region current(CreateRectRgn(0, 0, 0, 0));
    return current && GetWindowRgn(window, current.Get()) != ERROR && EqualRgn(current.Get(), shape);
}

MailCheckApp* CurrentApp()
{
    return static_cast<MailCheckApp*>(AppBase::Current());
}

}  // namespace

void LoadAnimationCatalog()
{
    const HINSTANCE module = ProgramModule();
    char prefix[256] = {};
    LoadStringA(module, static_cast<UINT>(AnimationStringId), prefix, sizeof prefix);
    // Only whether the resource exists matters here; the images are loaded afterwards.
    animationCatalog.AppendAnimation(prefix, [module](const std::string& name) {
        return FindResourceA(module, name.c_str(), MAKEINTRESOURCEA(2) /* RT_BITMAP */) != nullptr;
    });
}

void LoadFrameImages(MailCheckApp& app)
{
    const HINSTANCE module = ProgramModule();
    for (const std::string& name : animationCatalog.frameNames)
        app.frameBitmaps.emplace_back(LoadBitmapA(module, name.c_str()));
    app.envelopeBitmaps.emplace_back(LoadBitmapA(module, kEnvelopeResourceName));
    app.envelopeIcon = LoadIconA(module, kEnvelopeResourceName);
    EnvelopeBitmapSize = BitmapSize(app.envelopeBitmaps.front().Get());
}

void ComputeKeyRegions(MailCheckApp& app)
{
    MemoryDC memory = ScreenCompatibleDC();
    // One entry per frame, absent ones included, so positions keep matching frame indices.
    for (const Bitmap& frame : app.frameBitmaps)
        app.frameRegions.push_back(KeyRegionFromBitmap(frame.Get(), memory.Get()));
    if (!app.envelopeBitmaps.empty())
        app.envelopeRegion = KeyRegionFromBitmap(app.envelopeBitmaps.front().Get(), memory.Get());
}

Region KeyRegionFromBitmap(HBITMAP bitmap, HDC memoryDC)
{
    PixelImage image;
    if (!ReadBitmapPixels(bitmap, memoryDC, image))
        return Region();
    return RegionFromRects(KeyRuns(image));
}

void ApplyWindowShape(HWND window, HRGN keyRegion)
{
    Region shape(CreateRectRgn(0, 0, kShapeSquareSize, kShapeSquareSize));
    if (!shape)
        return;
    if (keyRegion)
        CombineRgn(shape.Get(), shape.Get(), keyRegion, RGN_DIFF);
    // Setting a shape costs milliseconds and recomputes the window's frame and redraws it; the
    // character reshapes ten times a second and the envelopes at every paint, mostly to the
    // shape they already have, so those calls are skipped.
    if (HasShape(window, shape.Get()))
        return;
    // Once accepted, the region belongs to the window system; a refused one is still ours.
    if (SetWindowRgn(window, shape.Get(), TRUE))
        shape.Release();
}

void DrawWindowBitmap(HWND window, HDC target, HBITMAP bitmap)
{
    const SIZE size = BitmapSize(bitmap);
    SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    MemoryDC source(target);
    SelectGuard select(source.Get(), bitmap);
    BitBlt(target, 0, 0, size.cx, size.cy, source.Get(), 0, 0, SRCCOPY);
}

SIZE BitmapSize(HBITMAP bitmap)
{
    BITMAP info{};
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info))
        return {0, 0};
    return {info.bmWidth, info.bmHeight};
}

HBITMAP CurrentFrameBitmap(int frameIndex)
{
    const MailCheckApp* app = CurrentApp();
    if (!app || frameIndex < 0 || static_cast<std::size_t>(frameIndex) >= app->frameBitmaps.size())
        return nullptr;
    return app->frameBitmaps[static_cast<std::size_t>(frameIndex)].Get();
}

HRGN CurrentFrameKeyRegion(int frameIndex)
{
    const MailCheckApp* app = CurrentApp();
    if (!app || frameIndex < 0 || static_cast<std::size_t>(frameIndex) >= app->frameRegions.size())
        return nullptr;
    return app->frameRegions[static_cast<std::size_t>(frameIndex)].Get();
}

SIZE CurrentFrameSize(int frameIndex)
{
    const HBITMAP frame = CurrentFrameBitmap(frameIndex);
    return frame ? BitmapSize(frame) : kFallbackFrameSize;
}

void DrawCurrentFrame(HWND window, HDC target, int frameIndex)
{
    if (const HBITMAP frame = CurrentFrameBitmap(frameIndex)) {
        DrawWindowBitmap(window, target, frame);
        return;
    }
    SetWindowPos(window, nullptr, 0, 0, kFallbackFrameSize.cx, kFallbackFrameSize.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT block = {0, 0, kFallbackFrameSize.cx, kFallbackFrameSize.cy};
    FillRect(target, &block, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)));
}
