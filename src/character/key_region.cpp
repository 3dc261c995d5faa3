#include "character/key_region.h"

std::vector<KeyRect> KeyRuns(const PixelImage& image)
{
    std::vector<KeyRect> runs;
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() < static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
        return runs;
    for (int x = 0; x < image.width; ++x) {
        int runTop = -1;  // no run open
        for (int y = 0; y < image.height; ++y) {
            const bool key = IsKeyColour(image.At(x, y));
            if (key && runTop < 0)
                runTop = y;
            else if (!key && runTop >= 0) {
                runs.push_back({x, runTop, x + 1, y});
                runTop = -1;
            }
        }
        // A run reaching the bottom row ends with the column; it never carries into the next.
        if (runTop >= 0)
            runs.push_back({x, runTop, x + 1, image.height});
    }
    return runs;
}

int ArtScaleForDpi(int dpi)
{
    constexpr int kBaseDpi = 96;
    // Beyond any screen made: keeps the art inside the square a window shape is cut from.
    constexpr int kMaxScale = 8;
    const int scale = (dpi + kBaseDpi / 2) / kBaseDpi;
    return scale < 1 ? 1 : scale > kMaxScale ? kMaxScale : scale;
}

PixelImage ScaledImage(const PixelImage& image, int factor)
{
    if (factor <= 1 || image.width <= 0 || image.height <= 0 ||
        image.pixels.size() < static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
        return image;
    PixelImage scaled;
    scaled.width = image.width * factor;
    scaled.height = image.height * factor;
    scaled.pixels.reserve(static_cast<std::size_t>(scaled.width) * static_cast<std::size_t>(scaled.height));
    for (int y = 0; y < scaled.height; ++y)
        for (int x = 0; x < scaled.width; ++x)
            scaled.pixels.push_back(image.At(x / factor, y / factor));
    return scaled;
}
