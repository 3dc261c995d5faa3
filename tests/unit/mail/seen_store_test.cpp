#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "mail/seen_store.h"

namespace fs = std::filesystem;

namespace {

class SeenStoreTest : public ::testing::Test {
protected:
    SeenStoreTest() { fs::remove_all(folder); }
    ~SeenStoreTest() override { fs::remove_all(folder); }

    std::string Path() const { return store.PathFor(server, port, login); }
    LoadedSeen Load() const { return store.Load(server, port, login); }
    bool Save(const UidSet& uids) const { return store.Save(server, port, login, uids); }
    std::string Bytes() const
    {
        std::ifstream in(Path(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void Write(const std::string& bytes) const { std::ofstream(Path(), std::ios::binary) << bytes; }

    const fs::path folder = fs::temp_directory_path() /
                            ("zantoli-seen-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    SeenStore store{folder.string()};
    std::string server = "pop.example.com";
    int32_t port = 110;
    std::string login = "me@example.com";
};

}  // namespace

// Any bytes survive (UIDs keep their CR LF); a file of another account is refused.
TEST_F(SeenStoreTest, KeepsAnyBytesInAWholeFileOfTheAccountsOwn)
{
    login = std::string("me\n2 x\0", 7);
    const UidSet uids = {"abc\r\n", "a b", std::string("\0\n\xff", 3), std::string(kMaxKeptUidLength, '\n'), "9"};
    for (const UidSet& kept : {uids, UidSet()}) {
        ASSERT_TRUE(Save(kept));
        EXPECT_TRUE(Load().uids == kept && Load().problem.empty()) << Load().problem;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1) << "a temporary file stayed";
    EXPECT_EQ(store.Load("pop.example.org", port, login).problem, "no file yet");
    EXPECT_EQ(store.Load(server, 995, login).problem, "no file yet");
    EXPECT_EQ(store.Load(server, port, "me").problem, "no file yet");
    const std::string ownFile = Bytes();
    login = "you";
    Write(ownFile);
    EXPECT_EQ(Load().problem, "the file belongs to another account");
}

TEST_F(SeenStoreTest, DamagedFilesLoadEmptyWithAReasonAndAFailedSaveLeavesTheOldFile)
{
    ASSERT_TRUE(Save({"1a\r\n", "2b\r\n"}));
    const std::string good = Bytes();
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string bytes = good;
        return bytes.replace(bytes.find(from), from.size(), to);
    };
    std::vector<std::string> damaged = {good + "x", replaced("uids 2\n", "uids 3\n"),
        replaced("uids 2\n", "uids 99999999999999999999\n"), replaced("4 1a", "-4 1a"),
        replaced("4 1a\r\n", "513 " + std::string(513, 'x')), replaced("Zantoli", "zantoli")};
    for (size_t length = 0; length < good.size(); ++length)  // a write cut short anywhere
        damaged.push_back(good.substr(0, length));
    for (const std::string& bytes : damaged) {
        Write(bytes);
        const LoadedSeen loaded = Load();
        EXPECT_TRUE(loaded.uids.empty() && !loaded.problem.empty()) << bytes;
    }
    fs::resize_file(Path(), uint64_t(kMaxKeptUids) * (kMaxKeptUidLength + 6));
    EXPECT_EQ(Load().problem, "file too large");

    ASSERT_TRUE(Save({"old"}));
    std::ofstream(Path() + ".tmp", std::ios::binary) << "half a fi";  // left by a killed write: no obstacle
    EXPECT_TRUE(!Save({std::string(kMaxKeptUidLength + 1, 'x')}) && Load().uids == UidSet({"old"})) << "a failed save";
    EXPECT_TRUE(Save({"new"}) && Load().uids == UidSet({"new"})) << "a save past the leftover";
    EXPECT_FALSE(SeenStore((folder / "missing" / "deeper").string()).Save(server, port, login, {"x"}));
}
