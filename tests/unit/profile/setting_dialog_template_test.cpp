#include <gtest/gtest.h>

#include "setting/dialog_template.h"

namespace {

// An extended dialog template as a resource compiler lays it out: class, title, font, two aligned items.
std::vector<uint8_t> Template(const DialogFont& font)
{
    std::vector<uint8_t> b;
    auto word = [&](uint32_t v) { b.push_back(uint8_t(v)), b.push_back(uint8_t(v >> 8)); };
    auto dword = [&](uint32_t v) { word(v), word(v >> 16); };
    auto text = [&](const std::u16string& s) { for (char16_t c : s) word(c); word(0); };
    word(1), word(0xFFFF), dword(0), dword(0), dword(0x80C800C0);  // DS_SETFONT among the styles
    word(2), word(0), word(10), word(20), word(30), word(0);
    text(u"MyClass"), text(u"Accounts");
    word(font.pointSize), word(font.weight), b.push_back(font.italic), b.push_back(font.charset);
    text(font.face);
    for (int item = 0; item < 2; ++item) {
        b.resize((b.size() + 3) & ~size_t(3));
        dword(0), dword(0), dword(0x50010000), word(item), word(1), word(2), word(3), dword(1000 + item);
        word(0xFFFF), word(0x0080), text(item ? u"Odd" : u"OK"), word(0);
    }
    return b;
}

TEST(DialogTemplate, ReplacesTheFontAndKeepsEveryItemIntactAndAligned)
{
    for (const std::u16string original : {u"MS Shell Dlg", u"Tahoma"}) {
        for (const std::u16string face : {u"Segoe UI", u"Meiryo", u"A"}) {
            const DialogFont from{8, 400, 0, 1, original}, to{11, 700, 1, 128, face};
            const std::vector<uint8_t> in = Template(from);
            EXPECT_EQ(WithDialogFont(in.data(), in.size(), to), Template(to)) << std::string(face.begin(), face.end());
        }
    }
}

}  // namespace
