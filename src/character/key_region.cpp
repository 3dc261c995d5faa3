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
