#include <commonvcqx/platform/internal/ModuleTexts.h>

#include "../support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace pf = cvq::platform;

TEST(ModuleTextsTest, StringLinesNeedANumberAnEqualsSignAndKeepTheFirst) {
    const pf::TStringTable table = pf::ParseStringTable(
        "1=one\r\n"
        "2=Two\\nlines\\tand \\\\ \\q\n"
        "# 3=comment\n"
        "x4=no number\n"
        " 5=leading blank\n"
        "6 =blank before equals\n"
        "7\n"
        "=no id\n"
        "-8=negative\n"
        "+9=plus\n"
        "99999999999=saturates\n"
        "1=second one\n"
        "10=\n"
        "11=" +
        std::string(1200, 'y') +
        "\n"
        "12=trailing backslash\\");
    const pf::TStringTable expected = {
        {1, "one"},
        {2, "Two\nlines\tand \\ \\q"},
        {-8, "negative"},
        {9, "plus"},
        {INT32_MAX, "saturates"},
        {10, ""},
        {11, std::string(999, 'y')},
        {12, "trailing backslash\\"},
    };
    EXPECT_EQ(table, expected);
    EXPECT_TRUE(pf::ParseStringTable("").empty());
    EXPECT_EQ(pf::ParseStringTable("5=no final newline").at(5), "no final newline");
}

TEST(ModuleTextsTest, VersionValuesMatchIgnoringCaseInFileOrder) {
    const pf::TVersionValues values = pf::ParseVersionValues(
        "FileVersion=1.2.3.4\r\n"
        "  ProductName \t= Editor \n"
        "fileversion=9.9.9.9\n"
        "no equals sign\n"
        "=empty name\n"
        "# Comment=ignored\n"
        "Text=a\\tb\n");
    const pf::TVersionValues expected = {
        {"FileVersion", "1.2.3.4"}, {"ProductName", " Editor "}, {"Text", "a\tb"}};
    EXPECT_EQ(values, expected);
    ASSERT_NE(pf::FindVersionValue(values, "FILEVERSION"), nullptr);
    EXPECT_EQ(*pf::FindVersionValue(values, "FILEVERSION"), "1.2.3.4");
    EXPECT_EQ(pf::FindVersionValue(values, "Missing"), nullptr);
    EXPECT_EQ(pf::FindVersionValue(values, "FileVersio"), nullptr);
}

TEST(ModuleTextsTest, VersionedSharedObjectsAlsoFindTheirUnversionedFiles) {
    using TNames = std::vector<std::string>;
    EXPECT_EQ(pf::CompanionFileNames("/a/libfx.so", ".strings"), (TNames{"/a/libfx.so.strings"}));
    EXPECT_EQ(pf::CompanionFileNames("/a/libfx.so.1.2.0", ".version"),
              (TNames{"/a/libfx.so.1.2.0.version", "/a/libfx.so.version"}));
    EXPECT_EQ(pf::CompanionFileNames("/a/libfx.so.1", ".v"),
              (TNames{"/a/libfx.so.1.v", "/a/libfx.so.v"}));
    for (const char* plain : {"/a/libfx.so.x", "/a/libfx.so.1..2", "/a/libfx.so.1.", "/a.so.1/prog",
                              "/a/libfx.so.", "/usr/bin/editor"})
        EXPECT_EQ(pf::CompanionFileNames(plain, ".s").size(), 1u) << plain;
    EXPECT_TRUE(pf::CompanionFileNames("", ".s").empty());
}

TEST(ModuleTextsTest, FilesAreReadOnceAndTheirTextsStay) {
    const cvq::test::TScratchFolder folder("cvq_texts");
    const std::string module = folder.Path("libplug.so.2.0");
    folder.Put("libplug.so.strings", "7=seven\n");
    std::string text;
    EXPECT_TRUE(pf::ReadCompanionFile(module, ".strings", text));
    EXPECT_EQ(text, "7=seven\n");
    EXPECT_FALSE(pf::ReadCompanionFile(module, ".version", text));
    EXPECT_EQ(text, "");
    const pf::TStringTable& table = pf::ModuleStringTable(module);
    ASSERT_EQ(table.count(7), 1u);
    const char* seven = table.at(7).c_str();
    folder.Put("libplug.so.strings", "7=changed\n");
    EXPECT_EQ(&pf::ModuleStringTable(module), &table);  // kept for the process
    EXPECT_STREQ(seven, "seven");
    EXPECT_TRUE(pf::ModuleStringTable(folder.Path("libnone.so")).empty());
}
