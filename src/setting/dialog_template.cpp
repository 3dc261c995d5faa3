#include "setting/dialog_template.h"

namespace {

// Layout of the fixed part: dlgVer, signature, helpID, exStyle, style, cDlgItems, x, y, cx, cy.
constexpr size_t kFixedPartSize = 26;
constexpr size_t kStyleOffset = 12;
constexpr uint32_t kDsSetFont = 0x40;  // DS_SETFONT; DS_SHELLFONT includes it

uint16_t ReadWord(const uint8_t* data, size_t offset)
{
    return uint16_t(data[offset] | (data[offset + 1] << 8));
}

uint32_t ReadDword(const uint8_t* data, size_t offset)
{
    return uint32_t(ReadWord(data, offset)) | (uint32_t(ReadWord(data, offset + 2)) << 16);
}

// Steps over a zero-terminated UTF-16 string; false when it runs past the end.
bool SkipString(const uint8_t* data, size_t size, size_t& offset)
{
    for (; offset + 2 <= size; offset += 2) {
        if (ReadWord(data, offset) == 0) {
            offset += 2;
            return true;
        }
    }
    return false;
}

// Steps over a menu or class field: 0 for none, 0xFFFF and an ordinal, or a string.
bool SkipNameOrOrdinal(const uint8_t* data, size_t size, size_t& offset)
{
    if (offset + 2 > size)
        return false;
    const uint16_t first = ReadWord(data, offset);
    if (first == 0) {
        offset += 2;
        return true;
    }
    if (first == 0xFFFF) {
        offset += 4;
        return offset <= size;
    }
    return SkipString(data, size, offset);
}

void AppendWord(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(uint8_t(value & 0xFF));
    out.push_back(uint8_t(value >> 8));
}

size_t AlignedToDword(size_t offset)
{
    return (offset + 3) & ~size_t(3);
}

}  // namespace

std::vector<uint8_t> WithDialogFont(const uint8_t* data, size_t size, const DialogFont& font)
{
    if (!data || size < kFixedPartSize || ReadWord(data, 0) != 1 || ReadWord(data, 2) != 0xFFFF)
        return {};
    if ((ReadDword(data, kStyleOffset) & kDsSetFont) == 0)
        return {};
    size_t offset = kFixedPartSize;
    if (!SkipNameOrOrdinal(data, size, offset) || !SkipNameOrOrdinal(data, size, offset) ||
        !SkipString(data, size, offset))
        return {};
    const size_t fontStart = offset;
    offset += 6;  // point size, weight, italic, charset
    if (offset > size || !SkipString(data, size, offset))
        return {};
    // The items start on the next DWORD boundary; keeping them on one keeps their own
    // alignment, since every offset inside moves by a multiple of four.
    const size_t itemsStart = AlignedToDword(offset);

    std::vector<uint8_t> out(data, data + fontStart);
    AppendWord(out, font.pointSize);
    AppendWord(out, font.weight);
    out.push_back(font.italic);
    out.push_back(font.charset);
    for (const char16_t c : font.face)
        AppendWord(out, uint16_t(c));
    AppendWord(out, 0);
    out.resize(AlignedToDword(out.size()), 0);
    if (itemsStart < size)
        out.insert(out.end(), data + itemsStart, data + size);
    return out;
}
