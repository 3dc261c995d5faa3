#include "platform/certificate_names.h"

#include <cstring>

#include "platform/native_socket.h"

namespace {

constexpr unsigned char kSequence = 0x30;
constexpr unsigned char kSet = 0x31;
constexpr unsigned char kObjectId = 0x06;
constexpr unsigned char kDnsNameTag = 0x82;  // [2] IMPLICIT IA5String
constexpr unsigned char kIpAddressTag = 0x87;  // [7] IMPLICIT OCTET STRING
const char kCommonNameOid[] = "\x55\x04\x03";

// Reads DER elements one after another out of a byte range; any fault stops it for good.
class DerReader {
public:
    DerReader(const std::string& bytes, size_t begin, size_t end) : bytes(bytes), at(begin), end(end) {}

    bool AtEnd() const { return failed || at >= end; }
    bool Failed() const { return failed; }

    // The next element's tag and the range of its contents; false at the end or on a fault.
    bool Next(unsigned char& tag, size_t& contentBegin, size_t& contentEnd)
    {
        if (AtEnd())
            return false;
        if (end - at < 2)
            return Fail();
        tag = static_cast<unsigned char>(bytes[at]);
        const auto first = static_cast<unsigned char>(bytes[at + 1]);
        size_t header = 2;
        size_t length = first;
        if (first & 0x80) {
            const size_t count = first & 0x7F;
            if (count == 0 || count > 4 || end - at - 2 < count)
                return Fail();
            length = 0;
            for (size_t i = 0; i < count; ++i)
                length = (length << 8) | static_cast<unsigned char>(bytes[at + 2 + i]);
            header += count;
        }
        if (length > end - at - header)
            return Fail();
        contentBegin = at + header;
        contentEnd = contentBegin + length;
        at = contentEnd;
        return true;
    }

private:
    bool Fail()
    {
        failed = true;
        return false;
    }

    const std::string& bytes;
    size_t at;
    size_t end;
    bool failed = false;
};

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// The name in the form we compare: ASCII lower case, one trailing dot dropped. Empty when it
// cannot be a host name: empty labels, or bytes outside printable ASCII (a NUL would let
// "good.example\0.evil.example" pass as the first half).
std::string ComparableName(const std::string& name)
{
    std::string result;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F)
            return std::string();
        result.push_back(LowerAscii(c));
    }
    if (!result.empty() && result.back() == '.')
        result.pop_back();
    if (result.empty() || result.front() == '.' || result.find("..") != std::string::npos)
        return std::string();
    return result;
}

bool DnsNameMatches(const std::string& presented, const std::string& host)
{
    const std::string name = ComparableName(presented);
    if (name.empty())
        return false;
    if (name.compare(0, 2, "*.") != 0)
        return name.find('*') == std::string::npos && name == host;
    // "*.example.com": the rest has a dot (three labels at least), no other wildcard, and
    // the host is exactly one label more, that label not empty.
    const std::string rest = name.substr(1);  // ".example.com"
    if (rest.find('.', 1) == std::string::npos || rest.find('*') != std::string::npos)
        return false;
    const size_t dot = host.find('.');
    return dot != std::string::npos && dot > 0 && host.compare(dot, std::string::npos, rest) == 0;
}

// The host's address bytes when it is an IP literal (IPv6 may stand in brackets).
bool IpLiteral(const std::string& host, std::string& address)
{
    std::string text = host;
    const bool bracketed = text.size() > 2 && text.front() == '[' && text.back() == ']';
    if (bracketed)
        text = text.substr(1, text.size() - 2);
    unsigned char bytes[16];
    if (!bracketed && inet_pton(AF_INET, text.c_str(), bytes) == 1) {
        address.assign(reinterpret_cast<const char*>(bytes), 4);
        return true;
    }
    if (inet_pton(AF_INET6, text.c_str(), bytes) == 1) {
        address.assign(reinterpret_cast<const char*>(bytes), 16);
        return true;
    }
    return false;
}

}  // namespace

void ReadSubjectAltNames(const std::string& extensionValue, CertificateNames& names)
{
    DerReader outer(extensionValue, 0, extensionValue.size());
    unsigned char tag = 0;
    size_t begin = 0, end = 0;
    if (!outer.Next(tag, begin, end) || tag != kSequence || !outer.AtEnd()) {
        names.malformed = true;
        return;
    }
    DerReader entries(extensionValue, begin, end);
    // Bounded by the extension's length: every pass moves past one element.
    while (!entries.AtEnd()) {
        if (!entries.Next(tag, begin, end))
            break;
        if (tag == kDnsNameTag)
            names.dnsNames.push_back(extensionValue.substr(begin, end - begin));
        else if (tag == kIpAddressTag)
            names.ipAddresses.push_back(extensionValue.substr(begin, end - begin));
    }
    if (entries.Failed())
        names.malformed = true;
}

std::string CommonNameOf(const std::string& subject)
{
    DerReader outer(subject, 0, subject.size());
    unsigned char tag = 0;
    size_t begin = 0, end = 0;
    if (!outer.Next(tag, begin, end) || tag != kSequence)
        return std::string();
    std::string commonName;
    DerReader sets(subject, begin, end);
    // Bounded by the name's length: every pass moves past one element, at each level.
    while (sets.Next(tag, begin, end)) {
        if (tag != kSet)
            return std::string();
        DerReader attributes(subject, begin, end);
        while (attributes.Next(tag, begin, end)) {
            if (tag != kSequence)
                return std::string();
            DerReader pair(subject, begin, end);
            size_t oidBegin = 0, oidEnd = 0, valueBegin = 0, valueEnd = 0;
            unsigned char valueTag = 0;
            if (!pair.Next(tag, oidBegin, oidEnd) || tag != kObjectId || !pair.Next(valueTag, valueBegin, valueEnd))
                return std::string();
            if (oidEnd - oidBegin == 3 && std::memcmp(&subject[oidBegin], kCommonNameOid, 3) == 0)
                commonName = subject.substr(valueBegin, valueEnd - valueBegin);
        }
        if (attributes.Failed())
            return std::string();
    }
    return sets.Failed() ? std::string() : commonName;
}

bool CertificateNamesHost(const CertificateNames& names, const std::string& host)
{
    if (names.malformed)
        return false;
    std::string address;
    if (IpLiteral(host, address)) {
        for (const std::string& ip : names.ipAddresses)
            if (ip == address)
                return true;
        return false;
    }
    const std::string wanted = ComparableName(host);
    if (wanted.empty() || wanted.find('*') != std::string::npos)
        return false;
    if (names.dnsNames.empty())
        return !names.commonName.empty() && DnsNameMatches(names.commonName, wanted);
    for (const std::string& name : names.dnsNames)
        if (DnsNameMatches(name, wanted))
            return true;
    return false;
}
