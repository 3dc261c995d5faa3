#pragma once
// Move-only owners of GDI objects and drawing contexts: each releases what it holds exactly
// once, in its destructor. Copying one would release a handle twice, so none can be copied.
#include <windows.h>

#include <cstdint>
#include <utility>

// A GDI object (bitmap, region, brush, ...) deleted with DeleteObject.
template <typename Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle(handle) {}
    GdiObject(GdiObject&& other) noexcept : handle(std::exchange(other.handle, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.handle, nullptr));
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    ~GdiObject() { Reset(); }

    Handle Get() const { return handle; }
    explicit operator bool() const { return handle != nullptr; }
    void Reset(Handle replacement = nullptr)
    {
        if (handle)
            DeleteObject(handle);
        handle = replacement;
    }
    // Gives the handle away, e.g. to SetWindowRgn, which takes ownership of it.
    Handle Release() { return std::exchange(handle, nullptr); }

private:
    Handle handle = nullptr;
};

using Bitmap = GdiObject<HBITMAP>;
using Region = GdiObject<HRGN>;

// A 32-bit top-down DIB section of the given size; pixels receives its memory, one uint32_t
// per pixel (0x00RRGGBB), row after row from the top.
inline Bitmap CreatePixelBuffer(HDC compatibleWith, int width, int height, uint32_t** pixels)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Bitmap buffer(CreateDIBSection(compatibleWith, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    *pixels = static_cast<uint32_t*>(bits);
    return buffer;
}

// A memory drawing context from CreateCompatibleDC.
class MemoryDC {
public:
    explicit MemoryDC(HDC compatibleWith) : dc(CreateCompatibleDC(compatibleWith)) {}
    MemoryDC(MemoryDC&& other) noexcept : dc(std::exchange(other.dc, nullptr)) {}
    MemoryDC& operator=(MemoryDC&&) = delete;
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    ~MemoryDC()
    {
        if (dc)
            DeleteDC(dc);
    }
    HDC Get() const { return dc; }

private:
    HDC dc;
};

// A window's or the screen's drawing context from GetDC, released with ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window(window), dc(GetDC(window)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC()
    {
        if (dc)
            ReleaseDC(window, dc);
    }
    HDC Get() const { return dc; }

private:
    HWND window;
    HDC dc;
};

// BeginPaint / EndPaint around a WM_PAINT handler.
class PaintDC {
public:
    explicit PaintDC(HWND window) : window(window) { dc = BeginPaint(window, &paint); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    ~PaintDC() { EndPaint(window, &paint); }
    HDC Get() const { return dc; }

private:
    HWND window;
    PAINTSTRUCT paint{};
    HDC dc = nullptr;
};

// Selects an object into a context and selects the previous one back when it goes.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ object) : dc(dc), previous(SelectObject(dc, object)) {}
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    ~SelectGuard()
    {
        if (previous && previous != HGDI_ERROR)
            SelectObject(dc, previous);
    }

private:
    HDC dc;
    HGDIOBJ previous;
};
