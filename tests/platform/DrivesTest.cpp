#include <commonvcqx/platform/Drives.h>

#include "../support/ScratchFolder.h"

#include <gtest/gtest.h>
#include <filesystem>

namespace {

// Keeps each test's drive mappings and working directory to itself.
class DrivesTest : public testing::Test {
protected:
    void SetUp() override { m_saved = std::filesystem::current_path(); }
    void TearDown() override {
        for (char letter = 'A'; letter <= 'Z'; ++letter) UnmapDrive(letter);
        MapDrive('C', "/");
        std::filesystem::current_path(m_saved);
    }

    static std::string Native(std::string_view name) {
        std::string native = "<untouched>";
        NativePathFromFileName(name, native);
        return native;
    }

private:
    std::filesystem::path m_saved;
};

}  // namespace

TEST_F(DrivesTest, DefaultMapsOnlyDriveCToTheRoot) {
    EXPECT_EQ(GetDriveRoot('C'), "/");
    EXPECT_EQ(GetDriveRoot('c'), "/");
    for (char letter : {'A', 'B', 'D', 'Z'}) EXPECT_EQ(GetDriveRoot(letter), "") << letter;
    EXPECT_EQ(GetDriveRoot('1'), "");
}

TEST_F(DrivesTest, LibraryNamesBecomeNativePaths) {
    ASSERT_TRUE(MapDrive('d', "/mnt/data///"));
    struct Case {
        const char* name;
        const char* native;
    } cases[] = {
        {"C:\\home\\ann\\song.wav", "/home/ann/song.wav"},
        {"c:\\home\\ann\\", "/home/ann"},
        {"C:\\", "/"},
        {"C:", "/"},
        {"C:/home\\ann//x", "/home/ann/x"},  // mixed and doubled separators
        {"C:\\home\\.\\ann\\..\\bob", "/home/bob"},
        {"C:\\..\\..\\etc", "/etc"},  // never above the drive's root
        {"D:\\takes\\one.wav", "/mnt/data/takes/one.wav"},
        {"D:\\..\\secret", "/mnt/data/secret"},
        {"D:", "/mnt/data"},
        {"/usr/lib/x.so", "/usr/lib/x.so"},  // native names pass unchanged
        {"/a\\b", "/a\\b"},
        {"sub\\dir/file.txt", "sub/dir/file.txt"},  // relative stays relative
        {"..\\up", "../up"},
    };
    for (const Case& c : cases) EXPECT_EQ(Native(c.name), c.native) << c.name;
}

TEST_F(DrivesTest, BadNamesAreRefused) {
    for (const char* name : {"", "E:\\x", "Q:", "\\\\server\\share\\x", "//"}) {
        std::string native = "kept";
        bool translated = NativePathFromFileName(name, native);
        if (std::string_view(name) == "//") {
            EXPECT_TRUE(translated);  // a native path
            continue;
        }
        EXPECT_FALSE(translated) << name;
        EXPECT_EQ(native, "kept") << name;
    }
    EXPECT_FALSE(MapDrive('1', "/tmp"));
    EXPECT_FALSE(MapDrive('E', "relative/root"));
    EXPECT_FALSE(MapDrive('E', ""));
    EXPECT_EQ(GetDriveRoot('E'), "");
}

TEST_F(DrivesTest, UnmappedDriveNoLongerTranslates) {
    ASSERT_TRUE(MapDrive('E', "/media/usb"));
    EXPECT_EQ(Native("E:\\a"), "/media/usb/a");
    UnmapDrive('e');
    EXPECT_EQ(Native("E:\\a"), "<untouched>");
    UnmapDrive('C');
    EXPECT_EQ(Native("C:\\home"), "<untouched>");
    EXPECT_EQ(FileNameFromNativePath("/home/ann"), "/home/ann");  // no root holds it
}

TEST_F(DrivesTest, NativePathsBecomeLibraryNamesByTheLongestRoot) {
    ASSERT_TRUE(MapDrive('D', "/mnt/data"));
    ASSERT_TRUE(MapDrive('F', "/mnt/data"));  // equal roots: the lowest letter
    ASSERT_TRUE(MapDrive('G', "/mnt/data/deep"));
    struct Case {
        const char* native;
        const char* name;
    } cases[] = {
        {"/home/ann/song.wav", "C:\\home\\ann\\song.wav"},
        {"/", "C:\\"},
        {"/mnt/data", "D:\\"},
        {"/mnt/data/x", "D:\\x"},
        {"/mnt/database", "C:\\mnt\\database"},  // a root matches whole components only
        {"/mnt/data/deep/y", "G:\\y"},
        {"//double//slash", "C:\\double\\slash"},
        {"rel/path", "rel\\path"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(FileNameFromNativePath(c.native), c.name) << c.native;
}

TEST_F(DrivesTest, RoundTripsThroughBothDirections) {
    ASSERT_TRUE(MapDrive('D', "/mnt/data"));
    for (const char* native : {"/home/ann/a b.wav", "/mnt/data/takes/1.wav", "/mnt/data"}) {
        std::string back;
        ASSERT_TRUE(NativePathFromFileName(FileNameFromNativePath(native), back));
        EXPECT_EQ(back, native);
    }
}

TEST_F(DrivesTest, RootedNamesWithoutDriveLieOnTheCurrentDrive) {
    const cvq::test::TScratchFolder temp("cvq_drives");
    std::filesystem::create_directories(temp.Path("inner"));
    std::filesystem::current_path(temp.Path("inner"));
    ASSERT_TRUE(MapDrive('T', temp.Path()));
    EXPECT_EQ(cvq::platform::CurrentDirectoryName(), "T:\\inner");
    EXPECT_EQ(Native("\\file.txt"), temp.Path("file.txt"));
    UnmapDrive('T');
    EXPECT_EQ(cvq::platform::CurrentDirectoryName(), FileNameFromNativePath(temp.Path("inner")));
    EXPECT_EQ(Native("\\file.txt"), "/file.txt");
}
