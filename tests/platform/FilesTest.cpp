// The platform file layer: time conversion, attributes, times on open files, name
// operations and the Windows codes of their failures, appending writes.
#include "../files/FileTestSupport.h"

#include <commonvcqx/platform/internal/FailureSeams.h>
#include <commonvcqx/platform/internal/Files.h>

#include <cerrno>
#include <functional>

namespace {

namespace pf = cvq::platform;
namespace fs = std::filesystem;
using PlatformFilesTest = cvq::test::ScratchFolder;

TEST(PlatformFileTimes, ConvertBothWays) {
    struct Case {
        int64_t seconds, nanoseconds;
        uint64_t ticks;
    } cases[] = {
        {0, 0, 116444736000000000ull},
        {1, 500, 116444736010000005ull},
        {-1, 999999900, 116444735999999999ull},
        {1700000000, 123456700, 133444736001234567ull},
    };
    for (const Case& c : cases) {
        FILETIME time = pf::FileTimeFromUnix(c.seconds, c.nanoseconds);
        EXPECT_EQ((uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime, c.ticks);
        int64_t seconds = 0, nanoseconds = 0;
        pf::UnixFromFileTime(time, seconds, nanoseconds);
        EXPECT_EQ(seconds, c.seconds);
        EXPECT_EQ(nanoseconds, c.nanoseconds / 100 * 100);
    }
    // The top half of the FILETIME range (a signed 64-bit count would overflow).
    int64_t seconds = 0, nanoseconds = 0;
    pf::UnixFromFileTime(FILETIME{0xFFFFFFFFu, 0xFFFFFFFFu}, seconds, nanoseconds);
    EXPECT_EQ(seconds, int64_t(UINT64_MAX / 10000000) - 11644473600);
    EXPECT_EQ(nanoseconds, int64_t(UINT64_MAX % 10000000) * 100);
    pf::UnixFromFileTime(FILETIME{0, 0}, seconds, nanoseconds);
    EXPECT_EQ(seconds, -11644473600);
    EXPECT_EQ(nanoseconds, 0);
}

TEST_F(PlatformFilesTest, AttributesAndTimes) {
    Put("plain.txt", "x");
    Put(".hidden", "x");
    fs::create_directory(Path("dir"));
    DWORD error = 0;
    EXPECT_EQ(pf::GetFileAttributes(Name("plain.txt"), error), 0x1);
    EXPECT_EQ(pf::GetFileAttributes(Name(".hidden"), error), 0x4);
    EXPECT_EQ(pf::GetFileAttributes(Name("dir"), error), 0x10);
    EXPECT_EQ(pf::GetFileAttributes(Name("none"), error), -1);
    EXPECT_EQ(error, 2u);
    EXPECT_EQ(pf::GetFileAttributes(Name("plain.txt\\below"), error), -1);
    EXPECT_EQ(error, 3u);

    fs::permissions(Path("plain.txt"), fs::perms::group_write, fs::perm_options::add);
    ASSERT_TRUE(pf::SetFileAttributes(Name("plain.txt"), 0x2, error));
    EXPECT_EQ(pf::GetFileAttributes(Name("plain.txt"), error), 0x2);
    EXPECT_EQ(fs::status(Path("plain.txt")).permissions() & fs::perms::group_write,
              fs::perms::none);  // read-only takes every write bit away
    ASSERT_TRUE(pf::SetFileAttributes(Name("plain.txt"), 0x1, error));
    EXPECT_EQ(pf::GetFileAttributes(Name("plain.txt"), error), 0x1);

    pf::FileHandle* file = pf::OpenFile(Name("plain.txt"), 0x2 | 0x80, error);
    ASSERT_NE(file, nullptr);
    FILETIME access = pf::FileTimeFromUnix(1000000000, 0);
    FILETIME write = pf::FileTimeFromUnix(1200000000, 300);
    ASSERT_TRUE(pf::SetFileTimes(file, nullptr, &access, &write, error));
    FILETIME gotAccess{}, gotWrite{}, creation{};
    ASSERT_TRUE(pf::GetFileTimes(file, &creation, &gotAccess, &gotWrite, error));
    EXPECT_EQ(gotAccess.dwLowDateTime, access.dwLowDateTime);
    EXPECT_EQ(gotWrite.dwHighDateTime, write.dwHighDateTime);
    EXPECT_EQ(gotWrite.dwLowDateTime, write.dwLowDateTime);
    EXPECT_NE(creation.dwHighDateTime, 0u);
    EXPECT_TRUE(pf::CloseFile(file, error));
}

TEST_F(PlatformFilesTest, NameOperationsReportWindowsCodes) {
    DWORD error = 0;
    fs::create_directory(Path("dir"));
    Put("a", "a");
    Put("b", "b");
    struct Case {
        const char* what;
        std::function<bool(DWORD&)> call;
        DWORD code;
    } cases[] = {
        {"open unmapped drive", [](DWORD& e) { return pf::OpenFile("Q:\\x", 0x2, e) != nullptr; },
         15},
        {"open directory", [&](DWORD& e) { return pf::OpenFile(Name("dir"), 0x2, e) != nullptr; },
         5},
        {"open missing", [&](DWORD& e) { return pf::OpenFile(Name("none"), 0x2, e) != nullptr; },
         2},
        {"delete directory", [&](DWORD& e) { return pf::DeleteFile(Name("dir"), e); }, 5},
        {"delete missing", [&](DWORD& e) { return pf::DeleteFile(Name("none"), e); }, 2},
        {"rename onto existing",
         [&](DWORD& e) { return pf::RenameFile(Name("a"), Name("b"), false, e); }, 183},
        {"mkdir existing", [&](DWORD& e) { return pf::CreateDirectory(Name("dir"), e); }, 183},
        {"mkdir below missing", [&](DWORD& e) { return pf::CreateDirectory(Name("x\\y"), e); }, 3},
    };
    for (const Case& c : cases) {
        error = 0;
        EXPECT_FALSE(c.call(error)) << c.what;
        EXPECT_EQ(error, c.code) << c.what;
    }
    EXPECT_TRUE(pf::RenameFile(Name("a"), Name("b"), true, error));
    EXPECT_EQ(Get("b"), "a");
    EXPECT_TRUE(pf::CreateDirectory(Name("dir\\sub"), error));

    pf::FailNthOperation(pf::EFailureSeam::Open, 2, EMFILE);
    pf::FileHandle* first = pf::OpenFile(Name("b"), 0x2 | 0x80, error);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(pf::OpenFile(Name("b"), 0x2 | 0x80, error), nullptr);
    EXPECT_EQ(error, 4u);
    pf::FileHandle* third = pf::OpenFile(Name("b"), 0x2 | 0x80, error);  // fired once
    EXPECT_NE(third, nullptr);
    pf::CloseFile(first, error);
    pf::CloseFile(third, error);
}

TEST_F(PlatformFilesTest, AppendingWritesGoToTheEnd) {
    Put("a.txt", "abc");
    DWORD error = 0;
    pf::FileHandle* file = pf::OpenFile(Name("a.txt"), 0x8, error);
    ASSERT_NE(file, nullptr);
    size_t done = 0;
    ASSERT_TRUE(pf::SetFileAppending(file, error));
    ASSERT_TRUE(pf::WriteFile(file, "d", 1, done, error));
    Put("a.txt", "wxyz");  // another writer grows the file meanwhile
    ASSERT_EQ(pf::SeekFile(file, 0, 0, error), 0);
    ASSERT_TRUE(pf::WriteFile(file, "e", 1, done, error));
    ASSERT_TRUE(pf::CloseFile(file, error));
    EXPECT_EQ(Get("a.txt"), "wxyze");
}

}  // namespace
