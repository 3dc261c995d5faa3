#include "character/shapes_win.h"

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
    for (const Bitmap& frame : art.frameBitmaps)
        art.frameRegions.push_back(KeyRegionFromBitmap(frame.Get(), memory.Get()));
    art.envelope.keyRegion = KeyRegionFromBitmap(art.envelope.bitmap.Get(), memory.Get());
}

Region KeyRegionFromBitmap(HBITMAP bitmap, HDC memoryDC)
{
    PixelImage image;
    if (!ReadBitmapPixels(bitmap, memoryDC, image))
        return Region();
    return RegionFromRects(KeyRuns(image));
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
    return frame ? BitmapSize(frame) : kFallbackFrameSize;
}

void DrawCurrentFrame(const Artwork& art, HWND window, HDC target, int frameIndex)
{
    if (const HBITMAP frame = CurrentFrameBitmap(art, frameIndex)) {
        DrawWindowBitmap(window, target, frame);
        return;
    }
    SetWindowPos(window, nullptr, 0, 0, kFallbackFrameSize.cx, kFallbackFrameSize.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT block = {0, 0, kFallbackFrameSize.cx, kFallbackFrameSize.cy};
    FillRect(target, &block, static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)));
}
