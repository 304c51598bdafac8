// File stamps, lock files held across threads and processes, and the configuration
// folder lookup.
#include "../files/FileTestSupport.h"

#include <commonvcqx/platform/internal/StoreFiles.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <thread>

namespace {

namespace pf = cvq::platform;
using PlatformStoreFilesTest = cvq::test::ScratchFolder;

TEST_F(PlatformStoreFilesTest, StampTellsChangesApart) {
    DWORD error = 0;
    pf::TFileStamp stamp;
    EXPECT_FALSE(pf::GetFileStamp(Path("missing"), stamp, error));
    EXPECT_EQ(error, DWORD(2));
    Put("a", "one");
    pf::TFileStamp first, same, replaced;
    ASSERT_TRUE(pf::GetFileStamp(Name("a"), first, error));
    EXPECT_EQ(first.size, 3);
    ASSERT_TRUE(pf::GetFileStamp(Path("a"), same, error));
    EXPECT_EQ(first, same);
    // Same size, replaced by a rename: a new identity even within one clock tick.
    pf::EReplaceStage stage = pf::EReplaceStage::None;
    ASSERT_TRUE(pf::ReplaceFileContents(Path("a"), "two", 3, error, stage));
    ASSERT_TRUE(pf::GetFileStamp(Path("a"), replaced, error));
    EXPECT_NE(first, replaced);
}

TEST_F(PlatformStoreFilesTest, WholeFileWithItsOwnStamp) {
    DWORD error = 0;
    std::string contents = "stale";
    pf::TFileStamp stamp, byName;
    EXPECT_FALSE(pf::ReadWholeFile(Path("missing"), contents, stamp, error));
    EXPECT_EQ(error, DWORD(2));
    EXPECT_FALSE(pf::ReadWholeFile(Path(), contents, stamp, error));
    EXPECT_EQ(error, DWORD(5));
    std::string big(200000, 'x');
    big[123456] = '\0';
    Put("big", big);
    ASSERT_TRUE(pf::ReadWholeFile(Name("big"), contents, stamp, error));
    EXPECT_EQ(contents, big);
    ASSERT_TRUE(pf::GetFileStamp(Path("big"), byName, error));
    EXPECT_EQ(stamp, byName);
    // A reader holds no sharing lock: an exclusive open still succeeds.
    pf::FileHandle* exclusive = pf::OpenFile(Path("big"), 0x102, error);
    ASSERT_NE(exclusive, nullptr);
    ASSERT_TRUE(pf::ReadWholeFile(Path("big"), contents, stamp, error));
    pf::CloseFile(exclusive, error);
    pf::FailNthOperation(pf::EFailureSeam::Read, 1, EACCES);
    EXPECT_FALSE(pf::ReadWholeFile(Path("big"), contents, stamp, error));
    EXPECT_EQ(error, DWORD(5));
}

TEST_F(PlatformStoreFilesTest, LockFileExcludesThreadsAndProcesses) {
    DWORD error = 0;
    const std::string lockName = Path("x.lock");
    pf::FileHandle* held = pf::OpenLockedFile(lockName, error);
    ASSERT_NE(held, nullptr);
    std::atomic<bool> acquired{false};
    std::thread other([&] {
        DWORD e = 0;
        pf::FileHandle* second = pf::OpenLockedFile(lockName, e);
        acquired = true;
        pf::CloseFile(second, e);
    });
    // A child process cannot take it either while this handle holds it.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int fd = ::open(lockName.c_str(), O_RDWR);
        struct flock lock = {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_len = 1;
        _exit(fd >= 0 && ::fcntl(fd, F_OFD_SETLK, &lock) != 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(acquired.load());
    EXPECT_TRUE(pf::CloseFile(held, error));
    other.join();
    EXPECT_TRUE(acquired.load());
    EXPECT_EQ(pf::OpenLockedFile(Path("no/such/folder.lock"), error), nullptr);
    EXPECT_EQ(error, DWORD(3));
}

TEST(PlatformStoreFiles, ConfigDirectoryFollowsTheEnvironment) {
    const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string xdg = savedXdg ? savedXdg : "";
    std::string directory;
    ::setenv("XDG_CONFIG_HOME", "/srv/conf", 1);
    ASSERT_TRUE(pf::GetUserConfigDirectory(directory));
    EXPECT_EQ(directory, "/srv/conf");
    ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') {
        ASSERT_TRUE(pf::GetUserConfigDirectory(directory));
        EXPECT_EQ(directory, std::string(home) + "/.config");
    }
    if (savedXdg)
        ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
