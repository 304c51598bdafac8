#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/text/NumberAndTimeStrings.h>
#include <commonvcqx/text/String.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

TEST(NumberAndTimeStringsTest, SetNiceIntegerGroupsFromTheEnd) {
    struct Case {
        const char* text;
        const char* grouped;
    } cases[] = {
        {"", ""},
        {"123", "123"},  // shorter than 4: unchanged
        {"1000", "1 000"},
        {"12345", "12 345"},
        {"123456", "123 456"},
        {"1234567", "1 234 567"},
        {"-123456", "- 123 456"},  // every character counts, signs included
        {"-12345", "-12 345"},
        {"abcdefghij", "a bcd efg hij"},
        {"123456789012345678901234567890123456789012345",
         "123 456 789 012 345 678 901 234 567 890 123 456 789 012 345"},
    };
    for (const Case& c : cases) {
        char buffer[80];
        std::strcpy(buffer, c.text);
        EXPECT_EQ(SetNiceInteger(buffer), int(std::strlen(c.grouped))) << c.text;
        EXPECT_STREQ(buffer, c.grouped);

        TString text(c.text);
        TString shared = text;
        EXPECT_EQ(SetNiceInteger(text), int(std::strlen(c.grouped))) << c.text;
        EXPECT_EQ(text, c.grouped);
        EXPECT_EQ(text.GetLength(), std::strlen(c.grouped));
        EXPECT_EQ(shared, c.text);  // the other holder keeps its text
    }
    // Longer than the 45 characters a fixed buffer would take: still grouped.
    TString longText(std::string(100, '9').c_str());
    EXPECT_EQ(SetNiceInteger(longText), 133);
    EXPECT_EQ(longText.GetChar(1), ' ');
}

TEST(NumberAndTimeStringsTest, ZeroJustifiedToTheDigitsOfTheLargest) {
    struct Case {
        int32_t value, largest;
        const char* text;
    } cases[] = {
        {7, 100, "007"},
        {7, 99, "07"},
        {7, 9, "7"},
        {7, 10, "07"},
        {7, 999, "007"},
        {7, 1000, "0007"},
        {7, 9999, "0007"},
        {7, 10000, "00007"},
        {7, 999999, "000007"},
        {7, 9999999, "0000007"},
        {7, 99999999, "00000007"},
        {7, 999999999, "000000007"},
        {7, 1000000000, "7"},
        {123, 10, "123"},
        {-7, 100, "-07"},
        {0, -5, "0"},
    };
    for (const Case& c : cases) {
        char buffer[16];
        IntegerToZeroJustifiedString(buffer, c.value, c.largest);
        EXPECT_STREQ(buffer, c.text) << c.value << " / " << c.largest;
    }
}

TEST(NumberAndTimeStringsTest, GetTimeStringPiecesAndRounding) {
    struct Case {
        int32_t ms;
        char exact;
        const char* text;
    } cases[] = {
        {0, 1, "0 ms"},
        {0, 0, "0 ms"},
        {3723000, 1, "1h 2mn 3s "},
        {1499, 1, "1s 499ms"},
        {1499, 0, "1s "},  // 1999: whole seconds only
        {1500, 0, "2s "},
        {61001, 1, "1mn 1s "},
        {61001, 0, "1mn 1s "},
        {60000, 1, "1mn "},
        {59999, 1, "59s 999ms"},
        {999, 1, "999ms"},
        {200, 0, "700ms"},  // nothing else printed: the rounded milliseconds
        {1000, 1, "1s 0ms"},
        {3600000, 1, "1h "},
        {3600001, 1, "1h "},  // hours printed: no milliseconds
        {7260000, 0, "2h 1mn "},
        {INT_MAX, 0, "596h 31mn 24s "},  // rounding does not overflow
        {-5, 1, "-5ms"},
    };
    for (const Case& c : cases) {
        char buffer[64];
        GetTimeString(buffer, c.ms, c.exact);
        EXPECT_STREQ(buffer, c.text) << c.ms << (c.exact ? " exact" : "");
    }
}

TEST(NumberAndTimeStringsTest, StringToIntArrayTakesEveryDigitRun) {
    struct Case {
        std::string text;
        std::vector<int> values;
    } cases[] = {
        {"10, -20;30", {10, 20, 30}},
        {"", {}},
        {"no digits", {}},
        {"007x0", {7, 0}},
        {"2147483647 2147483648", {INT_MAX, INT_MAX}},
        {std::string(150, '9') + ",5", {INT_MAX, 5}},  // a run of any length
        {std::string(200, '0') + "42", {42}},
    };
    for (const Case& c : cases) {
        int count = -1;
        int* values = StringToIntArray(c.text.c_str(), &count);
        ASSERT_EQ(count, int(c.values.size())) << c.text;
        if (c.values.empty()) {
            EXPECT_EQ(values, nullptr);
        }
        for (int i = 0; i < count; ++i) EXPECT_EQ(values[i], c.values[size_t(i)]) << c.text;
        NH_Heap::FreeMem(values);
    }
    // Many values: the block grows past its first step.
    std::string many;
    for (int i = 0; i < 1000; ++i) many += std::to_string(i) + " ";
    int count = 0;
    int* values = StringToIntArray(many.c_str(), &count);
    ASSERT_EQ(count, 1000);
    EXPECT_EQ(values[999], 999);
    NH_Heap::FreeMem(values);

    const int list[] = {1, -2, 3};
    EXPECT_EQ(IntArrayToString(list, 3, ';'), "1;-2;3");
    EXPECT_EQ(IntArrayToString(list, 1, ';'), "1");
    EXPECT_EQ(IntArrayToString(list, 0, ';'), "");
}

TEST(NumberAndTimeStringsTest, DosDates) {
    auto dos = [](unsigned year, unsigned month, unsigned day) {
        return static_cast<unsigned short>(((year - 1980) << 9) | (month << 5) | day);
    };
    EXPECT_EQ(GetDateString(dos(2001, 3, 5)), "05/03/2001");
    EXPECT_EQ(GetDateString(dos(1980, 12, 31)), "31/12/1980");
    EXPECT_EQ(GetDateString(dos(2107, 1, 1)), "01/01/2107");
    EXPECT_EQ(GetDateString(0), "");  // day and month 0: no date
    EXPECT_EQ(GetDateString(dos(2000, 13, 1)), "");
    char small[6];
    EXPECT_STREQ(GetDateString(dos(2001, 3, 5), small, sizeof small), "05/03");
}
