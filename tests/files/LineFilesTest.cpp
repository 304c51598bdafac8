// TFile::ReadLines and WriteLines in both collection forms, and AreEqual on mapped files.
#include "FileTestSupport.h"

#include <commonvcqx/containers/Array.h>
#include <commonvcqx/containers/FlexList.h>
#include <commonvcqx/containers/StringItem.h>
#include <commonvcqx/files/File.h>
#include <commonvcqx/platform/internal/FailureSeams.h>

#include <cerrno>
#include <vector>

namespace {

using cvq::test::Catch;
using cvq::test::ErrorText;
using TStringList = TFlexList<TStringItem<TListElement>>;
using Lines = std::vector<std::string>;

Lines FromList(const TStringList& list) {
    Lines lines;
    for (auto* item = list.GetFirst(); item; item = list.GetNext(item))
        lines.emplace_back(item->c_str(), item->GetString().GetLength());
    return lines;
}

Lines FromArray(const TArray<TString>& array) {
    Lines lines;
    for (int32_t i = 0; i < array.GetCount(); ++i)
        lines.emplace_back(array[i].c_str(), array[i].GetLength());
    return lines;
}

class LineFilesTest : public cvq::test::ScratchFolder {};

TEST_F(LineFilesTest, ReadLinesSplitsStripsAndSkips) {
    using namespace std::string_literals;
    const struct {
        std::string contents;
        char trim, skipEmpty;
        Lines lines;
    } cases[] = {
        {"", 0, 0, {}},
        {"\n", 0, 0, {""}},
        {"\n", 0, 1, {}},
        {"a\nb", 0, 0, {"a", "b"}},  // the last line may lack its feed
        {"a\r\nb\r\n", 0, 0, {"a", "b"}},
        {"a\rb\n\rc\r", 0, 0, {"a\rb", "c"}},  // a lone CR splits nothing
        {" x \t\r\n\r\n\n y", 0, 0, {" x \t", "", "", " y"}},
        {" x \t\r\n\r\n\n y", 1, 0, {"x", "", "", "y"}},
        {" x \t\r\n\r\n\n y", 1, 1, {"x", "y"}},
        {" \t \n", 1, 1, {}},
        {"a\0b\n\0\n"s, 0, 0, {"a\0b"s, "\0"s}},  // NULs are bytes like any other
    };
    for (const auto& c : cases) {
        Put("lines.txt", c.contents);
        TStringList list;
        list.Append(new TStringItem<TListElement>("stale"));
        TArray<TString> array;
        array.Add(TString("stale"));
        TFile::ReadLines(Name("lines.txt").c_str(), list, c.trim, c.skipEmpty);
        TFile::ReadLines(Name("lines.txt").c_str(), array, c.trim, c.skipEmpty);
        EXPECT_EQ(FromList(list), c.lines) << c.contents;
        EXPECT_EQ(FromArray(array), c.lines) << c.contents;
    }

    std::string huge(3u << 20, 'h');
    Put("huge.txt", huge + "\r\nend");
    TArray<TString> array;
    TFile::ReadLines(Name("huge.txt").c_str(), array, 1, 0);
    EXPECT_EQ(FromArray(array), (Lines{huge, "end"}));

    // A missing file raises and leaves the target as it was.
    auto missing = Catch([&] { TFile::ReadLines(Name("none.txt").c_str(), array, 0, 0); });
    EXPECT_EQ(missing.text, ErrorText(18000, Name("none.txt")));
    EXPECT_EQ(array.GetCount(), 2);
}

TEST_F(LineFilesTest, WriteLinesMakesExactlyTheFinalFile) {
    TStringList empty;
    TFile::WriteLines(Name("empty.txt").c_str(), empty, 0);
    EXPECT_EQ(Get("empty.txt"), "\r\n");

    TStringList list;
    list.Append(new TStringItem<TListElement>("one"));
    list.Append(new TStringItem<TListElement>(""));
    list.Append(new TStringItem<TListElement>("three"));
    Put("list.txt", std::string(10000, 'x'));  // longer than the new contents
    TFile::WriteLines(Name("list.txt").c_str(), list, 0);
    EXPECT_EQ(Get("list.txt"), "one\r\n\r\nthree\r\n");
    TFile::WriteLines(Name("list.txt").c_str(), list, 1);
    EXPECT_EQ(Get("list.txt"), "one\r\n\r\nthree\r\none\r\n\r\nthree\r\n");
    TFile::WriteLines(Name("list.txt").c_str(), empty, 1);
    EXPECT_EQ(Get("list.txt"), "one\r\n\r\nthree\r\none\r\n\r\nthree\r\n\r\n");

    TArray<TString> array;
    array.Add(TString("alpha"));
    array.Add(TString("beta"));
    TFile::WriteLines(Name("array.txt").c_str(), array, 1);  // append to nothing creates
    EXPECT_EQ(Get("array.txt"), "alpha\r\nbeta\r\n");
    TArray<TString> back;
    TFile::ReadLines(Name("array.txt").c_str(), back, 0, 0);
    EXPECT_EQ(FromArray(back), (Lines{"alpha", "beta"}));
    TArray<TString> none;
    TFile::WriteLines(Name("array.txt").c_str(), none, 0);
    EXPECT_EQ(Get("array.txt"), "\r\n");

    // Replacing saves the whole file: a full disk leaves the old lines.
    cvq::platform::FailNthOperation(cvq::platform::EFailureSeam::Write, 1, ENOSPC);
    auto caught = Catch([&] { TFile::WriteLines(Name("list.txt").c_str(), array, 0); });
    EXPECT_EQ(caught.text, ErrorText(18019, "C:"));
    EXPECT_EQ(caught.code, 112u);
    EXPECT_EQ(Get("list.txt"), "one\r\n\r\nthree\r\none\r\n\r\nthree\r\n\r\n");
}

TEST_F(LineFilesTest, AreEqualReportsTheFirstDifference) {
    std::string page(5000, 'p');
    std::string other = page;
    other[4097] = 'q';
    Put("a.bin", page);
    Put("b.bin", page);
    Put("c.bin", other);
    Put("short.bin", "pp");
    Put("empty1.bin", "");
    Put("empty2.bin", "");
    const struct {
        std::string first, second;
        char equal;
        int offset;
    } cases[] = {
        {"a.bin", "A.BIN", 1, 0},  // the same file by name
        {"a.bin", "b.bin", 1, 0},        {"a.bin", "c.bin", 0, 4097},
        {"a.bin", "short.bin", 0, -1},   {"empty1.bin", "empty2.bin", 1, 0},
        {"a.bin", "missing.bin", 0, -2}, {"missing.bin", "missing.bin", 0, -2},
    };
    for (const auto& c : cases) {
        int offset = 99;
        EXPECT_EQ(TFile::AreEqual(Name(c.first).c_str(), Name(c.second).c_str(), &offset), c.equal)
            << c.first << " " << c.second;
        EXPECT_EQ(offset, c.offset) << c.first << " " << c.second;
    }
    EXPECT_EQ(TFile::AreEqual(Name("a.bin").c_str(), Name("b.bin").c_str(), nullptr), 1);
}

}  // namespace
