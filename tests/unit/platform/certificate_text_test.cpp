#include "platform/certificate_text.h"

#include <gtest/gtest.h>

namespace {

// 32 bytes 00 11 22 ... ff 00 11 ... : every hex digit appears, in both nibbles.
std::string SampleDigest()
{
    std::string digest;
    for (int i = 0; i < 32; ++i)
        digest.push_back(char((i % 16) * 0x11));
    return digest;
}

const std::string kSampleHex = "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff";

// Typed with colons, blanks or in either case, a fingerprint matches only the same digest;
// what we show can be pinned as it is.
TEST(Fingerprint, TypedFormsMatchOnlyTheSameDigest)
{
    const std::pair<std::string, bool> cases[] = {
        {"00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF:00:11:22:33:44:55:66:77:88:99:Aa:bB:cc:DD:ee:FF", true},
        {"0011 2233 4455 6677 8899 aabb ccdd eeff 0011 2233 4455 6677 8899 aabb ccdd eeff", true},
        {kSampleHex.substr(1), false},        // one digit short
        {kSampleHex + "00", false},           // a SHA-1 or SHA-512 length is not ours
        {kSampleHex.substr(1) + "g", false},  // not hex
    };
    for (const auto& c : cases) {
        std::string hex;
        EXPECT_EQ(NormaliseFingerprint(c.first, hex) && hex == kSampleHex, c.second) << c.first;
        EXPECT_EQ(FingerprintMatches(c.first, SampleDigest()), c.second) << c.first;
    }
    std::string other = SampleDigest();
    other[31] = char(0xFE);
    EXPECT_FALSE(FingerprintMatches(kSampleHex, other));
    EXPECT_FALSE(FingerprintMatches(kSampleHex, ""));  // no digest could be computed
    EXPECT_TRUE(FingerprintMatches(FingerprintText(other), other));
}

TEST(TrustFile, PemBlocksAreDecodedAndAnythingElseIsDer)
{
    // "AAEC" is 00 01 02; "/+8=" is ff ef; "Zm9v" is "foo".
    const std::string pem = "Bag Attributes: text before the block\r\n"
                            "-----BEGIN CERTIFICATE-----\r\nAAEC\r\n/+8=\r\n-----END CERTIFICATE-----\r\n"
                            "-----BEGIN CERTIFICATE-----\nZm9v\n-----END CERTIFICATE-----\n"
                            "-----BEGIN CERTIFICATE-----\nnot*base64\n-----END CERTIFICATE-----\n"
                            "-----BEGIN CERTIFICATE-----\nZm9v\n";  // never ended
    const std::vector<std::string> expected = {std::string("\x00\x01\x02\xff\xef", 5), "foo"};
    EXPECT_EQ(CertificatesInFile(pem), expected);
    const std::string der("\x30\x82\x01\x00\x00", 5);
    EXPECT_EQ(CertificatesInFile(der), std::vector<std::string>{der});
    EXPECT_TRUE(CertificatesInFile("").empty());
}

}  // namespace
