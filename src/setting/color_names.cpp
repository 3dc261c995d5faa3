#include "setting/color_names.h"

namespace {
const char* const kNames[kNamedColorCount] = {
    "Black", "Blue", "Cyan", "Grey", "Green", "Navy", "Purple", "Red", "White", "Yellow",
};
}  // namespace

bool IsNamedColor(int32_t color)
{
    return color >= 0 && color < kNamedColorCount;
}

const char* NamedColor(int32_t color)
{
    return IsNamedColor(color) ? kNames[color] : "";
}

std::string ColorLabel(int32_t color)
{
    if (IsNamedColor(color))
        return NamedColor(color);
    return "Other (" + std::to_string(color) + ")";
}
