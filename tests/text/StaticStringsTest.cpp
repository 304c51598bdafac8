#include <commonvcqx/platform/internal/HostStrings.h>
#include <commonvcqx/text/StaticStrings.h>

#include "../support/ScratchFolder.h"

#include <gtest/gtest.h>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

// Builds a table block the way a host lays one out: header, sorted entries, texts.
class TableBuilder {
public:
    TableBuilder(std::initializer_list<std::pair<int32_t, const char*>> strings) {
        size_t entryBytes = (strings.size() + 1) * sizeof(TStringEntry);
        size_t textBytes = 0;
        for (const auto& s : strings) textBytes += std::strlen(s.second) + 1;
        m_block.resize((entryBytes + textBytes) / sizeof(TStringEntry) + 1);
        auto* entries = m_block.data();
        entries[0] = {0, int32_t(strings.size())};
        char* base = reinterpret_cast<char*>(entries);
        size_t offset = entryBytes;
        int i = 1;
        for (const auto& s : strings) {
            entries[i++] = {s.first, int32_t(offset)};
            std::strcpy(base + offset, s.second);
            offset += std::strlen(s.second) + 1;
        }
    }
    const TStringEntry* Table() const { return m_block.data(); }

private:
    std::vector<TStringEntry> m_block;
};

// Leaves no table registered for the next test.
class StaticStringsTest : public testing::Test {
protected:
    void TearDown() override {
        NotifyStringTable(nullptr);
        cvq::platform::SetHostStringsFile(nullptr);
    }
};

}  // namespace

TEST_F(StaticStringsTest, BuiltInTableHoldsTheFileErrorMessages) {
    struct Case {
        int id;
        const char* text;
    } cases[] = {
        {18000, "%s\nAn error occurred. This file could not be opened."},
        {18008, "Invalid directory name."},
        {18009,
         "This file is already in use by an application. It can therefore not be "
         "overwritten. Please use another name."},
        {18010,
         "A file with this name already exists. Do you want to make a backup of this file "
         "before saving the new one? (In the backup, the first letter in the extension "
         "will be changed to a ~)?"},
        {18012, "File error"},
        {18019, "There is not enough disk space on partition %s."},
        {18025,
         "%s\nThis file could not be accessed. It is already in use by some other "
         "application. This application must be finished before the file can be accessed"},
        {18026,
         "File error caused by lack of space in the virtual memory file. Please increase "
         "the size of the virtual memory file in the Windows' Control Panel (Virtual "
         "Memory settings)."},
    };
    for (const Case& c : cases) EXPECT_STREQ(GetStaticString(c.id), c.text) << c.id;
    for (int id = 18000; id <= 18026; ++id) {
        EXPECT_STRNE(GetStaticString(id), "***") << id;
        EXPECT_GT(std::strlen(GetStaticString(id)), 9u) << id;
    }
    for (int id : {0, -1, 17999, 18027, 18029}) EXPECT_STREQ(GetStaticString(id), "***") << id;
}

TEST_F(StaticStringsTest, RegisteredTableIsSearchedAndReplacesTheBuiltIns) {
    TableBuilder table{
        {-5, "minus"}, {1, "one"}, {7, "seven"}, {18008, "Bad folder."}, {18030, "Host text"}};
    NotifyStringTable(table.Table());
    struct Case {
        int id;
        const char* text;
    } cases[] = {
        {-5, "minus"},        {1, "one"}, {7, "seven"}, {18008, "Bad folder."},
        {18030, "Host text"}, {0, ""},    {2, ""},      {18000, ""},
        {99999, ""},  // absent: "", not the built-in
    };
    for (const Case& c : cases) EXPECT_STREQ(GetStaticString(c.id), c.text) << c.id;

    NotifyStringTable(nullptr);
    EXPECT_STREQ(GetStaticString(18008), "Invalid directory name.");

    TableBuilder empty{};
    NotifyStringTable(empty.Table());
    EXPECT_STREQ(GetStaticString(1), "");
}

TEST_F(StaticStringsTest, ReferenceFormResolvesIdsOnceAndPassesTextsThrough) {
    const char* text = "as it is";
    const char* ref = text;
    EXPECT_EQ(GetStaticString(ref), text);

    // Without a registered table an id resolves as GetStaticString(int) does.
    ref = reinterpret_cast<const char*>(uintptr_t{18012});
    EXPECT_STREQ(GetStaticString(ref), "File error");
    EXPECT_STREQ(ref, "File error");
    ref = reinterpret_cast<const char*>(uintptr_t{0x10000});
    EXPECT_STREQ(GetStaticString(ref), "***");

    TableBuilder table{{42, "answer"}};
    NotifyStringTable(table.Table());
    ref = reinterpret_cast<const char*>(uintptr_t{42});
    const char* found = GetStaticString(ref);
    EXPECT_STREQ(found, "answer");
    EXPECT_EQ(ref, found);  // overwritten: the next call returns it directly
    NotifyStringTable(nullptr);
    EXPECT_EQ(GetStaticString(ref), found);
}

TEST_F(StaticStringsTest, LocalizedModuleHandleIsOnlyKept) {
    auto* module = reinterpret_cast<HINSTANCE>(uintptr_t{0x1234});
    NotifyLocalizedStringDll(module);
    EXPECT_EQ(GetLocalizedStringDll(), module);
    NotifyLocalizedStringDll(nullptr);
    EXPECT_EQ(GetLocalizedStringDll(), nullptr);
}

TEST_F(StaticStringsTest, HostResourcesAnswerAfterTheBuiltIns) {
    const cvq::test::TScratchFolder folder("cvq_strings");
    const std::string file = folder.Path("host.strings");
    {
        std::ofstream out(file, std::ios::binary);
        out << "20001=Host text\r\n"
            << "20002=Two\\nlines\\tand a \\\\ backslash\n"
            << "# a comment\n"
            << "18008=not the built-in\n"
            << "20003=\n"  // empty: "***" as if absent
            << "20004=" << std::string(1200, 'x') << "\n"
            << "20001=second line of an id\n";
    }
    cvq::platform::SetHostStringsFile(file.c_str());
    EXPECT_STREQ(GetStaticString(20001), "Host text");
    EXPECT_STREQ(GetStaticString(20002), "Two\nlines\tand a \\ backslash");
    EXPECT_STREQ(GetStaticString(18008), "Invalid directory name.");
    EXPECT_STREQ(GetStaticString(20003), "***");
    EXPECT_EQ(std::strlen(GetStaticString(20004)), 999u);
    EXPECT_STREQ(GetStaticString(20005), "***");
    const char* kept = GetStaticString(20001);
    // A registered table hides the resources.
    TableBuilder table{{1, "one"}};
    NotifyStringTable(table.Table());
    EXPECT_STREQ(GetStaticString(20001), "");
    NotifyStringTable(nullptr);
    std::filesystem::remove(file);
    cvq::platform::SetHostStringsFile(file.c_str());  // gone: nothing found any more
    EXPECT_STREQ(GetStaticString(20001), "***");
    EXPECT_STREQ(kept, "Host text");  // texts handed out stay valid
}

TEST_F(StaticStringsTest, BuildStringFormatsTheStaticString) {
    EXPECT_EQ(BuildString(18019, "D:"), "There is not enough disk space on partition D:.");
    TableBuilder table{{1, "%d items in %s"}, {2, ""}, {3, "%s"}};
    NotifyStringTable(table.Table());
    EXPECT_EQ(BuildString(1, 3, "box"), "3 items in box");
    EXPECT_EQ(BuildString(2, 3), "");
    // The result is at most 2047 characters; longer output is cut, not overrun.
    const std::string big(5000, 'y');
    EXPECT_EQ(std::strlen(BuildString(3, big.c_str())), 2047u);

    const char* ref = reinterpret_cast<const char*>(uintptr_t{1});
    EXPECT_EQ(BuildString(&ref, 4, "bag"), "4 items in bag");
    EXPECT_STREQ(ref, "%d items in %s");
    const char* direct = "[%s]";
    EXPECT_EQ(BuildString(&direct, "x"), "[x]");

    char buffer[64] = "untouched";
    EXPECT_EQ(BuildString(buffer, 2, 5), buffer);
    EXPECT_STREQ(buffer, "untouched");  // empty static string: buffer left as it is
    EXPECT_STREQ(BuildString(buffer, 1, 5, "tin"), "5 items in tin");
    ref = reinterpret_cast<const char*>(uintptr_t{1});
    EXPECT_STREQ(BuildString(buffer, &ref, 6, "jar"), "6 items in jar");

    CopyString(buffer, 3);
    EXPECT_STREQ(buffer, "%s");
    ref = reinterpret_cast<const char*>(uintptr_t{1});
    CopyString(buffer, ref);
    EXPECT_STREQ(buffer, "%d items in %s");
    EXPECT_STREQ(ref, "%d items in %s");
}
