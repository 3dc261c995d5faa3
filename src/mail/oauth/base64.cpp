#include "mail/oauth/base64.h"

#include <cstdint>

namespace {

std::string Encode(const std::string& bytes, const char* alphabet, bool pad)
{
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t left = bytes.size() - i;
        uint32_t group = uint32_t(static_cast<unsigned char>(bytes[i])) << 16;
        if (left > 1)
            group |= uint32_t(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (left > 2)
            group |= static_cast<unsigned char>(bytes[i + 2]);
        const size_t digits = left > 2 ? 4 : left + 1;
        for (size_t d = 0; d < 4; ++d) {
            if (d < digits)
                text += alphabet[(group >> (18 - 6 * d)) & 0x3F];
            else if (pad)
                text += '=';
        }
    }
    return text;
}

}  // namespace

std::string Base64(const std::string& bytes)
{
    return Encode(bytes, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/", true);
}

std::string Base64Url(const std::string& bytes)
{
    return Encode(bytes, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_", false);
}
