// The certificate's names as a server may send them: the bytes after the first line are read
// as a subjectAltName extension and as a subject, and the first line is the host to match.
// Besides crashes it stops on a broken rule: a DNS host only ever matches a name that is the
// host itself or a wildcard standing for its whole first label.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/certificate_names.h"

namespace {

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    return text;
}

bool Allows(const std::string& presented, const std::string& host)
{
    const std::string name = Lower(presented);
    if (name == host)
        return true;
    const size_t dot = host.find('.');
    return name.compare(0, 2, "*.") == 0 && dot != std::string::npos && host.substr(dot) == name.substr(1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t newline = input.find('\n');
    const std::string host = input.substr(0, newline);
    const std::string der = newline == std::string::npos ? std::string() : input.substr(newline + 1);

    CertificateNames names;
    ReadSubjectAltNames(der, names);
    names.commonName = CommonNameOf(der);
    if (!CertificateNamesHost(names, host))
        return 0;
    if (names.malformed)
        std::abort();
    if (host.find(':') != std::string::npos || names.ipAddresses.size() > 0)
        return 0;  // an IP literal: compared as bytes
    const std::string wanted = Lower(host);
    bool explained = names.dnsNames.empty() && Allows(names.commonName, wanted);
    for (const std::string& name : names.dnsNames)
        explained = explained || Allows(name, wanted);
    if (!explained)
        std::abort();
    return 0;
}
