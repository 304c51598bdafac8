// The registry helpers over their files: found flags, types, letter case, escaping,
// writes that change nothing, damaged files, paths, and the folder lookup.
#include "RegistryTestSupport.h"

#include <commonvcqx/config/internal/RegistryTree.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

namespace {

using RegistryTest = cvq::test::RegistryFolder;
using cvq::test::ThrowsZero;

constexpr const char* kKey = "Software\\Maker\\App";

ino_t InodeOf(const std::string& path) {
    struct stat info = {};
    return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

TEST_F(RegistryTest, EveryHelperReportsWhatItFound) {
    char found = 9;
    EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, kKey, "Path", &found), TString());
    EXPECT_EQ(found, 0);
    EnsureRegistryString(HKEY_CURRENT_USER, kKey, "Path", "/opt/app", 1);
    EnsureRegistryLong(HKEY_CURRENT_USER, kKey, "Count", -7);
    EnsureRegistryString(HKEY_CURRENT_USER, kKey, nullptr, "default", 1);
    struct Case {
        const char* name;
        bool isString;
        char found;
        const char* text;
        int32_t number;
    } cases[] = {
        {"Path", true, 1, "/opt/app", 0}, {"Count", false, 1, "", -7},
        {"Path", false, 0, "", 0},        {"Count", true, 0, "", 0},  // wrong types
        {"Missing", true, 0, "", 0},      {"Missing", false, 0, "", 0},
        {nullptr, true, 1, "default", 0}, {"", true, 1, "default", 0},  // the default value
    };
    for (const Case& c : cases) {
        for (int fresh = 0; fresh < 2; ++fresh) {
            if (fresh) Forget();
            found = 9;
            if (c.isString) {
                EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, kKey, c.name, &found),
                          TString(c.text));
            } else {
                EXPECT_EQ(GetRegistryLong(HKEY_CURRENT_USER, kKey, c.name, &found), c.number);
            }
            EXPECT_EQ(found, c.found) << (c.name ? c.name : "(null)") << " fresh " << fresh;
        }
    }
    // A number written over a string changes the type.
    EnsureRegistryLong(HKEY_CURRENT_USER, kKey, "Path", 5);
    EXPECT_EQ(GetRegistryLong(HKEY_CURRENT_USER, kKey, "Path", &found), 5);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, kKey, "Path", nullptr), TString());
    // Roots are files of their own.
    EXPECT_EQ(GetRegistryLong(HKEY_LOCAL_MACHINE, kKey, "Count", &found), 0);
    EXPECT_EQ(found, 0);
}

TEST_F(RegistryTest, ListingAndWholeReadsMakeNothing) {
    std::vector<TString> keys{TString("stale")};
    std::vector<TRegistryValueInfo> values(2);
    EXPECT_FALSE(ListRegistryKey(HKEY_CURRENT_USER, kKey, &keys, &values));
    EXPECT_TRUE(keys.empty() && values.empty());
    TRegistryValueInfo value;
    EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, kKey, "Path", &value));
    EXPECT_FALSE(std::filesystem::exists(RootFile()));  // unlike the Get helpers

    const std::string longText(1500, 'x');  // too long for GetRegistryString
    EnsureRegistryString(HKEY_CURRENT_USER, kKey, "path", "/opt/app", 1);
    EnsureRegistryLong(HKEY_CURRENT_USER, kKey, "Count", -7);
    EnsureRegistryString(HKEY_CURRENT_USER, kKey, nullptr, "default", 1);
    EnsureRegistryString(HKEY_CURRENT_USER, kKey, "Long", longText.c_str(), 1);
    EnsureRegistryKey(HKEY_CURRENT_USER, "Software\\Maker\\App\\zeta");
    EnsureRegistryKey(HKEY_CURRENT_USER, "Software\\Maker\\App\\Beta\\Deeper");
    EnsureRegistryString(HKEY_CURRENT_USER, kKey, "PATH", "/usr/app", 1);  // keeps "path"

    ASSERT_TRUE(ListRegistryKey(HKEY_CURRENT_USER, kKey, &keys, &values));
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0], TString("Beta"));
    EXPECT_EQ(keys[1], TString("zeta"));
    struct Expected {
        const char* name;
        uint32_t type;
        std::string text;
        int32_t number;
    } expected[] = {{"", 1, "default", 0},
                    {"Count", 4, "", -7},
                    {"Long", 1, longText, 0},
                    {"path", 1, "/usr/app", 0}};
    ASSERT_EQ(values.size(), std::size(expected));
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(values[i].name, TString(expected[i].name)) << i;
        EXPECT_EQ(values[i].type, expected[i].type) << i;
        EXPECT_EQ(std::string(values[i].text.c_str()), expected[i].text) << i;
        EXPECT_EQ(values[i].number, expected[i].number) << i;
    }
    ASSERT_TRUE(ReadRegistryValue(HKEY_CURRENT_USER, kKey, "LONG", &value));
    EXPECT_EQ(value.text.GetLength(), longText.size());
    ASSERT_TRUE(ReadRegistryValue(HKEY_CURRENT_USER, kKey, nullptr, &value));
    EXPECT_EQ(value.text, TString("default"));
    EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, kKey, "Absent", &value));

    // The root itself, other roots, unknown roots and null lists.
    ASSERT_TRUE(ListRegistryKey(HKEY_CURRENT_USER, "", &keys, &values));
    EXPECT_EQ(keys.size(), 1u);
    EXPECT_TRUE(values.empty());
    EXPECT_TRUE(ListRegistryKey(HKEY_LOCAL_MACHINE, nullptr, &keys, &values));
    EXPECT_TRUE(keys.empty());
    EXPECT_TRUE(ListRegistryKey(HKEY_CURRENT_USER, kKey, nullptr, nullptr));
    EXPECT_FALSE(ListRegistryKey(reinterpret_cast<HKEY>(uintptr_t(7)), "", &keys, nullptr));
    EXPECT_FALSE(ReadRegistryValue(reinterpret_cast<HKEY>(uintptr_t(7)), "", "", &value));
    EXPECT_FALSE(std::filesystem::exists(RootFile("HKEY_LOCAL_MACHINE")));

    // A value holding a NUL byte, as a hand-edited file may, comes back whole.
    Put("HKEY_CURRENT_USER\r\n{\r\n\tK\r\n\t{\r\n\t\tsz:v=a%00b\r\n\t}\r\n}\r\n");
    ASSERT_TRUE(ReadRegistryValue(HKEY_CURRENT_USER, "K", "v", &value));
    EXPECT_EQ(std::string(value.text.c_str(), value.text.GetLength()), std::string("a\0b", 3));
}

TEST_F(RegistryTest, UnknownRootsAndUnwritableFolders) {
    HKEY bogus = reinterpret_cast<HKEY>(uintptr_t(0x1234));
    EXPECT_TRUE(ThrowsZero([&] { EnsureRegistryKey(bogus, kKey); }));
    EXPECT_TRUE(ThrowsZero([&] { EnsureRegistryLong(bogus, kKey, "x", 1); }));
    char found = 9;
    EXPECT_EQ(GetRegistryLong(bogus, kKey, "x", &found), 0);
    EXPECT_EQ(found, 0);
    // The 32-bit spelling of a root is the same root.
    EnsureRegistryLong(reinterpret_cast<HKEY>(uintptr_t(0x80000001u)), kKey, "x", 3);
    EXPECT_EQ(GetRegistryLong(HKEY_CURRENT_USER, kKey, "x", &found), 3);

    const std::string blocker = Path("file");
    std::ofstream(blocker) << "x";
    SetRegistryDirectory((blocker + "/registry").c_str());
    EXPECT_TRUE(ThrowsZero([&] { EnsureRegistryString(HKEY_CURRENT_USER, kKey, "a", "b", 1); }));
    EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, kKey, "a", &found), TString());
    EXPECT_EQ(found, 0);
    // A folder that does not exist yet is made, all the way down.
    SetRegistryDirectory(Path("deep/er/registry").c_str());
    EnsureRegistryKey(HKEY_USERS, "x");
    EXPECT_TRUE(std::filesystem::exists(Path("deep/er/registry/HKEY_USERS.reg")));
}

TEST_F(RegistryTest, NamesMatchIgnoringCaseAndKeepTheirSpelling) {
    EnsureRegistryString(HKEY_CURRENT_USER, "Software\\Maker", "WindowPos", "10,20", 1);
    char found = 0;
    EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, "SOFTWARE\\maker", "windowpos", &found),
              TString("10,20"));
    EXPECT_EQ(found, 1);
    EnsureRegistryString(HKEY_CURRENT_USER, "software\\MAKER", "WINDOWPOS", "30,40", 1);
    const std::string text = Contents();
    EXPECT_NE(text.find("\tSoftware\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("sz:WindowPos=30,40"), std::string::npos) << text;
    EXPECT_EQ(text.find("MAKER"), std::string::npos) << text;
}

TEST_F(RegistryTest, WritesThatChangeNothingWriteNothing) {
    EnsureRegistryString(HKEY_CURRENT_USER, kKey, "Mode", "Fast", 1);
    EnsureRegistryLong(HKEY_CURRENT_USER, kKey, "Level", 3);
    const ino_t written = InodeOf(RootFile());
    ASSERT_NE(written, ino_t(0));
    EnsureRegistryString(HKEY_CURRENT_USER, kKey, "Mode", "Fast", 1);
    EnsureRegistryString(HKEY_CURRENT_USER, kKey, "mode", "FAST", 0);  // case ignored
    EnsureRegistryLong(HKEY_CURRENT_USER, kKey, "LEVEL", 3);
    EnsureRegistryKey(HKEY_CURRENT_USER, "software\\maker");
    Forget();
    EnsureRegistryLong(HKEY_CURRENT_USER, kKey, "Level", 3);
    EXPECT_EQ(InodeOf(RootFile()), written);
    // Case-sensitive: the other spelling of the text is a change.
    EnsureRegistryString(HKEY_CURRENT_USER, kKey, "Mode", "FAST", 1);
    EXPECT_NE(InodeOf(RootFile()), written);
    EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, kKey, "Mode", nullptr), TString("FAST"));
}

// The name as a subkey one level below K ("\\" would split it).
std::string KeyFor(std::string name) {
    for (char& c : name)
        if (c == '\\') c = '_';
    return "K\\" + (name.empty() ? std::string("x") : name);
}

TEST_F(RegistryTest, AnyTextRoundTrips) {
    const std::vector<std::string> texts = {
        "",         "=",         "==x",           "{",
        "}",        "a=b",       "line\r\nbreak", " lead",
        "trail ",   "\t",        "%41%",          "/x:y\\",
        "\x7f\x01", "(key)",     "sz:n=v",        "\xe4\xf6\xfc",
        "#1",       "dword:x=1",
    };
    for (size_t i = 0; i < texts.size(); ++i) {
        const std::string name = texts[i];
        const std::string value = texts[texts.size() - 1 - i];
        const std::string key = KeyFor(name);
        EnsureRegistryString(HKEY_CLASSES_ROOT, key.c_str(), name.c_str(), value.c_str(), 1);
        EnsureRegistryLong(HKEY_CLASSES_ROOT, key.c_str(), (name + "#").c_str(), int32_t(i) - 9);
    }
    Forget();
    for (size_t i = 0; i < texts.size(); ++i) {
        const std::string name = texts[i];
        const std::string value = texts[texts.size() - 1 - i];
        const std::string key = KeyFor(name);
        char found = 0;
        EXPECT_EQ(
            std::string(
                GetRegistryString(HKEY_CLASSES_ROOT, key.c_str(), name.c_str(), &found).c_str()),
            value)
            << "name " << name;
        EXPECT_EQ(found, 1) << "name " << name;
        EXPECT_EQ(GetRegistryLong(HKEY_CLASSES_ROOT, key.c_str(), (name + "#").c_str(), &found),
                  int32_t(i) - 9);
    }
    // Extremes of the 32-bit number.
    EnsureRegistryLong(HKEY_CLASSES_ROOT, "N", "min", INT32_MIN);
    EnsureRegistryLong(HKEY_CLASSES_ROOT, "N", "max", INT32_MAX);
    Forget();
    EXPECT_EQ(GetRegistryLong(HKEY_CLASSES_ROOT, "N", "min", nullptr), INT32_MIN);
    EXPECT_EQ(GetRegistryLong(HKEY_CLASSES_ROOT, "N", "max", nullptr), INT32_MAX);
}

TEST_F(RegistryTest, LongTextsCountAsAbsentWhenRead) {
    const std::string fits(999, 'a'), tooLong(1000, 'b');
    EnsureRegistryString(HKEY_CURRENT_USER, kKey, "fits", fits.c_str(), 1);
    EnsureRegistryString(HKEY_CURRENT_USER, kKey, "long", tooLong.c_str(), 1);
    char found = 0;
    EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, kKey, "fits", &found).GetLength(), 999u);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, kKey, "long", &found), TString());
    EXPECT_EQ(found, 0);
    // Ensure compares the whole text, so the long value is not written again.
    const ino_t written = InodeOf(RootFile());
    EnsureRegistryString(HKEY_CURRENT_USER, kKey, "long", tooLong.c_str(), 1);
    EXPECT_EQ(InodeOf(RootFile()), written);
}

TEST_F(RegistryTest, SubkeyPaths) {
    EnsureRegistryLong(HKEY_CURRENT_USER, "\\a\\\\b\\", "v", 1);
    EXPECT_EQ(GetRegistryLong(HKEY_CURRENT_USER, "a\\b", "v", nullptr), 1);
    EnsureRegistryLong(HKEY_CURRENT_USER, nullptr, "top", 2);
    EXPECT_EQ(GetRegistryLong(HKEY_CURRENT_USER, "", "top", nullptr), 2);
    EXPECT_EQ(GetRegistryLong(HKEY_CURRENT_USER, "\\", "top", nullptr), 2);
    // A key without values survives the file.
    EnsureRegistryKey(HKEY_CURRENT_USER, "empty\\one");
    Forget();
    EnsureRegistryKey(HKEY_CURRENT_USER, "empty\\one");
    EXPECT_NE(Contents().find("(key)"), std::string::npos);
    const ino_t written = InodeOf(RootFile());
    EnsureRegistryKey(HKEY_CURRENT_USER, "EMPTY\\One");
    EXPECT_EQ(InodeOf(RootFile()), written);
    // Reading a missing key makes it, as opening it does on Windows.
    char found = 9;
    GetRegistryString(HKEY_CURRENT_USER, "made\\by\\reading", "x", &found);
    EXPECT_EQ(found, 0);
    Forget();
    EXPECT_NE(Contents().find("reading"), std::string::npos);
    // 512 levels can be made, not 513.
    std::string deep;
    for (int i = 0; i < cvq::registry::kMaxKeyDepth; ++i) deep += "d\\";
    EnsureRegistryLong(HKEY_CURRENT_CONFIG, deep.c_str(), "bottom", 4);
    Forget();
    EXPECT_EQ(GetRegistryLong(HKEY_CURRENT_CONFIG, deep.c_str(), "bottom", nullptr), 4);
    deep += "d";
    EXPECT_TRUE(ThrowsZero([&] { EnsureRegistryKey(HKEY_CURRENT_CONFIG, deep.c_str()); }));
    char deepFound = 9;
    EXPECT_EQ(GetRegistryLong(HKEY_CURRENT_CONFIG, deep.c_str(), "bottom", &deepFound), 0);
    EXPECT_EQ(deepFound, 0);
}

TEST_F(RegistryTest, DamagedFilesAreReadAsFarAsTheyAreSound) {
    Put("HKEY_CURRENT_USER\r\n{\r\n\tApp\r\n\t{\r\n\t\tsz:Good=yes\r\n\t\tdword:Num=12\r\n"
        "\t\tdword:Bad=12abc\r\n\t\tjunk line\r\n\t\tsz:%4=%zz\r\n\t\t=odd\r\n\t\t{\r\n"
        "\t}\r\n\tsz:Cut=unfinished");
    char found = 0;
    EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, "App", "Good", &found), TString("yes"));
    EXPECT_EQ(GetRegistryLong(HKEY_CURRENT_USER, "App", "Num", &found), 12);
    EXPECT_EQ(GetRegistryLong(HKEY_CURRENT_USER, "App", "Bad", &found), 0);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, "App", "%4", &found), TString("%zz"));
    // "=odd" before a "{" opened a group, so the file ends inside App.
    EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, "App", "Cut", &found), TString("unfinished"));
    // A change keeps what was sound.
    EnsureRegistryLong(HKEY_CURRENT_USER, "App", "New", 1);
    Forget();
    EXPECT_EQ(GetRegistryString(HKEY_CURRENT_USER, "App", "Good", &found), TString("yes"));
    EXPECT_EQ(GetRegistryLong(HKEY_CURRENT_USER, "App", "New", &found), 1);
    // Bytes that are no text at all, and nesting beyond every limit.
    for (const std::string& damage :
         {std::string("\0\0\xff{{{}}}=\n\r", 12), std::string(3000, '{'), [] {
              std::string nested = "R\n";
              for (int i = 0; i < 1500; ++i) nested += "{\ng\n";
              return nested;
          }()}) {
        Put(damage);
        Forget();
        EXPECT_EQ(GetRegistryLong(HKEY_CURRENT_USER, "App", "New", &found), 0);
        EXPECT_EQ(found, 0);
        EnsureRegistryLong(HKEY_CURRENT_USER, "App", "New", 2);
        EXPECT_EQ(GetRegistryLong(HKEY_CURRENT_USER, "App", "New", &found), 2);
    }
}

TEST_F(RegistryTest, ChangesMadeByOthersAreSeen) {
    EnsureRegistryLong(HKEY_CURRENT_USER, kKey, "v", 1);
    EXPECT_EQ(GetRegistryLong(HKEY_CURRENT_USER, kKey, "v", nullptr), 1);
    // Another program rewrites the file in place, same size.
    std::string text = Contents();
    const size_t at = text.find("dword:v=1");
    ASSERT_NE(at, std::string::npos);
    text[at + 8] = '7';
    Put(text);
    EXPECT_EQ(GetRegistryLong(HKEY_CURRENT_USER, kKey, "v", nullptr), 7);
    EnsureRegistryLong(HKEY_CURRENT_USER, kKey, "w", 2);  // keeps the other program's 7
    Forget();
    EXPECT_EQ(GetRegistryLong(HKEY_CURRENT_USER, kKey, "v", nullptr), 7);
}

TEST(RegistryDirectory, DefaultFollowsTheEnvironment) {
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string keep = saved ? saved : "";
    SetRegistryDirectory(nullptr);
    setenv("XDG_CONFIG_HOME", "/srv/conf", 1);
    EXPECT_EQ(GetRegistryDirectory(), TString("/srv/conf/CommonVcQx/registry"));
    SetRegistryDirectory("/var/reg");
    EXPECT_EQ(GetRegistryDirectory(), TString("/var/reg"));
    SetRegistryDirectory("");
    EXPECT_EQ(GetRegistryDirectory(), TString("/srv/conf/CommonVcQx/registry"));
    if (saved)
        setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
