#include <gtest/gtest.h>

#include <algorithm>

#include "setting/dialog_template.h"

namespace {

// Writes extended dialog templates the way a resource compiler lays them out.
class TemplateWriter {
public:
    void Word(uint16_t value)
    {
        bytes.push_back(uint8_t(value));
        bytes.push_back(uint8_t(value >> 8));
    }
    void Dword(uint32_t value)
    {
        Word(uint16_t(value));
        Word(uint16_t(value >> 16));
    }
    void Text(const std::u16string& text)
    {
        for (const char16_t c : text)
            Word(uint16_t(c));
        Word(0);
    }
    void Align()
    {
        while (bytes.size() % 4)
            bytes.push_back(0);
    }

    std::vector<uint8_t> bytes;
};

constexpr uint32_t kDsSetFont = 0x40;

// A dialog with a class name, a title, a font and two items; returns where the items start.
size_t WriteDialog(TemplateWriter& w, uint32_t style, const std::u16string& face)
{
    w.Word(1);
    w.Word(0xFFFF);
    w.Dword(0);             // help id
    w.Dword(0);             // extended style
    w.Dword(style);
    w.Word(2);              // items
    for (int i = 0; i < 4; ++i)
        w.Word(uint16_t(10 * i));
    w.Word(0);              // no menu
    w.Text(u"MyClass");     // window class by name
    w.Text(u"Accounts");
    if (style & kDsSetFont) {
        w.Word(8);
        w.Word(400);
        w.bytes.push_back(0);
        w.bytes.push_back(1);
        w.Text(face);
    }
    w.Align();
    const size_t items = w.bytes.size();
    for (int item = 0; item < 2; ++item) {
        w.Align();
        w.Dword(0);
        w.Dword(0);
        w.Dword(0x50010000);
        for (int i = 0; i < 4; ++i)
            w.Word(uint16_t(item + i));
        w.Dword(uint32_t(1000 + item));
        w.Word(0xFFFF);
        w.Word(0x0080);     // button
        w.Text(item == 0 ? u"OK" : u"Odd");
        w.Word(0);          // no creation data
    }
    return items;
}

DialogFont Font(const std::u16string& face, uint16_t points)
{
    DialogFont font;
    font.pointSize = points;
    font.weight = 700;
    font.italic = 1;
    font.charset = 128;
    font.face = face;
    return font;
}

TEST(DialogTemplate, ReplacesTheFontAndKeepsEveryItemIntactAndAligned)
{
    for (const std::u16string original : {u"MS Shell Dlg", u"Tahoma"}) {
        for (const std::u16string face : {u"Segoe UI", u"Meiryo", u"A"}) {
            SCOPED_TRACE(std::string(face.begin(), face.end()));
            TemplateWriter w;
            const size_t items = WriteDialog(w, 0x80C80080 | kDsSetFont, original);
            const std::vector<uint8_t> out = WithDialogFont(w.bytes.data(), w.bytes.size(), Font(face, 11));
            ASSERT_FALSE(out.empty());

            TemplateWriter expected;
            WriteDialog(expected, 0x80C80080 | kDsSetFont, face);
            // The font fields themselves: the writer wrote 8 points, regular, charset 1.
            const size_t fontAt = 26 + 2 + 2 * (7 + 1) + 2 * (8 + 1);
            expected.bytes[fontAt] = 11;
            expected.bytes[fontAt + 2] = 700 & 0xFF;
            expected.bytes[fontAt + 3] = 700 >> 8;
            expected.bytes[fontAt + 4] = 1;
            expected.bytes[fontAt + 5] = 128;
            // Byte for byte what a resource compiler writes for the new face: the items follow
            // on a DWORD boundary, untouched.
            EXPECT_EQ(out, expected.bytes);
            EXPECT_TRUE(std::equal(w.bytes.begin() + long(items), w.bytes.end(), out.end() - long(w.bytes.size() - items)));
        }
    }
}

TEST(DialogTemplate, LeavesAloneWhatItCannotReadSafely)
{
    TemplateWriter noFont;
    WriteDialog(noFont, 0x80C80080, u"");
    EXPECT_TRUE(WithDialogFont(noFont.bytes.data(), noFont.bytes.size(), Font(u"Segoe UI", 9)).empty());

    TemplateWriter full;
    WriteDialog(full, 0x80C80080 | kDsSetFont, u"Tahoma");
    // Cut inside the class name, cut inside the font fields, and a classic (non-extended) template.
    EXPECT_TRUE(WithDialogFont(full.bytes.data(), 40, Font(u"Segoe UI", 9)).empty());
    EXPECT_TRUE(WithDialogFont(full.bytes.data(), 64, Font(u"Segoe UI", 9)).empty());
    std::vector<uint8_t> classic = full.bytes;
    classic[2] = 0;
    classic[3] = 0;
    EXPECT_TRUE(WithDialogFont(classic.data(), classic.size(), Font(u"Segoe UI", 9)).empty());
    EXPECT_TRUE(WithDialogFont(nullptr, 0, Font(u"Segoe UI", 9)).empty());
}

}  // namespace
