#include "mail/imap/folder_name.h"

#include <cstdint>
#include <vector>

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";

// One character from text at at, moving at past it.
uint32_t NextCodePoint(const std::string& text, size_t& at)
{
    const uint8_t lead = uint8_t(text[at]);
    const int length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    uint32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    bool valid = length > 0 && at + size_t(length) <= text.size();
    for (int i = 1; valid && i < length; ++i) {
        const uint8_t next = uint8_t(text[at + size_t(i)]);
        valid = (next & 0xC0) == 0x80;
        code = (code << 6) | (next & 0x3F);
    }
    valid = valid && code >= kSmallest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    if (!valid) {
        ++at;
        return lead;
    }
    at += size_t(length);
    return code;
}

void AppendUtf16(std::vector<uint16_t>& units, uint32_t code)
{
    if (code < 0x10000) {
        units.push_back(uint16_t(code));
        return;
    }
    code -= 0x10000;
    units.push_back(uint16_t(0xD800 + (code >> 10)));
    units.push_back(uint16_t(0xDC00 + (code & 0x3FF)));
}

void AppendBase64(std::string& out, const std::vector<uint16_t>& units)
{
    uint32_t bits = 0;
    int count = 0;
    for (const uint16_t unit : units) {
        bits = (bits << 16) | unit;
        count += 16;
        while (count >= 6) {
            count -= 6;
            out += kAlphabet[(bits >> count) & 0x3F];
        }
        bits &= (1u << count) - 1;
    }
    if (count > 0)
        out += kAlphabet[(bits << (6 - count)) & 0x3F];
}

void AppendUtf8(std::string& out, uint32_t code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// The characters of one "&...-" run; false when it is not well formed.
bool DecodeRun(const std::string& run, std::string& out)
{
    uint32_t bits = 0;
    int count = 0;
    std::vector<uint16_t> units;
    for (const char c : run) {
        const char* found = c ? std::char_traits<char>::find(kAlphabet, 64, c) : nullptr;
        if (!found)
            return false;
        bits = (bits << 6) | uint32_t(found - kAlphabet);
        count += 6;
        if (count >= 16) {
            count -= 16;
            units.push_back(uint16_t(bits >> count));
            bits &= (1u << count) - 1;
        }
    }
    // What is left must be padding of zero bits, less than one unit.
    if (units.empty() || count >= 6 || bits != 0)
        return false;
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t code = units[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (units[++i] - 0xDC00);
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            return false;
        } else if (code >= 0x20 && code <= 0x7E) {
            return false;  // printable ASCII stands for itself
        }
        AppendUtf8(out, code);
    }
    return true;
}

}  // namespace

std::string EncodeFolderName(const std::string& utf8)
{
    std::string out;
    std::vector<uint16_t> pending;  // characters waiting for their "&...-" run
    size_t at = 0;
    while (at < utf8.size()) {  // bounded: every pass moves past one character
        const uint32_t code = NextCodePoint(utf8, at);
        if (code >= 0x20 && code <= 0x7E) {
            if (!pending.empty()) {
                out += '&';
                AppendBase64(out, pending);
                out += '-';
                pending.clear();
            }
            out += code == '&' ? "&-" : std::string(1, char(code));
        } else {
            AppendUtf16(pending, code);
        }
    }
    if (!pending.empty()) {
        out += '&';
        AppendBase64(out, pending);
        out += '-';
    }
    return out;
}

bool DecodeFolderName(const std::string& wire, std::string& utf8)
{
    utf8.clear();
    size_t at = 0;
    while (at < wire.size()) {  // bounded: every pass moves past a character or a run
        const char c = wire[at];
        if (uint8_t(c) < 0x20 || uint8_t(c) > 0x7E)
            return false;
        if (c != '&') {
            utf8 += c;
            ++at;
            continue;
        }
        const size_t end = wire.find('-', at + 1);
        if (end == std::string::npos)
            return false;
        if (end == at + 1)
            utf8 += '&';
        else if (!DecodeRun(wire.substr(at + 1, end - at - 1), utf8))
            return false;
        at = end + 1;
    }
    return true;
}
