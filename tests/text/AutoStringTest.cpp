#include <commonvcqx/text/AutoString.h>

#include <gtest/gtest.h>
#include <cstring>
#include <memory>

TEST(AutoStringTest, BuffersAndCopies) {
    TAutoString sized(10);
    EXPECT_STREQ(sized, "");
    std::strcpy(sized, "0123456789");  // size + 1 bytes
    EXPECT_STREQ(sized, "0123456789");

    TAutoString negative(-4);
    EXPECT_STREQ(negative, "");

    const char* original = "text";
    TAutoString copy(original);
    EXPECT_STREQ(copy, "text");
    EXPECT_NE(static_cast<char*>(copy), original);

    TAutoString none(static_cast<const char*>(nullptr));
    EXPECT_STREQ(none, "");
}

TEST(AutoStringTest, HandedOnBufferSurvivesTheHolder) {
    std::unique_ptr<char[]> taken;
    {
        TAutoString holder("handed on");
        holder.EnableAutoDelete(0);
        taken.reset(static_cast<char*>(holder));
    }
    EXPECT_STREQ(taken.get(), "handed on");
}
