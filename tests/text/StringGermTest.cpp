#include <commonvcqx/text/StringGerm.h>

#include <commonvcqx/text/StaticStrings.h>

#include <gtest/gtest.h>
#include <cstdint>

TEST(StringGermTest, EachKindReadsItsText) {
    TStringGerm none;
    EXPECT_FALSE(none.IsValid());
    EXPECT_STREQ(none.GetString(), "");  // no string: "" rather than null

    const char* borrowed = "borrowed";
    TStringGerm text(borrowed);
    EXPECT_TRUE(text.IsValid());
    EXPECT_EQ(text.GetString(), borrowed);

    TStringGerm nullText(static_cast<const char*>(nullptr));
    EXPECT_FALSE(nullText.IsValid());
    EXPECT_STREQ(nullText.GetString(), "");

    TString s("owned");
    TStringGerm owned(s);
    EXPECT_TRUE(owned.IsValid());
    EXPECT_EQ(owned.GetString(), s.c_str());  // shares the representation
    EXPECT_EQ(s.GetStringRef()->refCount, 2);

    TStringGerm id(18008);
    EXPECT_TRUE(id.IsValid());
    EXPECT_STREQ(static_cast<const char*>(id), "Invalid directory name.");
    EXPECT_STREQ(TStringGerm(12345).GetString(), "***");
    EXPECT_FALSE(TStringGerm(0).IsValid());
}

TEST(StringGermTest, IdIsResolvedOnceAndKeptAsText) {
    TStringGerm germ(18012);
    const char* first = germ.GetString();
    EXPECT_STREQ(first, "File error");

    // A table registered later does not change a germ that was already read.
    static const struct {
        TStringEntry header, entry;
        char text[16];
    } table = {{0, 1}, {18012, 16}, "Replaced"};
    NotifyStringTable(&table.header);
    EXPECT_STREQ(TStringGerm(18012).GetString(), "Replaced");
    EXPECT_EQ(germ.GetString(), first);
    TStringGerm copy = germ;
    EXPECT_EQ(copy.GetString(), first);
    NotifyStringTable(nullptr);
}

TEST(StringGermTest, CopiesAndAssignmentsOwnTheirStrings) {
    TString s("shared");
    {
        TStringGerm a(s);
        TStringGerm b(a);
        EXPECT_EQ(s.GetStringRef()->refCount, 3);
        EXPECT_EQ(b.GetString(), s.c_str());

        b = 18012;  // gives its string back
        EXPECT_EQ(s.GetStringRef()->refCount, 2);
        EXPECT_STREQ(b.GetString(), "File error");
        b = a;
        EXPECT_EQ(s.GetStringRef()->refCount, 3);
        TStringGerm& same = b;
        b = same;
        EXPECT_EQ(s.GetStringRef()->refCount, 3);
        EXPECT_STREQ(b.GetString(), "shared");
        b = "text";
        EXPECT_EQ(s.GetStringRef()->refCount, 2);
        b = TString("other");
        EXPECT_STREQ(b.GetString(), "other");
        a = a.GetString();  // now borrowed: the owned string goes, the text lives on in s
        EXPECT_EQ(s.GetStringRef()->refCount, 1);
        TStringGerm c;
        c = b;
        b = TStringGerm();
        EXPECT_FALSE(b.IsValid());
        EXPECT_STREQ(c.GetString(), "other");
    }
    EXPECT_EQ(s.GetStringRef()->refCount, 1);
}
