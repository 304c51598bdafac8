#include <commonvcqx/platform/ErrorCodes.h>

#include <gtest/gtest.h>
#include <cerrno>

TEST(ErrorCodesTest, MapsSystemErrorsToWindowsCodes) {
    struct Case {
        int errorNumber;
        DWORD code;
    } cases[] = {
        {0, 0},      {ENOSPC, 112}, {EDQUOT, 112},       {EACCES, 5}, {EPERM, 5},
        {ENOENT, 2}, {ENOTDIR, 3},  {EEXIST, 80},        {ENOMEM, 8}, {EROFS, 19},
        {EMFILE, 4}, {ENFILE, 4},   {EINVAL, 87},        {EXDEV, 17}, {ENOTEMPTY, 145},
        {EBADF, 6},  {ETXTBSY, 32}, {ENAMETOOLONG, 206},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WindowsErrorFromErrno(c.errorNumber), c.code) << c.errorNumber;
}

TEST(ErrorCodesTest, UnknownNumbersAreGeneralFailures) {
    for (int unknown : {-1, 9999, ECHILD, EDOM, 1 << 30})
        EXPECT_EQ(WindowsErrorFromErrno(unknown), 31u);
}
