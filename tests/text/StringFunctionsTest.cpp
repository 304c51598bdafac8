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
