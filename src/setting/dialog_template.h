#pragma once
// Extended dialog templates (the DLGTEMPLATEEX layout that resource compilers write for
// DIALOGEX) with their font replaced, so that a dialog can be shown in the font the user chose
// for messages. Dialog units follow the font, so the layout grows or shrinks with it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct DialogFont {
    uint16_t pointSize = 9;
    uint16_t weight = 400;
    uint8_t italic = 0;
    uint8_t charset = 1;  // DEFAULT_CHARSET
    std::u16string face;
};

// A copy of the template with its font replaced; empty when the bytes are not an extended
// template that names a font, or end too early.
std::vector<uint8_t> WithDialogFont(const uint8_t* data, size_t size, const DialogFont& font);
