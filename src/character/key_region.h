#pragma once
// The key region of an image: its pure-green pixels, which are cut out of a window so that only
// the drawn figure shows. Computed from pixels in memory, so it needs no drawing context.
#include <cstddef>
#include <cstdint>
#include <vector>

// An image's pixels, top row first, each as 32 bits with green in bits 8-15 and red and blue
// in the bytes either side (either order: the key test is symmetric); the top byte is ignored.
struct PixelImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // width * height

    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Left, top, right, bottom; right and bottom exclusive.
struct KeyRect {
    int left;
    int top;
    int right;
    int bottom;
    bool operator==(const KeyRect& other) const
    {
        return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
    }
};

// Exactly 0x00FF00 in the low 24 bits: a green of 254, or any red or blue, does not match.
constexpr bool IsKeyColour(std::uint32_t pixel)
{
    return (pixel & 0x00FFFFFFu) == 0x0000FF00u;
}

// One one-pixel-wide rectangle per maximal vertical run of key pixels in a column, columns left
// to right and runs top to bottom. Empty when the image has no key pixel.
std::vector<KeyRect> KeyRuns(const PixelImage& image);

// The whole number of screen pixels each pixel of the art takes on a screen of this many dots
// per inch: 1 at 96 (and below), 2 at 192, 3 at 288, the nearest step with halves going up
// (2 at 144), so that the art keeps its hard edges.
int ArtScaleForDpi(int dpi);

// The image with each pixel repeated factor times across and down: no colour is mixed, so the
// key colour stays exact and the key region grows with the figure. A factor below 1 counts as 1.
PixelImage ScaledImage(const PixelImage& image, int factor);
