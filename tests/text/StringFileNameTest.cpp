#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/text/String.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

std::string S(const TSubString& sub) {
    return TString(sub).c_str();
}

// Exposes the protected completion members.
struct Name : TString {
    using TString::AddCurrentDrive;
    using TString::AddCurrentPath;
    using TString::TString;
};

}  // namespace

TEST(StringFileNameTest, DrivesAndPaths) {
    struct Case {
        const char* name;
        char drive, path;
        int index;
        const char *letter, *parent, *title, *stem, *ext, *dotExt;
    } cases[] = {
        {"C:\\dir\\name.tar.gz", 1, 1, 2, "C", "C:\\dir", "name.tar.gz", "name.tar", "gz", ".gz"},
        {"c:\\x", 1, 1, 2, "C", "c:", "x", "x", "", ""},
        {"1:\\x", 0, 1, -1, "", "1:", "x", "x", "", ""},
        {"file.txt", 0, 0, -1, "", "file.txt", "file.txt", "file", "txt", ".txt"},
        {"\\file.txt", 0, 1, -1, "", "", "file.txt", "file", "txt", ".txt"},
        {"C:\\file.txt", 1, 1, 2, "C", "C:", "file.txt", "file", "txt", ".txt"},
        {"C:\\dir.x\\name", 1, 1, 2, "C", "C:\\dir.x", "name", "name", "", ""},
        {"a.WAV", 0, 0, -1, "", "a.WAV", "a.WAV", "a", "WAV", ".WAV"},
        {"C:", 1, 0, 2, "C", "C:", "C:", "C:", "", ""},
        {"z", 0, 0, -1, "", "z", "z", "z", "", ""},
        {"", 0, 0, -1, "", "", "", "", "", ""},
        {"dir\\", 0, 1, -1, "", "dir", "", "", "", ""},
        {".profile", 0, 0, -1, "", ".profile", ".profile", "", "profile", ".profile"},
    };
    for (const Case& c : cases) {
        TString s(c.name);
        SCOPED_TRACE(c.name);
        EXPECT_EQ(s.ContainsDrive(), c.drive);
        EXPECT_EQ(s.ContainsPath(), c.path);
        int index = 99;
        EXPECT_EQ(S(s.GetDrive(&index)), c.letter);
        EXPECT_EQ(index, c.index);
        EXPECT_EQ(s.GetDriveIndex(), c.index);
        EXPECT_EQ(S(s.GetPath()), c.parent);
        EXPECT_EQ(S(s.GetTitle(1)), c.title);
        EXPECT_EQ(S(s.GetTitle(0)), c.stem);
        EXPECT_EQ(S(s.GetExtension(0)), c.ext);
        EXPECT_EQ(S(s.GetExtension(1)), c.dotExt);
    }
}

TEST(StringFileNameTest, ChangingDriveAndExtension) {
    EXPECT_STREQ(TString("dir\\f.txt").SetDrive(TString("D")).c_str(), "D:\\dir\\f.txt");
    EXPECT_STREQ(TString("C:\\f.txt").SetDrive(TString("D")).c_str(), "D:\\f.txt");
    EXPECT_STREQ(TString("\\x\\y").SetDrive(3).c_str(), "D:\\x\\y");
    EXPECT_STREQ(TString("").SetDrive(0).c_str(), "A:\\");
    EXPECT_STREQ(TString("C:\\x").PrependVolumeName(TString("\\\\srv\\share")).c_str(),
                 "\\\\srv\\share\\x");
    EXPECT_STREQ(TString("C").PrependVolumeName(TString("V")).c_str(), "V");

    struct Remove {
        const char *name, *known, *result;
    } removes[] = {
        {"song.AIF", "wav|aif", "song"},
        {"song.mp3", "wav|aif", "song.mp3"},
        {".profile", nullptr, ".profile"},
        {"a.b\\c", nullptr, "a.b\\c"},
        {"a.txt", nullptr, "a"},
        {"a.txt", "x|*", "a"},
        {"song.w", " wav | ", "song"},  // the present extension begins an item
        {"song.wave", "wav", "song.wave"},
        {"dir\\.x", "x", "dir\\"},
        {"", "wav", ""},
        {"a.", nullptr, "a"},
    };
    for (const Remove& r : removes)
        EXPECT_STREQ(TString(r.name).RemoveExtension(r.known).c_str(), r.result) << r.name;
    EXPECT_STREQ(TString("s.WAV").RemoveExtension(TString("wav")).c_str(), "s");

    struct Set {
        const char *name, *extension, *known, *result;
    } sets[] = {
        {"song.aif", "wav", "aif", "song.wav"},
        {"song", "wav", "aif", "song.wav"},
        {"song.mp3", "wav", "aif", "song.mp3.wav"},
        {"song.wav", "wav", "", "song.wav"},
        {"a.txt", "wav", nullptr, "a.txt.wav"},
        {"a..", "wav", nullptr, "a.wav"},
        {"a.txt", "", "txt", "a"},
        {"a.txt", nullptr, nullptr, "a"},
        {"...", "x", nullptr, ".x"},
    };
    for (const Set& s : sets)
        EXPECT_STREQ(TString(s.name).SetExtension(s.extension, s.known).c_str(), s.result)
            << s.name;

    TString top("unchanged");
    EXPECT_EQ(S(TString("\\a\\b\\c\\").GetPathBelow(&top)), "b\\c");
    EXPECT_STREQ(top.c_str(), "a");
    EXPECT_EQ(S(TString("a").GetPathBelow(&top)), "");
    EXPECT_STREQ(top.c_str(), "a");
    EXPECT_EQ(S(TString("\\\\").GetPathBelow(&top)), "");
    EXPECT_STREQ(top.c_str(), "");
    EXPECT_EQ(S(TString("x\\y").GetPathBelow(nullptr)), "y");
    EXPECT_STREQ(TString("").EnsureOneSlashAtTheEnd().c_str(), "\\");
    EXPECT_STREQ(TString("a\\").EnsureOneSlashAtTheEnd().c_str(), "a\\");
}

TEST(StringFileNameTest, ValidityAndSummary) {
    struct Valid {
        const char* name;
        char valid;
    } valids[] = {{"C:\\dir\\f.txt", 1}, {"c:\\F", 1},     {"C:\\dir\\", 0},
                  {"dir\\f.txt", 0},     {"", 0},          {"C:", 0},
                  {"C:\\a|b", 0},        {"C:\\a/b", 0},   {"1C:\\a", 0},
                  {"AB:\\x y\\z", 1},    {"C:\\a\\\\b", 0}};
    for (const Valid& v : valids) EXPECT_EQ(TString(v.name).IsValidFileName(), v.valid) << v.name;

    struct Summary {
        const char* name;
        uint32_t max;
        const char* result;
    } summaries[] = {
        {"C:\\f.txt", 0, "C:\\f.txt"},
        {"dir\\f.txt", 0, ""},
        {"C:\\a\\b\\c\\f.txt", 0, "C:\\a\\b\\...\\f.txt"},
        {"C:\\a\\b\\c\\f.txt", 100, "C:\\a\\b\\c\\f.txt"},
        {"C:\\a\\b\\c\\f.txt", 14, "C:\\a\\b\\c\\f.txt"},  // fits exactly
        {"C:\\a\\b\\c\\f.txt", 13, "C:\\...\\f.txt"},
        {"C:\\aaaa\\bbbb\\file.txt", 10, "...\\fil..."},
        {"C:\\aaaa\\bbbb\\file.txt", 2, ".."},  // below 3: the first characters
        {"C:\\aaaa\\bbbb\\file.txt", 3, "..."},
        {"C:", 1, "."},  // every shortened form is longer: "...\\C:" cut to one
        {"C:\\", 1, "."},
    };
    for (const Summary& s : summaries)
        EXPECT_EQ(S(TString(s.name).GetSummary(s.max)), s.result) << s.name << " " << s.max;
}

TEST(StringFileNameTest, RelativeAndAbsoluteNames) {
    struct Case {
        const char *directory, *file, *relative;
    } cases[] = {
        {"C:\\x\\y", "C:\\x\\z\\f.txt", "..\\z\\f.txt"},
        {"C:\\x", "C:\\x\\f.txt", "f.txt"},
        {"C:\\x", "D:\\x\\f.txt", ""},
        {"c:\\X\\", "C:/x/sub/f.txt", "sub\\f.txt"},
        {"C:\\a\\b", "C:\\a\\b", "..\\b"},  // the title is never dropped
        {"C:\\", "C:\\f", "f"},
        {"", "", ""},
        {"C:\\a", "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(S(TString::GetRelativeFileName(TString(c.directory), TString(c.file))),
                  c.relative)
            << c.directory << " " << c.file;

    struct Abs {
        const char *directory, *relative, *absolute;
    } absolutes[] = {
        {"C:\\a\\b", "..\\c\\f.txt", "C:\\a\\c\\f.txt"},
        {"C:\\a", "..\\..\\..\\f", "C:\\f"},  // never above the drive
        {"C:\\a", "", "C:\\a"},
        {"C:", "x/y", "C:\\x\\y"},
        {"", "f.txt", ""},
        {"  ", "..", ""},
    };
    for (const Abs& a : absolutes)
        EXPECT_EQ(S(TString::GetAbsoluteFileName(TString(a.directory), TString(a.relative))),
                  a.absolute)
            << a.directory << " " << a.relative;
    // Round trip through both.
    TString dir("C:\\music\\takes"), file("C:\\music\\mixes\\final.wav");
    TString rel(TString::GetRelativeFileName(dir, file));
    EXPECT_EQ(S(TString::GetAbsoluteFileName(dir, rel)), file.c_str());
}

TEST(StringFileNameTest, CompletionFromTheCurrentDirectory) {
    std::string cwd = cvq::platform::CurrentDirectoryName();
    ASSERT_FALSE(cwd.empty());
    std::string drive(1, char(std::toupper(static_cast<unsigned char>(cwd[0]))));
    EXPECT_EQ(S(TString::GetCurrentPath()), cwd);
    EXPECT_EQ(S(TString::GetCurrentDrive()), drive);

    EXPECT_EQ(std::string(Name("dir\\f.txt").AddCurrentDrive().c_str()), drive + ":\\dir\\f.txt");
    EXPECT_EQ(std::string(Name("").AddCurrentDrive().c_str()), drive + ":\\");
    EXPECT_EQ(std::string(Name("f.txt").AddCurrentPath().c_str()), cwd + "\\f.txt");
    EXPECT_EQ(std::string(TString("f.txt").EnsureFullFileName().c_str()), cwd + "\\f.txt");
    EXPECT_EQ(std::string(TString("d\\f.txt").EnsureFullFileName().c_str()), drive + ":\\d\\f.txt");
    EXPECT_STREQ(TString("E:f").EnsureFullFileName().c_str(), "E:f");
    EXPECT_STREQ(TString("E:\\d").AppendTitleAndMakeFullFileName(TString("\\t.wav")).c_str(),
                 "E:\\d\\t.wav");
    EXPECT_STREQ(TString("E:\\d\\").AppendTitleAndMakeFullFileName(TString("t")).c_str(),
                 "E:\\d\\t");
    EXPECT_EQ(std::string(TString("").AppendTitleAndMakeFullFileName(TString("t")).c_str()),
              drive + ":\\t");

    // At a drive's root the directory's own backslash is not doubled.
    auto saved = std::filesystem::current_path();
    std::filesystem::current_path("/");
    std::string root = cvq::platform::CurrentDirectoryName();
    std::string completed = Name("f.txt").AddCurrentPath().c_str();
    std::filesystem::current_path(saved);
    EXPECT_EQ(completed.find("\\\\"), std::string::npos) << root << " -> " << completed;
    EXPECT_EQ(completed.substr(completed.size() - 6), "\\f.txt");
}
