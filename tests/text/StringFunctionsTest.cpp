#include <commonvcqx/text/StringFunctions.h>

#include <gtest/gtest.h>
#include <cstring>
#include <memory>

namespace {

// Offset of a hit in its text, -1 for none.
long Offset(const char* text, const char* hit) {
    return hit ? hit - text : -1;
}

}  // namespace

TEST(StringFunctionsTest, StristrFindsTheFirstMatchIgnoringCase) {
    struct Case {
        const char* text;
        const char* pattern;
        long offset;
    } cases[] = {
        {"Hello World", "WORLD", 6},
        {"Hello World", "o w", 4},
        {"abc", "", 0},  // an empty pattern gives the text itself
        {"", "", 0},
        {"", "a", -1},          // an empty text holds nothing else
        {"abc", "abcd", -1},    // pattern longer than the rest
        {"aaab", "AAB", 1},     // restart after a partial match
        {"ab\xE9", "\xE9", 2},  // bytes above 0x7F compare as themselves
        {"xyz", "q", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Offset(c.text, stristr(c.text, c.pattern)), c.offset)
            << '"' << c.text << "\" / \"" << c.pattern << '"';
    EXPECT_EQ(stristr(nullptr, "a"), nullptr);
    EXPECT_EQ(StringInString("Hello World", "WORLD"), stristr("Hello World", "WORLD"));
}

TEST(StringFunctionsTest, StrristrFindsTheLastMatchCountingOverlaps) {
    struct Case {
        const char* text;
        const char* pattern;
        long offset;
    } cases[] = {
        {"abAB", "ab", 2}, {"aaa", "AA", 1},  // overlapping occurrences count
        {"abc", "x", -1},  {"abc", "", 3},    // an empty pattern last matches at the end
        {"", "", 0},       {"Xx", "x", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Offset(c.text, strristr(c.text, c.pattern)), c.offset)
            << '"' << c.text << "\" / \"" << c.pattern << '"';
}

TEST(StringFunctionsTest, StrnewdupCopiesIntoAFreshBuffer) {
    const char* original = "name";
    std::unique_ptr<char[]> copy(strnewdup(original));
    EXPECT_STREQ(copy.get(), "name");
    EXPECT_NE(copy.get(), original);
    std::unique_ptr<char[]> empty(strnewdup(nullptr));
    EXPECT_STREQ(empty.get(), "");
}

TEST(StringFunctionsTest, CountingOccurrences) {
    EXPECT_EQ(FindNumOccurences("aa", "aaaa", -1), 2u);
    EXPECT_EQ(FindNumOccurences("aa", "aaaaa", -1), 2u);  // not overlapping
    EXPECT_EQ(FindNumOccurences("aa", "aaaa", 3), 1u);
    EXPECT_EQ(FindNumOccurences("AA", "aaaa", -1), 0u);  // case-sensitive
    EXPECT_EQ(FindNumOccurences("", "aaaa", -1), 0u);
    EXPECT_EQ(FindNumOccurences("a", "", -1), 0u);
    EXPECT_EQ(CountSubStrings("abcabcab", "ab"), 3);
    EXPECT_EQ(CountSubStrings("aaa", "aa"), 1);
    EXPECT_EQ(CountSubStrings("aaa", ""), 0);
    EXPECT_EQ(CountChar("a.b.c.", '.'), 3);
    EXPECT_EQ(CountChar("", '.'), 0);
}

TEST(StringFunctionsTest, ComparingWithAndWithoutCase) {
    struct Case {
        const char* a;
        const char* b;
        int sensitive, insensitive;  // signs
    } cases[] = {
        {"abc", "abc", 0, 0},  {"abc", "ABC", 1, 0}, {"abc", "abd", -1, -1},
        {"ab", "abc", -1, -1}, {"\xE9", "a", 1, 1},  // bytes compare unsigned
        {"_", "A", 1, -1},  // without case the letters are lowered: '_' < 'a'
        {"", "", 0, 0},
    };
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const Case& c : cases) {
        EXPECT_EQ(Compare(c.a, c.b, 1), c.sensitive) << c.a << " / " << c.b;
        EXPECT_EQ(sign(Compare(c.a, c.b, 0)), c.insensitive) << c.a << " / " << c.b;
        EXPECT_EQ(AreEqual(c.a, c.b, 1) != 0, c.sensitive == 0);
        EXPECT_EQ(AreEqual(c.a, c.b, 0) != 0, c.insensitive == 0);
    }
}

TEST(StringFunctionsTest, BoundedCopiesNeverPassTheirSize) {
    struct Case {
        const char* src;
        uint32_t size;
        const char* result;
    } cases[] = {
        {"hello", 3, "he"}, {"hello", 6, "hello"}, {"hello", 5, "hell"},
        {"hello", 1, ""},   {"", 4, ""},           {"hi", 100, "hi"},
    };
    for (const Case& c : cases) {
        char dst[8];
        std::memset(dst, '#', sizeof dst);
        EXPECT_EQ(strcpy_n(dst, c.src, c.size), dst);
        EXPECT_STREQ(dst, c.result) << c.src << "/" << c.size;
        if (c.size < sizeof dst) {
            EXPECT_EQ(dst[sizeof dst - 1], '#');  // nothing beyond
        }
        std::memset(dst, '#', sizeof dst);
        CopyMax(dst, c.src, c.size);
        EXPECT_STREQ(dst, c.result) << c.src << "/" << c.size;
    }
    char untouched[4] = "abc";
    strcpy_n(untouched, "xyz", 0);
    CopyMax(untouched, "xyz", 0);
    MakeString(untouched, 0, "xyz", 3);
    EXPECT_STREQ(untouched, "abc");  // size 0: nothing written, no NUL either

    char dst[8];
    std::memset(dst, '#', sizeof dst);
    MakeString(dst, 8, "a\0b", 3);  // NULs inside are copied
    EXPECT_EQ(std::memcmp(dst, "a\0b\0", 4), 0);
    MakeString(dst, 3, "hello", 5);
    EXPECT_STREQ(dst, "he");
    MakeString(dst, 8, "hello", 2);
    EXPECT_STREQ(dst, "he");

    char joined[16] = "";
    char* end = strcpyEx(joined, "ab");
    EXPECT_EQ(end, joined + 2);
    end = strcatEx(joined, "cd");
    EXPECT_EQ(end, joined + 4);
    EXPECT_STREQ(joined, "abcd");
    EXPECT_EQ(RootSuffixExt("song", "_1", "wav"), "song_1.wav");
    EXPECT_EQ(RootSuffixExt("song", nullptr, "wav"), "song.wav");
    EXPECT_EQ(RootSuffixExt("song", "_1", nullptr), "song_1");
    EXPECT_EQ(RootSuffixExt("song", nullptr, ""), "song.");
}

TEST(StringFunctionsTest, TrimmingReplacingAndCutting) {
    struct TrimCase {
        const char* text;
        const char *both, *start, *end;
    } trims[] = {
        {" \ta b\t ", "a b", "a b\t ", " \ta b"},
        {"\t \t", "", "", ""},
        {"", "", "", ""},
        {"x", "x", "x", "x"},
    };
    for (const TrimCase& c : trims) {
        TString both(c.text), start(c.text), end(c.text);
        EXPECT_EQ(Trim(both), int32_t(std::strlen(c.both)));
        EXPECT_EQ(TrimStart(start), int32_t(std::strlen(c.start)));
        EXPECT_EQ(TrimEnd(end), int32_t(std::strlen(c.end)));
        EXPECT_EQ(both, c.both);
        EXPECT_EQ(start, c.start);
        EXPECT_EQ(end, c.end);
    }

    char text[] = "a.b.c";
    EXPECT_EQ(ReplaceChar(text, '.', '/'), 2);
    EXPECT_STREQ(text, "a/b/c");
    EXPECT_EQ(ReplaceChar(text, 'x', '/'), 0);
    EXPECT_EQ(ReplaceChars(text, "ac", '-'), 2);
    EXPECT_STREQ(text, "-/b/-");
    EXPECT_EQ(ReplaceChar(text, '\0', 'x'), 0);  // the NUL is never replaced

    TString original("a.b.c");
    TString copy = original;
    EXPECT_EQ(ReplaceChar(copy, '.', '/'), 2);
    EXPECT_EQ(copy, "a/b/c");
    EXPECT_EQ(original, "a.b.c");  // shared text left alone
    EXPECT_EQ(ReplaceChar(copy, '/', '/'), 2);
    EXPECT_EQ(ReplaceChars(copy, "/c", '.'), 3);
    EXPECT_EQ(copy, "a.b..");
    TString empty;
    EXPECT_EQ(ReplaceChars(empty, "abc", '.'), 0);

    TString cut("a-b--c-");
    TString cutShared = cut;
    CutChar(cut, '-');
    EXPECT_EQ(cut, "abc");
    EXPECT_EQ(cut.GetLength(), 3u);
    EXPECT_EQ(cutShared, "a-b--c-");
    CutChar(cutShared, "-a");
    EXPECT_EQ(cutShared, "bc");
    CutChar(cutShared, 'x');
    EXPECT_EQ(cutShared, "bc");

    char reversed[] = "abcd";
    Inverse(reversed);
    EXPECT_STREQ(reversed, "dcba");
    char odd[] = "abc";
    Inverse(odd);
    EXPECT_STREQ(odd, "cba");
    TString inverse("hello");
    TString inverseShared = inverse;
    Inverse(inverse);
    EXPECT_EQ(inverse, "olleh");
    EXPECT_EQ(inverseShared, "hello");
}

TEST(StringFunctionsTest, FindTrimmedSubStringDoesNotCopy) {
    struct Case {
        const char* text;
        int sides;
        int offset, length;
    } cases[] = {
        {"  ab  ", 3, 2, 2}, {"  ab  ", 1, 2, 4}, {"  ab  ", 2, 0, 4},
        {"  ab  ", 0, 0, 6}, {"    ", 3, 4, 0},   {"", 3, 0, 0},
    };
    for (const Case& c : cases) {
        int length = -1;
        const char* start = FindTrimmedSubString(c.text, &length, " ", c.sides);
        EXPECT_EQ(start - c.text, c.offset) << '"' << c.text << "\" " << c.sides;
        EXPECT_EQ(length, c.length) << '"' << c.text << "\" " << c.sides;
    }
    int length = -1;
    const char* text = " ab  cd ";
    const char* start = FindTrimmedSubString(text, 5, &length, " ", 3);  // " ab  "
    EXPECT_EQ(start, text + 1);
    EXPECT_EQ(length, 2);
}

TEST(StringFunctionsTest, HashesGiveTheirExactValues) {
    EXPECT_EQ(GetHashValue("ab", 2, 1000), 650u);  // 1650 modulo 1000
    EXPECT_EQ(GetHashValue("ab", 2, 0xFFFFFFFFu), 1650u);
    EXPECT_EQ(GetHashValue("", 0, 7), 0u);
    // Long inputs fold the top nibble back in: the ELF hash of "abcdefghijklmnop".
    EXPECT_EQ(GetHashValue("abcdefghijklmnop", 16, 0xFFFFFFFFu), 0x0BB9A310u);
    EXPECT_EQ(GetHashValue("\xFF\xFF", 2, 0xFFFFFFFFu), 0x10EFu);  // bytes unsigned
    EXPECT_EQ(GetHashValue("ab", 2, 0), 1650u);                    // modulus 0: the hash unreduced

    EXPECT_EQ(GetHashValue(TString("")), 0u);
    EXPECT_EQ(GetHashValue(TString("a")), 0x61u);
    EXPECT_EQ(GetHashValue(TString("ab")), (0x61u << 2) ^ 0x62u);  // 0x1E6
    EXPECT_EQ(GetHashValue(TString("abc")), 0x7FBu);
    // Bytes from 0x80 are sign-extended: 0xE9 contributes 0xFFFFFFE9.
    EXPECT_EQ(GetHashValue(TString("\xE9")), 0xFFFFFFE9u);
    EXPECT_EQ(GetHashValue(TString("a\xE9")), (0x61u << 2) ^ 0xFFFFFFE9u);
}
