// A trust file is whatever path the user typed: every kind of path ends quickly, with its reason.
#include "platform/trust_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/tick_count.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

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
