#include "envelope/envelope_wnd_win.h"

#include <cstdlib>

#include "envelope/recolor.h"
#include "platform/window_shape_win.h"

LRESULT EnvelopeWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(wParam, lParam);
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;  // like the character: never takes the focus
    default:
        return Default(message, wParam, lParam);
    }
}

LRESULT EnvelopeWnd::OnCreate(WPARAM wParam, LPARAM lParam)
{
    if (Default(WM_CREATE, wParam, lParam) == -1)
        return -1;
    phase = std::rand() % 512;
    // Invisible until the first layout gives it its share of the pulse.
    layered.MakeLayered(Handle());
    return 0;
}

void EnvelopeWnd::OnPaint()
{
    // The shape comes from the unrecoloured image, so every colour keeps the same outline.
    ApplyWindowShape(Handle(), art.keyRegion.Get());

    PaintDC paint(Handle());
    RECT client{};
    GetClientRect(Handle(), &client);
    if (client.right <= 0 || client.bottom <= 0 || !art.bitmap)
        return;

    // The whole envelope is composed off screen and reaches it in one transfer, so the
    // unrecoloured image never shows.
    uint32_t* pixels = nullptr;
    Bitmap buffer = CreatePixelBuffer(paint.Get(), client.right, client.bottom, &pixels);
    if (!buffer)
        return;
    MemoryDC memory(paint.Get());
    SelectGuard select(memory.Get(), buffer.Get());
    DrawWindowBitmap(Handle(), memory.Get(), art.bitmap.Get());
    GdiFlush();  // the drawing must have reached the DIB's memory before we read it
    RecolorEnvelopeBody(pixels, static_cast<size_t>(client.right) * static_cast<size_t>(client.bottom),
                        colorIndex);
    BitBlt(paint.Get(), client.left, client.top, client.right - client.left, client.bottom - client.top,
           memory.Get(), client.left, client.top, SRCCOPY);
}
