// The 32-bit Windows strtol/strtoul/atoi: a table of the results that differ from
// the 64-bit C library, and random texts against glibc's 64-bit parsers narrowed.
#include <commonvcqx/base/NumberParsing.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <random>
#include <string>

TEST(NumberParsingTest, WindowsResults) {
    struct TCase {
        const char* text;
        int base;
        int32_t asLong;
        uint32_t asULong;
        int consumed;  // characters up to *end
    };
    const TCase cases[] = {
        {"  -12abc", 10, -12, 0xFFFFFFF4u, 5},
        {"2147483647", 10, INT32_MAX, 2147483647u, 10},
        {"2147483648", 10, INT32_MAX, 2147483648u, 10},
        {"-2147483648", 10, INT32_MIN, 2147483648u, 11},
        {"-2147483649", 10, INT32_MIN, 2147483647u, 11},
        {"4294967295", 10, INT32_MAX, UINT32_MAX, 10},
        {"4294967296", 10, INT32_MAX, UINT32_MAX, 10},
        {"-4294967296", 10, INT32_MIN, UINT32_MAX, 11},
        {"99999999999999999999999", 10, INT32_MAX, UINT32_MAX, 23},
        {"-1", 10, -1, UINT32_MAX, 2},
        {"+7", 10, 7, 7u, 2},
        {"\t\n\v\f\r 42", 10, 42, 42u, 8},
        {"0x1F", 16, 31, 31u, 4},
        {"0X1f", 0, 31, 31u, 4},
        {"1f", 16, 31, 31u, 2},
        {"0x", 16, 0, 0u, 0},  // no digit after the prefix: nothing read
        {"0x", 0, 0, 0u, 0},
        {"0xg", 16, 0, 0u, 0},
        {"0x10", 8, 0, 0u, 1},
        {"017", 0, 15, 15u, 3},
        {"09", 0, 0, 0u, 1},
        {"zz", 36, 1295, 1295u, 2},
        {"101", 2, 5, 5u, 3},
        {"- 5", 10, 0, 0u, 0},
        {"", 10, 0, 0u, 0},
        {"abc", 10, 0, 0u, 0},
        {"12", 1, 0, 0u, 0},  // unsupported bases read nothing
        {"12", 37, 0, 0u, 0},
        {"12", -2, 0, 0u, 0},
    };
    for (const TCase& c : cases) {
        const char* end = nullptr;
        EXPECT_EQ(cvq::ParseLong32(c.text, &end, c.base), c.asLong) << c.text;
        EXPECT_EQ(end - c.text, c.consumed) << c.text;
        end = nullptr;
        EXPECT_EQ(cvq::ParseULong32(c.text, &end, c.base), c.asULong) << c.text;
        EXPECT_EQ(end - c.text, c.consumed) << c.text;
    }
    EXPECT_EQ(cvq::ParseInt32("12.5"), 12);
    EXPECT_EQ(cvq::ParseInt32("-99999999999"), INT32_MIN);
    EXPECT_EQ(cvq::ParseInt32(nullptr), 0);
    const char* end = "unchanged";
    EXPECT_EQ(cvq::ParseLong32(nullptr, &end, 10), 0);
    EXPECT_EQ(end, nullptr);
}

TEST(NumberParsingTest, AgreesWithTheCLibraryNarrowed) {
    const char pieces[] = " \t+-0123456789abcdefxXzZ";
    std::mt19937 random(3);
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        for (int n = int(random() % 16); n > 0; --n) text += pieces[random() % (sizeof pieces - 1)];
        const int base = int(random() % 38);
        if (base == 1 || base == 37) continue;
        const char* at = text.c_str();
        char* glibcEnd = nullptr;
        errno = 0;
        long long wide = std::strtoll(at, &glibcEnd, base);
        const char* expectEnd = glibcEnd;
        // glibc reads the "0" of a "0x" that no hex digit follows; Windows reads nothing.
        if ((base == 0 || base == 16) && glibcEnd > at && (*glibcEnd == 'x' || *glibcEnd == 'X')) {
            const char* zero = glibcEnd - 1;
            const char* p = at;
            while (*p == ' ' || *p == '\t') ++p;
            if (*p == '+' || *p == '-') ++p;
            if (p == zero && *zero == '0') expectEnd = at;
        }
        const char* end = nullptr;
        EXPECT_EQ(cvq::ParseLong32(at, &end, base),
                  int32_t(std::clamp<long long>(wide, INT32_MIN, INT32_MAX)))
            << text << " base " << base;
        EXPECT_EQ(end, expectEnd) << text << " base " << base;

        errno = 0;
        unsigned long long uwide = std::strtoull(at, nullptr, base);
        const bool range = errno == ERANGE;
        const char* p = at;
        while (*p == ' ' || *p == '\t') ++p;
        const unsigned long long magnitude = *p == '-' ? 0 - uwide : uwide;
        const uint32_t expected = range || magnitude > UINT32_MAX ? UINT32_MAX : uint32_t(uwide);
        EXPECT_EQ(cvq::ParseULong32(at, nullptr, base), expected) << text << " base " << base;
    }
}
