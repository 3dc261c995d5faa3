#pragma once
// The envelope colours by name, in the order of the envelope palette.
#include <cstdint>
#include <string>

constexpr int32_t kNamedColorCount = 10;

// "Black", "Blue", ... for 0 to 9.
bool IsNamedColor(int32_t color);
const char* NamedColor(int32_t color);

// What the dialog shows for an account's colour: its name, or for a value the palette does
// not name (an older profile may hold -1 or anything else) the value itself.
std::string ColorLabel(int32_t color);
