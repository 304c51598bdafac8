// CRITICAL_SECTION: trying to enter, and leaving a lock one does not hold.
#include <commonvcqx/platform/CriticalSection.h>

#include <gtest/gtest.h>

#include <thread>

TEST(CriticalSectionTest, TryEnterAndForeignLeave) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    std::thread other([&] {
        EXPECT_FALSE(TryEnterCriticalSection(&section));
        LeaveCriticalSection(&section);  // not the owner: ignored
        EXPECT_FALSE(TryEnterCriticalSection(&section));
    });
    other.join();
    EXPECT_TRUE(TryEnterCriticalSection(&section));
    LeaveCriticalSection(&section);
    LeaveCriticalSection(&section);
    std::thread after([&] {
        EXPECT_TRUE(TryEnterCriticalSection(&section));
        LeaveCriticalSection(&section);
    });
    after.join();
    DeleteCriticalSection(&section);
}
