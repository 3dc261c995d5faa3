#pragma once
// Whether a server certificate names the host an account connects to, by our own rules
// rather than the platform's (which differ between systems and have been seen to accept
// "*.com"): DNS names from the subjectAltName extension, the subject's common name only when
// the certificate has no DNS name at all, a wildcard only as the whole left-most label of a
// name of three labels or more and for exactly one label, compared without regard to ASCII
// case; a host written as an IP address only against the certificate's IP addresses.
// Internationalised names match in their ASCII (xn--) form, the form certificates carry.
#include <string>
#include <vector>

struct CertificateNames {
    std::vector<std::string> dnsNames;     // dNSName entries, as the certificate spells them
    std::vector<std::string> ipAddresses;  // iPAddress entries: 4 or 16 bytes, network order
    std::string commonName;                // the subject's most specific common name; or empty
    bool malformed = false;                // the extension could not be read: nothing matches
};

// Adds the DNS names and IP addresses of a subjectAltName extension's value (DER, a sequence
// of GeneralName) to names; other kinds of name are skipped. Sets malformed when the bytes do
// not parse.
void ReadSubjectAltNames(const std::string& extensionValue, CertificateNames& names);

// The last common name (2.5.4.3) in a DER-encoded subject name, as its bytes stand; empty when
// there is none or the name does not parse.
std::string CommonNameOf(const std::string& subject);

// True when names allow host (a name or an IP literal, IPv6 with or without brackets).
bool CertificateNamesHost(const CertificateNames& names, const std::string& host);
