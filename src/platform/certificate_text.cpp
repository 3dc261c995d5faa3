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
        if (!contents.empty())
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
        if (DecodeBase64(contents.substr(dataStart, end - dataStart), der))
            certificates.push_back(der);
        begin = contents.find(kBeginMarker, end);
    }
    return certificates;
}
