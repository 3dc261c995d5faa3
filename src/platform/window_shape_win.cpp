#include "platform/window_shape_win.h"

#include "platform/gdi_win.h"

namespace {

// Whether the window's shape is this region already.
bool HasShape(HWND window, HRGN shape)
{
    Region current(CreateRectRgn(0, 0, 0, 0));
    return current && GetWindowRgn(window, current.Get()) != ERROR && EqualRgn(current.Get(), shape);
}

}  // namespace

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
