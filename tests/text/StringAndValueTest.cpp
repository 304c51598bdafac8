#include <commonvcqx/text/StringAndValue.h>

#include <gtest/gtest.h>

TEST(StringAndValueTest, PairsShareTheirString) {
    TStringAndValue empty;
    EXPECT_STREQ(empty.string.c_str(), "");
    EXPECT_EQ(empty.value, 0);

    TString name("Left");
    TStringAndValue a(name, -7);
    EXPECT_EQ(a.string.GetStringRef(), name.GetStringRef());
    EXPECT_EQ(a.value, -7);

    TStringAndValue b(a);
    EXPECT_EQ(name.GetStringRef()->refCount, 3);
    TStringAndValue& same = b;
    b = same;
    EXPECT_EQ(name.GetStringRef()->refCount, 3);
    b.string += "!";
    EXPECT_STREQ(a.string.c_str(), "Left");
    EXPECT_STREQ(b.string.c_str(), "Left!");
    empty = b;
    EXPECT_EQ(empty.value, -7);
    EXPECT_EQ(empty.string.GetStringRef(), b.string.GetStringRef());
}
