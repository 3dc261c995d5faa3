#include "platform/certificate_names.h"

#include <gtest/gtest.h>

namespace {

std::string Der(unsigned char tag, const std::string& content)
{
    return std::string(1, char(tag)) + char(content.size()) + content;
}

// The rules a certificate's names are held to, one host and one certificate per row.
TEST(CertificateNames, HostsMatchByOurOwnRules)
{
    const std::string loopback("\x7f\x00\x00\x01", 4);
    const std::string v6 = std::string(15, '\0') + '\x01';
    const struct { const char* host; CertificateNames names; bool matches; } rows[] = {
        {"mail.example.com", {{"other.example.com", "MAIL.Example.COM"}, {}, ""}, true},
        {"Mail.Example.com.", {{"mail.example.com"}, {}, ""}, true}, {"mail.example.com", {{"*.example.com"}, {}, ""}, true},
        {"a.mail.example.com", {{"*.example.com"}, {}, ""}, false},  // one label only
        {"example.com", {{"*.example.com"}, {}, ""}, false}, {"mail.example.com", {{"*.*.example.com"}, {}, ""}, false},
        {"mail.example.com", {{"*.com"}, {}, ""}, false},  // too wide
        {"mail.example.com", {{"m*.example.com"}, {}, ""}, false},  // partial wildcards are not ours
        {"mail.example.com", {{"*mail.example.com"}, {}, ""}, false}, {"mail.example.com", {{"mail.*.com"}, {}, ""}, false},
        {"*.example.com", {{"*.example.com"}, {}, ""}, false}, {"mail.example.com", {{"mail..example.com"}, {}, ""}, false},
        {"mail.example.com", {{std::string("mail.example.com\0.evil.test", 27)}, {}, ""}, false},
        {"xn--bcher-kva.example", {{"XN--BCHER-KVA.example"}, {}, ""}, true},  // A-labels, any case
        {"b\xc3\xbc" "cher.example", {{"b\xc3\xbc" "cher.example"}, {}, ""}, false},
        {"mail.example.com", {{}, {}, "mail.example.com"}, true},  // the common name only without DNS names
        {"mail.example.com", {{"other.example.com"}, {}, "mail.example.com"}, false},
        {"mail.example.com", {{}, {loopback}, "*.example.com"}, true}, {"127.0.0.1", {{}, {loopback}, ""}, true},
        {"127.0.0.1", {{"127.0.0.1"}, {}, "127.0.0.1"}, false},  // an address is never a name
        {"127.0.0.2", {{}, {loopback}, ""}, false}, {"::1", {{}, {loopback, v6}, ""}, true}, {"[::1]", {{}, {v6}, ""}, true},
        {"0:0:0:0:0:0:0:1", {{}, {v6}, ""}, true}, {"", {{""}, {}, ""}, false},
        {"::ffff:127.0.0.1", {{}, {loopback}, ""}, false},  // the 16-byte form is another address
    };
    for (const auto& row : rows)
        EXPECT_EQ(CertificateNamesHost(row.names, row.host), row.matches) << row.host;
}

// The names come out of the certificate's own bytes; anything that does not parse matches nothing.
TEST(CertificateNames, AreReadFromTheExtensionAndTheSubject)
{
    const std::string san = Der(0x30, Der(0x82, "mail.example.com") + Der(0x81, "me@example.com") +
                                          Der(0x87, std::string("\x7f\x00\x00\x01", 4)) + Der(0x82, "*.example.org"));
    CertificateNames names;
    ReadSubjectAltNames(san, names);
    EXPECT_EQ(names.dnsNames, (std::vector<std::string>{"mail.example.com", "*.example.org"}));
    EXPECT_EQ(names.ipAddresses, std::vector<std::string>{std::string("\x7f\x00\x00\x01", 4)});
    EXPECT_TRUE(!names.malformed && CertificateNamesHost(names, "127.0.0.1"));
    for (const std::string& broken : {san.substr(0, san.size() - 1), san + "\x30", std::string("\x30\x05\x82\x09", 4)}) {
        CertificateNames bad;
        ReadSubjectAltNames(broken, bad);
        EXPECT_TRUE(bad.malformed && !CertificateNamesHost(bad, "mail.example.com")) << broken.size();
    }

    const auto attribute = [](const char* oid, const std::string& value) {
        return Der(0x31, Der(0x30, Der(0x06, oid) + Der(0x0C, value)));
    };
    const std::string subject = Der(0x30, attribute("\x55\x04\x06", "DE") + attribute("\x55\x04\x03", "first") +
                                              attribute("\x55\x04\x03", "mail.example.com"));
    EXPECT_EQ(CommonNameOf(subject), "mail.example.com");  // the most specific
    EXPECT_EQ(CommonNameOf(subject.substr(0, subject.size() - 2)) + CommonNameOf(Der(0x30, attribute("\x55\x04\x0a", "Org"))), "");
}

}  // namespace
