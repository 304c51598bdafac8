// The platform's folder listings: patterns, order, the Windows attribute bits, the
// data completed on demand, links and the codes of failures.
#include <commonvcqx/files/FileName.h>
#include <commonvcqx/platform/internal/FindFiles.h>

#include "FileTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace pf = cvq::platform;
using FindFilesTest = cvq::test::ScratchFolder;

TEST(FindFilesPattern, MatchesAsWindowsDoes) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    } cases[] = {
        {"*", "a.b.c", true},
        {"*.*", "noext", true},
        {"*.wav", "A.WAV", true},
        {"*.wav", "a.wav.txt", false},
        {"a*c", "abbbc", true},
        {"a*c", "abbb", false},
        {"*a*a", "banana", true},
        {"?.wav", "a.wav", true},
        {"?.wav", "ab.wav", false},
        {"Take.WAV", "take.wav", true},
        {"take.wav. ", "take.wav", true},  // trailing dots
        {"take*.", "take", false},
        {"", "a", false},
        {"**x", "x", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pf::MatchesFindPattern(c.pattern, c.name), c.matches)
            << c.pattern << " " << c.name;
}

TEST_F(FindFilesTest, ListsInOrderWithWindowsAttributes) {
    for (const char* file : {"b.txt", ".hid", "A.wav", "a.wav", "10.wav", "-x"}) Put(file, "abcd");
    fs::create_directory(Path("dir"));
    fs::create_directory_symlink("dir", Path("link"));
    fs::create_symlink("nowhere", Path("dangling"));
    fs::permissions(Path("b.txt"), fs::perms::owner_read | fs::perms::group_read);

    struct Seen {
        std::string name;
        DWORD attributes;
    };
    std::vector<Seen> seen;
    WIN32_FIND_DATAA entry;
    DWORD error = 0;
    pf::TFindHandle* find = pf::FindFirstFile(Name("*.*"), &CompareFileNames, entry, error);
    ASSERT_NE(find, nullptr);
    do {
        seen.push_back({entry.cFileName, entry.dwFileAttributes});
        EXPECT_EQ(entry.nFileSizeLow, 0u);  // nothing stat'ed yet
        if (std::string(entry.cFileName) == "b.txt") {
            ASSERT_TRUE(pf::CompleteFindData(find, entry, error));
            EXPECT_EQ(entry.dwFileAttributes, FILE_ATTRIBUTE_READONLY);
            EXPECT_EQ(entry.nFileSizeLow, 4u);
            EXPECT_EQ(entry.nFileSizeHigh, 0u);
            EXPECT_NE(entry.ftLastWriteTime.dwHighDateTime, 0u);
            EXPECT_NE(entry.ftCreationTime.dwHighDateTime, 0u);
        }
    } while (pf::FindNextFile(find, entry, error));
    EXPECT_EQ(error, ERROR_NO_MORE_FILES);
    pf::FindClose(find);

    const DWORD dir = FILE_ATTRIBUTE_DIRECTORY, normal = FILE_ATTRIBUTE_NORMAL;
    std::vector<Seen> expected = {
        {".", dir},           {"..", dir},       {"-x", normal},    {".hid", FILE_ATTRIBUTE_HIDDEN},
        {"10.wav", normal},   {"A.wav", normal}, {"a.wav", normal}, {"b.txt", normal},
        {"dangling", normal}, {"dir", dir},      {"link", dir},
    };
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].name, expected[i].name) << i;
        EXPECT_EQ(seen[i].attributes, expected[i].attributes) << seen[i].name;
    }

    // A plain name is found in either case; a link lists the folder it points to.
    find = pf::FindFirstFile(Name("A.WAV"), &CompareFileNames, entry, error);
    ASSERT_NE(find, nullptr);
    EXPECT_STREQ(entry.cFileName, "A.wav");
    ASSERT_TRUE(pf::FindNextFile(find, entry, error));
    EXPECT_STREQ(entry.cFileName, "a.wav");
    EXPECT_FALSE(pf::FindNextFile(find, entry, error));
    pf::FindClose(find);
    uint64_t device[2] = {}, inode[2] = {};
    for (int i = 0; i < 2; ++i) {
        find = pf::FindFirstFile(Name(i ? "link\\*" : "dir\\*"), nullptr, entry, error);
        ASSERT_NE(find, nullptr);
        EXPECT_TRUE(pf::GetFindFolderId(find, device[i], inode[i]));
        pf::FindClose(find);
    }
    EXPECT_EQ(device[0], device[1]);
    EXPECT_EQ(inode[0], inode[1]);
}

TEST_F(FindFilesTest, FailuresCarryWindowsCodes) {
    Put("file", "x");
    WIN32_FIND_DATAA entry;
    struct Case {
        std::string search;
        DWORD error;
    } cases[] = {
        {Name("missing\\*.*"), ERROR_PATH_NOT_FOUND},
        {Name("file\\*.*"), ERROR_PATH_NOT_FOUND},
        {Name("*.none"), ERROR_FILE_NOT_FOUND},
        {"Q:\\*.*", ERROR_INVALID_DRIVE},
    };
    for (const Case& c : cases) {
        DWORD error = 0;
        EXPECT_EQ(pf::FindFirstFile(c.search, &CompareFileNames, entry, error), nullptr);
        EXPECT_EQ(error, c.error) << c.search;
    }
    // An entry removed after the listing cannot be completed.
    DWORD error = 0;
    pf::TFindHandle* find = pf::FindFirstFile(Name("file"), nullptr, entry, error);
    ASSERT_NE(find, nullptr);
    fs::remove(Path("file"));
    EXPECT_FALSE(pf::CompleteFindData(find, entry, error));
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
    pf::FindClose(find);
}

}  // namespace
