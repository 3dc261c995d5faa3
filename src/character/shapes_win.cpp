#include "character/shapes_win.h"

#include <cstring>

#include "character/animation_catalog.h"
#include "character/key_region.h"

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

// A bitmap holding the pixels, drawn as they are wherever it is copied.
Bitmap BitmapFromPixels(const PixelImage& image)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;  // top-down, as the pixels are
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Bitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bitmap && bits)
        std::memcpy(bits, image.pixels.data(), image.pixels.size() * sizeof image.pixels[0]);
    return bitmap;
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

void LoadFrameImages(Artwork& art)
{
    const HINSTANCE module = ProgramModule();
    for (const std::string& name : animationCatalog.frameNames)
        art.frameBitmaps.emplace_back(LoadBitmapA(module, name.c_str()));
    art.envelope.bitmap = Bitmap(LoadBitmapA(module, kEnvelopeResourceName));
    art.envelopeIcon = LoadIconA(module, kEnvelopeResourceName);
    art.envelope.size = BitmapSize(art.envelope.bitmap.Get());
}

void ComputeKeyRegions(Artwork& art)
{
    MemoryDC memory = ScreenCompatibleDC();
    // One entry per frame, absent ones included, so positions keep matching frame indices.
    for (const Bitmap& frame : art.frameBitmaps) {
        art.frameSources.emplace_back();
        if (!ReadBitmapPixels(frame.Get(), memory.Get(), art.frameSources.back()))
            art.frameSources.back() = PixelImage();
        art.frameRegions.push_back(RegionFromRects(KeyRuns(art.frameSources.back())));
    }
    if (!ReadBitmapPixels(art.envelope.bitmap.Get(), memory.Get(), art.envelopeSource))
        art.envelopeSource = PixelImage();
    art.envelope.keyRegion = RegionFromRects(KeyRuns(art.envelopeSource));
}

bool ScaleArtwork(Artwork& art, int scale)
{
    if (scale < 1 || scale == art.scale)
        return false;
    for (std::size_t i = 0; i < art.frameSources.size() && i < art.frameBitmaps.size(); ++i) {
        if (art.frameSources[i].pixels.empty())
            continue;  // a frame that never loaded stays absent
        const PixelImage scaled = ScaledImage(art.frameSources[i], scale);
        art.frameBitmaps[i] = BitmapFromPixels(scaled);
        art.frameRegions[i] = RegionFromRects(KeyRuns(scaled));
    }
    if (!art.envelopeSource.pixels.empty()) {
        const PixelImage scaled = ScaledImage(art.envelopeSource, scale);
        art.envelope.bitmap = BitmapFromPixels(scaled);
        art.envelope.keyRegion = RegionFromRects(KeyRuns(scaled));
        art.envelope.size = BitmapSize(art.envelope.bitmap.Get());
    }
    art.scale = scale;
    art.envelope.scale = scale;
    return true;
}

int ArtScaleForWindow(HWND window)
{
    // The window's own monitor where the system can tell (Windows 10 1607 and later); the
    // screen's otherwise, which is the same on a system that cannot tell the monitors apart.
    using DpiForWindow = UINT(WINAPI*)(HWND);
    const auto dpiForWindow = reinterpret_cast<DpiForWindow>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (dpiForWindow && window)
        if (const UINT dpi = dpiForWindow(window))
            return ArtScaleForDpi(static_cast<int>(dpi));
    WindowDC screen(nullptr);
    return ArtScaleForDpi(screen.Get() ? GetDeviceCaps(screen.Get(), LOGPIXELSX) : 96);
}

HBITMAP CurrentFrameBitmap(const Artwork& art, int frameIndex)
{
    if (frameIndex < 0 || static_cast<std::size_t>(frameIndex) >= art.frameBitmaps.size())
        return nullptr;
    return art.frameBitmaps[static_cast<std::size_t>(frameIndex)].Get();
}

HRGN CurrentFrameKeyRegion(const Artwork& art, int frameIndex)
{
    if (frameIndex < 0 || static_cast<std::size_t>(frameIndex) >= art.frameRegions.size())
        return nullptr;
    return art.frameRegions[static_cast<std::size_t>(frameIndex)].Get();
}

SIZE CurrentFrameSize(const Artwork& art, int frameIndex)
{
    const HBITMAP frame = CurrentFrameBitmap(art, frameIndex);
    return frame ? BitmapSize(frame) : SIZE{kFallbackFrameSize.cx * art.scale, kFallbackFrameSize.cy * art.scale};
}

void DrawCurrentFrame(const Artwork& art, HWND window, HDC target, int frameIndex)
{
    if (const HBITMAP frame = CurrentFrameBitmap(art, frameIndex)) {
        DrawWindowBitmap(window, target, frame);
        return;
    }
    const SIZE size = CurrentFrameSize(art, frameIndex);
    SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT block = {0, 0, size.cx, size.cy};
    FillRect(target, &block, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)));
}
