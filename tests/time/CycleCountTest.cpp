// Cycle conversions: consistent with each other and with the monotonic clock.
#include <commonvcqx/platform/internal/Clocks.h>
#include <commonvcqx/time/CycleCount.h>

#include <gtest/gtest.h>

TEST(CycleCountTest, ConversionsAgree) {
    EXPECT_EQ(TicksToFrequency(0), -1.0);
    EXPECT_EQ(TicksToSeconds(0), 0.0);
    const double rate = TicksToFrequency(1);
    ASSERT_GT(rate, 1e6);
    const int64_t second = int64_t(rate);
    EXPECT_NEAR(TicksToSeconds(second), 1.0, 1e-6);
    EXPECT_NEAR(TicksToMilliseconds(second), 1000.0, 1e-3);
    EXPECT_NEAR(TicksToMicroseconds(second), 1e6, 1.0);
    EXPECT_NEAR(TicksToFrequency(second / 1000), 1000.0, 1e-3);
    EXPECT_NEAR(TicksToSeconds(-second), -1.0, 1e-6);
}

TEST(CycleCountTest, CountsAtItsRate) {
    const int64_t start = cvq::platform::PerformanceCounter();
    const int64_t startCycles = GetCycleCount();
    while (cvq::platform::PerformanceCounter() - start < 10000000) {
    }
    const int64_t cycles = GetCycleCount() - startCycles;
    const double milliseconds = double(cvq::platform::PerformanceCounter() - start) / 1e6;
    // The first conversion in the process may measure the rate; it runs after the reads.
    EXPECT_NEAR(TicksToMilliseconds(cycles), milliseconds, 0.5);
}
