// The new file of a save: one left behind by a killed save is taken over and replaced;
// a link or a folder planted under its name is never written through; a save running
// beside another one of the same file uses a name of its own and leaves nothing.
#include <commonvcqx/files/File.h>

#include "../support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

class SaveTakeOverTest : public ::testing::Test, public cvq::test::TScratchFolder {
protected:
    SaveTakeOverTest() : TScratchFolder("cvq_takeover") {}
    void Save(const std::string& bytes) const {
        TFile::SaveFile(TFileName(Path("data.bin").c_str()), bytes.data(), uint32_t(bytes.size()));
    }
    std::set<std::string> Leaves() const {
        std::set<std::string> leaves;
        for (const auto& entry : fs::directory_iterator(Path()))
            leaves.insert(entry.path().filename().string());
        return leaves;
    }
};

TEST_F(SaveTakeOverTest, TheNextSaveTakesOverWhatAKilledSaveLeft) {
    Put("data.bin", "old");
    Put(".data.bin.tmp", std::string(5000, 'x'));  // a killed save's half-written file
    Save("new");
    EXPECT_EQ(Get("data.bin"), "new");
    EXPECT_EQ(Leaves(), std::set<std::string>{"data.bin"});
}

TEST_F(SaveTakeOverTest, PlantedNamesAreNeverWrittenThrough) {
    Put("victim", "keep me");
    Put("data.bin", "old");
    fs::create_symlink(Path("victim"), Path(".data.bin.tmp"));
    Save("through a link?");
    EXPECT_EQ(Get("victim"), "keep me");
    EXPECT_EQ(Get("data.bin"), "through a link?");
    EXPECT_TRUE(fs::is_symlink(Path(".data.bin.tmp")));
    EXPECT_EQ(Leaves(), (std::set<std::string>{"data.bin", ".data.bin.tmp", "victim"}));

    fs::remove(Path(".data.bin.tmp"));
    fs::create_directory(Path(".data.bin.tmp"));
    Save("beside a folder");
    EXPECT_EQ(Get("data.bin"), "beside a folder");
    EXPECT_TRUE(fs::is_directory(Path(".data.bin.tmp")));
}

TEST_F(SaveTakeOverTest, ASaveBesideAnotherUsesANameOfItsOwn) {
    // Another save holds the shared name: its lock byte is taken.
    Put("data.bin", "old");
    Put(".data.bin.tmp", "");
    int held = ::open(Path(".data.bin.tmp").c_str(), O_WRONLY);
    ASSERT_GE(held, 0);
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = off_t(int64_t{1} << 62) + 1;
    lock.l_len = 1;
    ASSERT_EQ(::fcntl(held, F_OFD_SETLK, &lock), 0);
    Save("beside another");
    EXPECT_EQ(Get("data.bin"), "beside another");
    EXPECT_EQ(Leaves(), (std::set<std::string>{"data.bin", ".data.bin.tmp"}));
    ::close(held);
}

}  // namespace
