#include "profile/password_codec.h"

#include "platform/hex_digits.h"

namespace {

// The value of the piece's leading hexadecimal digits, as strtoul("0x" + piece, 16) gives it.
unsigned PieceValue(const std::string& text, size_t start, size_t length)
{
    unsigned value = 0;
    for (size_t i = start; i < start + length; ++i) {
        const int digit = HexDigitValue(text[i]);
        if (digit < 0)
            break;
        value = value * 16 + unsigned(digit);
    }
    return value;
}

}  // namespace

std::string EncodePassword(const std::string& password)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(password.size() * 2);
    for (const char c : password) {
        const auto byte = static_cast<unsigned char>(c);
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

std::string DecodePassword(const std::string& text)
{
    std::string password;
    for (size_t start = 0; start < text.size(); start += 2) {
        const size_t length = text.size() - start < 2 ? 1 : 2;
        const unsigned byte = PieceValue(text, start, length);
        if (byte == 0)
            break;
        password += char(byte);
    }
    return password;
}
