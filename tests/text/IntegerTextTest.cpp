#include <commonvcqx/text/IntegerText.h>

#include <commonvcqx/text/String.h>

#include <gtest/gtest.h>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

TEST(IntegerTextTest, WidthsSignsAndGrouping32) {
    struct Case {
        int value;
        int width;
        int32_t flags;
        const char* text;
    } cases[] = {
        {0, 0, 0, "0"},
        {0, 0, kIntPlusSign, "0"},  // zero never gets a sign
        {7, 0, 0, "7"},
        {7, 1, 0, "7"},
        {7, 2, 0, "07"},
        {7, 3, 0, "007"},
        {42, 0, 0, "42"},
        {42, 0, kIntPlusSign, "+42"},
        {42, 1, 0, "42"},
        {99, 2, 0, "99"},
        {100, 0, 0, "100"},
        {100, 2, 0, "100"},  // more digits than the width: written whole
        {-5, 0, 0, "-5"},
        {-5, 2, 0, "-05"},
        {-5, 3, 0, "-005"},
        {-5, 4, 0, "-0005"},
        {-99, 0, kIntPlusSign, "-99"},
        {5, 4, kIntPlusSign, "+0005"},
        {-5, -3, 0, "-5"},  // a negative width asks for no fill
        {1234567, 0, kIntGroupDigits, "1 234 567"},
        {1234567, 9, kIntGroupDigits, "001234567"},  // no grouping with a width
        {-1234567, 0, kIntGroupDigits, "-1 234 567"},
        {123, 0, kIntGroupDigits, "123"},
        {1234, 0, kIntGroupDigits, "1 234"},
        {123456, 0, kIntGroupDigits | kIntPlusSign, "+123 456"},
        {99, 0, kIntGroupDigits, "99"},
        {1000, 0, 0x40 | 0x1, "1000"},  // other bits are ignored
        {INT_MAX, 0, 0, "2147483647"},
        {INT_MIN, 0, 0, "-2147483648"},
        {INT_MIN, 0, kIntGroupDigits, "-2 147 483 648"},
        {INT_MIN, 12, 0, "-002147483648"},
    };
    for (const Case& c : cases) {
        char text[40];
        std::memset(text, 'x', sizeof text);
        int length = IntToString(c.value, text, c.width, c.flags);
        EXPECT_STREQ(text, c.text) << c.value << " w" << c.width << " f" << c.flags;
        EXPECT_EQ(length, int(std::strlen(c.text))) << c.text;
        EXPECT_STREQ(IntToString(c.value, c.width, c.flags).c_str(), c.text);
    }
}

TEST(IntegerTextTest, WidthsSignsAndGrouping64) {
    struct Case {
        int64_t value;
        int width;
        int32_t flags;
        const char* text;
    } cases[] = {
        {int64_t{1} << 40, 0, 0, "1099511627776"},
        {int64_t{1} << 40, 0, kIntGroupDigits, "1 099 511 627 776"},
        {0, 2, 0, "00"},
        {-1, 0, 0, "-1"},
        {INT64_MAX, 0, 0, "9223372036854775807"},
        {INT64_MIN, 0, 0, "-9223372036854775808"},
        {INT64_MIN, 0, kIntGroupDigits, "-9 223 372 036 854 775 808"},  // 26: the longest
        {INT64_MAX, 0, kIntGroupDigits | kIntPlusSign, "+9 223 372 036 854 775 807"},
        {12345678901LL, 15, kIntPlusSign, "+000012345678901"},
    };
    for (const Case& c : cases) {
        char text[40];
        int length = Int64ToString(c.value, text, c.width, c.flags);
        EXPECT_STREQ(text, c.text) << c.value;
        EXPECT_EQ(length, int(std::strlen(c.text))) << c.text;
        EXPECT_STREQ(Int64ToString(c.value, c.width, c.flags).c_str(), c.text);
    }
}

TEST(IntegerTextTest, StringFormsTakeAnyWidth) {
    TString wide = IntToString(-42, 60, 0);
    EXPECT_EQ(wide.GetLength(), 61u);
    EXPECT_EQ(std::string(wide.c_str()), "-" + std::string(58, '0') + "42");
    TString wide64 = Int64ToString(INT64_MIN, 40, kIntPlusSign);
    EXPECT_EQ(std::string(wide64.c_str()), "-" + std::string(21, '0') + "9223372036854775808");
    EXPECT_STREQ(IntToString(5).c_str(), "5");
    EXPECT_STREQ(Int64ToString(-5).c_str(), "-5");
}

TEST(IntegerTextTest, AgreesWithPrintfOverManyValues) {
    std::mt19937_64 random(2024);
    for (int i = 0; i < 20000; ++i) {
        int64_t value = int64_t(random() >> (random() % 64));
        if (random() & 1) value = int64_t(0 - uint64_t(value));
        int width = int(random() % 24);
        unsigned long long magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value)
                                                 : static_cast<unsigned long long>(value);
        // The width counts digits only; the sign comes first.
        char digits[64];
        std::snprintf(digits, sizeof digits, "%0*llu", width, magnitude);
        std::string expected = (value < 0 ? "-" : "") + std::string(digits);
        char text[64];
        EXPECT_EQ(Int64ToString(value, text, width, 0), int(expected.size()));
        EXPECT_EQ(text, expected) << value << " w" << width;
        if (value >= INT_MIN && value <= INT_MAX) {
            IntToString(int(value), text, width, 0);
            EXPECT_EQ(text, expected) << value << " w" << width;
        }
    }
}
