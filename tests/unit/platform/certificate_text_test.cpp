// Certificates as text, and trust files: whatever path the user typed ends quickly, with its reason.
#include "platform/certificate_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/tick_count.h"
#include "platform/trust_file.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

// Every hex digit appears, in both nibbles.
const std::string kHalf("\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb\xcc\xdd\xee\xff", 16);
const std::string kSampleDigest = kHalf + kHalf;
const std::string kSampleHex = "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff";

TEST(CertificateText, FingerprintsMatchOnlyTheSameDigestAndControlCharactersCannotForgeATraceLine)
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
        EXPECT_EQ(FingerprintMatches(c.first, kSampleDigest), c.second) << c.first;
    }
    std::string other = kSampleDigest;
    other[31] = char(0xFE);
    EXPECT_FALSE(FingerprintMatches(kSampleHex, other) || FingerprintMatches(kSampleHex, ""));  // "": no digest computed
    EXPECT_TRUE(FingerprintMatches(FingerprintText(other), other));

    EXPECT_EQ(EscapeControlCharacters("CN=mail\r\nMSG: Command Normal End\x7f\\"),
              "CN=mail\\x0D\\x0AMSG: Command Normal End\\x7F\\\\");
    EXPECT_EQ(EscapeControlCharacters("O=B\xc3\xa4r \xc2\x85 \xc2\xa0\xc2"), "O=B\xc3\xa4r \\x85 \xc2\xa0\xc2");
}

// "MAMwAQA=" is 30 03 30 01 00; "MAQwAgAA" is 30 04 30 02 00 00.
TEST(TrustFile, PemBlocksAreDecodedAnythingElseIsDerAndOnlyCertificateShapesCount)
{
    const std::string pem = "Bag Attributes: text before the block\r\n"
                            "-----BEGIN CERTIFICATE-----\r\nMAMw\r\nAQA=\r\n-----END CERTIFICATE-----\r\n"
                            "-----BEGIN CERTIFICATE-----\nZm9v\n-----END CERTIFICATE-----\n"  // "foo"
                            "-----BEGIN CERTIFICATE-----\nnot*base64\n-----END CERTIFICATE-----\n"
                            "-----BEGIN CERTIFICATE-----\nMAQwAgAA\n-----END CERTIFICATE-----\n"
                            "-----BEGIN CERTIFICATE-----\nMAMwAQA=\n";  // never ended
    const std::vector<std::string> expected = {std::string("\x30\x03\x30\x01\x00", 5),
                                               std::string("\x30\x04\x30\x02\x00\x00", 6)};
    EXPECT_EQ(CertificatesInFile(pem), expected);
    const std::string der("\x30\x82\x00\x04\x30\x02\x00\x00", 8);
    EXPECT_EQ(CertificatesInFile(der), std::vector<std::string>{der});
    for (const std::string& none : {std::string(), std::string(4096, '\0'), der + "x", der.substr(0, 7),
                                    std::string("\x30\x84\xff\xff\xff\xff", 6), std::string("\x30\x02\x04\x00", 4)})
        EXPECT_TRUE(CertificatesInFile(none).empty()) << none.size();
}

TrustFileResult Load(const std::string& path, const std::atomic<int32_t>* stop = nullptr, int64_t bound = 5000)
{
    std::vector<std::string> certificates;
    const TrustFileResult result = LoadTrustFile(path, SteadyNowMs() + bound, stop, certificates);
    EXPECT_EQ(certificates.empty(), result != TrustFileResult::Loaded) << path;
    return result;
}

TEST(TrustFile, EveryKindOfPathEndsWithItsReason)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("zantoli-trust-" + std::to_string(SteadyNowMs()));
    fs::create_directories(folder / "folder");
    const auto write = [&](const char* name, const std::string& bytes) {
        std::ofstream(folder / name, std::ios::binary) << bytes;
        return (folder / name).string();
    };
    const std::string pem = "-----BEGIN CERTIFICATE-----\nMAQwAgAA\n-----END CERTIFICATE-----\n";
    using R = TrustFileResult;
    std::vector<std::pair<std::string, R>> paths = {
        {write("ca.pem", pem), R::Loaded},
        {write("bundle.pem", std::string(kMaxTrustFileBytes - pem.size(), '#') + pem), R::Loaded},
        {write("empty.pem", ""), R::NoCertificate}, {write("zeros.der", std::string(4096, '\0')), R::NoCertificate},
        {write("big.pem", std::string(2 << 20, 'x')), R::TooLarge}, {(folder / "folder").string(), R::NotAFile},
        {(folder / "missing.pem").string(), R::NotFound}, {(folder / "missing" / "ca.pem").string(), R::NotFound},
#ifdef _WIN32
        {"Z:\\dev\\zero", R::Unreadable},  // Wine's drive Z: is the Unix root; it tells no size
#else
        {"/dev/zero", R::NotAFile}, {(folder / "fifo").string(), R::NotAFile},  // opened without waiting
#endif
    };
#ifndef _WIN32
    ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0600), 0);
#endif
    for (const auto& [path, expected] : paths)
        EXPECT_EQ(Load(path), expected) << path;
    EXPECT_STREQ(TrustFileProblem(R::NoCertificate), "holds no certificate");
    // The stop flag and the check's bound end the read like any wait.
    const std::atomic<int32_t> stop{1};
    EXPECT_EQ(Load(paths[1].first, &stop), R::Stopped);
    EXPECT_EQ(Load(paths[1].first, nullptr, -1), R::Unreadable);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

}  // namespace
