#include "platform/certificate_text.h"

#include <cctype>

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr char kBeginMarker[] = "-----BEGIN CERTIFICATE-----";
constexpr char kEndMarker[] = "-----END CERTIFICATE-----";

int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Line breaks and blanks between the characters are ignored; padding ends the data.
bool DecodeBase64(const std::string& text, std::string& bytes)
{
    bytes.clear();
    unsigned buffer = 0;
    int bits = 0;
    bool padded = false;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)))
            continue;
        if (c == '=') {
            padded = true;
            continue;
        }
        const int value = Base64Value(c);
        if (value < 0 || padded)
            return false;
        buffer = (buffer << 6) | unsigned(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(char((buffer >> bits) & 0xFF));
        }
    }
    return !bytes.empty();
}

// The length of a DER element whose header starts at text[at], header included; 0 when the
// header is broken or the element runs past the end.
size_t DerElementLength(const std::string& text, size_t at)
{
    if (at + 2 > text.size())
        return 0;
    const auto first = static_cast<unsigned char>(text[at + 1]);
    size_t header = 2;
    size_t length = first;
    if (first & 0x80) {
        const size_t count = first & 0x7F;
        if (count == 0 || count > 4 || at + 2 + count > text.size())
            return 0;
        length = 0;
        for (size_t i = 0; i < count; ++i)
            length = (length << 8) | static_cast<unsigned char>(text[at + 2 + i]);
        header += count;
    }
    if (length > text.size() - at - header)
        return 0;
    return header + length;
}

// A certificate is a SEQUENCE that holds the to-be-signed SEQUENCE first: enough to tell a
// certificate from a file of zeros or of text, not a parse of it.
bool ShapedLikeCertificate(const std::string& der)
{
    constexpr char kSequence = 0x30;
    if (der.size() < 4 || der[0] != kSequence || DerElementLength(der, 0) != der.size())
        return false;
    const auto first = static_cast<unsigned char>(der[1]);
    const size_t header = (first & 0x80) ? 2 + (first & 0x7F) : 2;
    return header < der.size() && der[header] == kSequence && DerElementLength(der, header) != 0;
}

}  // namespace

bool NormaliseFingerprint(const std::string& text, std::string& hex)
{
    hex.clear();
    for (char c : text) {
        if (c == ':' || c == ' ' || c == '\t')
            continue;
        const char lower = char(std::tolower(static_cast<unsigned char>(c)));
        if (!std::isxdigit(static_cast<unsigned char>(lower)))
            return false;
        hex.push_back(lower);
    }
    return hex.size() == 64;
}

bool FingerprintMatches(const std::string& typed, const std::string& digest)
{
    std::string pinned;
    if (!NormaliseFingerprint(typed, pinned) || digest.size() != 32)
        return false;
    std::string actual;
    for (unsigned char byte : digest) {
        actual.push_back(kHexDigits[byte >> 4]);
        actual.push_back(kHexDigits[byte & 15]);
    }
    return actual == pinned;
}

std::string FingerprintText(const std::string& digest)
{
    std::string text;
    for (unsigned char byte : digest) {
        if (!text.empty())
            text.push_back(':');
        text.push_back(char(std::toupper(kHexDigits[byte >> 4])));
        text.push_back(char(std::toupper(kHexDigits[byte & 15])));
    }
    return text;
}

std::vector<std::string> CertificatesInFile(const std::string& contents)
{
    std::vector<std::string> certificates;
    size_t begin = contents.find(kBeginMarker);
    if (begin == std::string::npos) {
        if (ShapedLikeCertificate(contents))
            certificates.push_back(contents);
        return certificates;
    }
    // Bounded: every pass moves past one begin marker.
    while (begin != std::string::npos) {
        const size_t dataStart = begin + sizeof kBeginMarker - 1;
        const size_t end = contents.find(kEndMarker, dataStart);
        if (end == std::string::npos)
            break;
        std::string der;
        if (DecodeBase64(contents.substr(dataStart, end - dataStart), der) && ShapedLikeCertificate(der))
            certificates.push_back(der);
        begin = contents.find(kBeginMarker, end);
    }
    return certificates;
}

std::string EscapeControlCharacters(const std::string& text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        // C1 controls arrive in UTF-8 as C2 80 to C2 9F.
        const bool c1 = byte == 0xC2 && i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80;
        if (byte == '\\') {
            escaped += "\\\\";
        } else if (byte < 0x20 || byte == 0x7F || c1) {
            const auto code = c1 ? static_cast<unsigned char>(text[++i]) : byte;
            escaped += "\\x";
            escaped.push_back(char(std::toupper(kHexDigits[code >> 4])));
            escaped.push_back(char(std::toupper(kHexDigits[code & 15])));
        } else {
            escaped.push_back(char(byte));
        }
    }
    return escaped;
}
