#include <gtest/gtest.h>

#include "setting/dialog_template.h"

namespace {

constexpr uint32_t kDsSetFont = 0x40;

// An extended dialog template as a resource compiler lays it out: a class name, a title, the
// font (when the style names one) and two items, each on a DWORD boundary.
std::vector<uint8_t> Template(const DialogFont* font)
{
    std::vector<uint8_t> b;
    auto word = [&](uint32_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); };
    auto dword = [&](uint32_t v) { word(v), word(v >> 16); };
    auto text = [&](const std::u16string& s) { for (char16_t c : s) word(c); word(0); };
    auto align = [&] { b.resize((b.size() + 3) & ~size_t(3)); };
    word(1), word(0xFFFF), dword(0), dword(0), dword(0x80C80080 | (font ? kDsSetFont : 0));
    word(2), word(0), word(10), word(20), word(30), word(0);
    text(u"MyClass"), text(u"Accounts");
    if (font) {
        word(font->pointSize), word(font->weight), b.push_back(font->italic), b.push_back(font->charset);
        text(font->face);
    }
    for (int item = 0; item < 2; ++item) {
        align();
        dword(0), dword(0), dword(0x50010000), word(item), word(1), word(2), word(3), dword(1000 + item);
        word(0xFFFF), word(0x0080), text(item ? u"Odd" : u"OK"), word(0);
    }
    return b;
}

DialogFont Font(const std::u16string& face, uint16_t points, uint16_t weight, uint8_t charset)
{
    DialogFont font;
    font.pointSize = points, font.weight = weight, font.charset = charset, font.face = face;
    return font;
}

TEST(DialogTemplate, ReplacesTheFontAndKeepsEveryItemIntactAndAligned)
{
    for (const std::u16string original : {u"MS Shell Dlg", u"Tahoma"}) {
        for (const std::u16string face : {u"Segoe UI", u"Meiryo", u"A"}) {
            const DialogFont from = Font(original, 8, 400, 1), to = Font(face, 11, 700, 128);
            const std::vector<uint8_t> in = Template(&from);
            EXPECT_EQ(WithDialogFont(in.data(), in.size(), to), Template(&to)) << std::string(face.begin(), face.end());
        }
    }
}

}  // namespace
