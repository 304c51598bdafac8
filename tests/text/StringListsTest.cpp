// Splitting text into items (array and list forms, every flag combination) and
// joining lines.
#include <commonvcqx/text/StringFunctions.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using TStrings = std::vector<std::string>;

TStrings FromArray(const TArray<TString>& items) {
    TStrings out;
    for (const TString& s : items) out.emplace_back(s.c_str(), s.GetLength());
    return out;
}

TStrings FromList(const TFlexList<TStringItem<TListElement>>& items) {
    TStrings out;
    for (auto& item : items) out.emplace_back(item.c_str());
    return out;
}

}  // namespace

TEST(StringListsTest, ExplodeStringEveryFlagInBothForms) {
    struct TCase {
        const char* text;
        const char* separators;
        char trim;
        char keepEmpty;
        TStrings expected;
    };
    const std::vector<TCase> cases = {
        {"a, b,,c,", ",", 1, 0, {"a", "b", "c"}},
        {"a, b,,c,", ",", 1, 1, {"a", "b", "", "c", ""}},
        {"a, b,,c,", ",", 0, 0, {"a", " b", "c"}},
        {"a, b,,c,", ",", 0, 1, {"a", " b", "", "c", ""}},
        {",x", ",", 0, 1, {"", "x"}},
        {",x", ",", 0, 0, {"x"}},
        {",,", ",", 0, 1, {"", "", ""}},
        {",,", ",", 1, 0, {}},
        {"", ",", 1, 1, {}},
        {"", ",", 0, 0, {}},
        {"x", ",", 0, 1, {"x"}},
        {"x,", ",", 0, 1, {"x", ""}},
        {"x,", ",", 0, 0, {"x"}},
        {" a ; \t ;b", ";", 1, 0, {"a", "b"}},  // trimmed to empty: dropped
        {" a ; \t ;b", ";", 1, 1, {"a", "", "b"}},
        {" a ; \t ;b", ";", 0, 0, {" a ", " \t ", "b"}},
        {"one\r\ntwo\n\nthree", "\r\n", 0, 0, {"one", "two", "three"}},
        {"one\r\ntwo", "\r\n", 0, 1, {"one", "", "two"}},
        {"C:\\a/b:c", "\\/:", 0, 0, {"C", "a", "b", "c"}},
    };
    for (const TCase& c : cases) {
        TArray<TString> array;
        array.Add("stale");
        ExplodeString(array, c.text, c.separators, c.trim, c.keepEmpty);
        EXPECT_EQ(FromArray(array), c.expected)
            << '"' << c.text << "\" trim " << int(c.trim) << " keep " << int(c.keepEmpty);
        TFlexList<TStringItem<TListElement>> list;
        list.Append(new TStringItem<TListElement>("stale"));
        ExplodeString(list, c.text, c.separators, c.trim, c.keepEmpty);
        EXPECT_EQ(FromList(list), c.expected)
            << '"' << c.text << "\" trim " << int(c.trim) << " keep " << int(c.keepEmpty);
    }

    // With no separators: NUL-terminated items ended by an empty one.
    const char packed[] = "a\0 b \0\0ignored";
    for (char trim : {0, 1}) {
        for (char keep : {0, 1}) {
            TArray<TString> array;
            ExplodeString(array, packed, "", trim, keep);
            EXPECT_EQ(FromArray(array), (TStrings{"a", trim ? "b" : " b "}));
            TFlexList<TStringItem<TListElement>> list;
            ExplodeString(list, packed, "", trim, keep);
            EXPECT_EQ(FromList(list), FromArray(array));
        }
    }
    TArray<TString> none;
    ExplodeString(none, "\0", "", 0, 1);
    EXPECT_TRUE(none.IsEmpty());
}

TEST(StringListsTest, TextAndLineArrays) {
    TArray<TString> lines;
    TextToStringArray(TString("  first \r\n\r\n\tsecond\nthird  \r\n"), lines);
    EXPECT_EQ(FromArray(lines), (TStrings{"first", "second", "third"}));
    EXPECT_STREQ(StringArrayToText(lines), "first\r\nsecond\r\nthird\r\n");
    lines.Clear();
    EXPECT_STREQ(StringArrayToText(lines), "");
    lines.Add("");
    EXPECT_STREQ(StringArrayToText(lines), "\r\n");
}
