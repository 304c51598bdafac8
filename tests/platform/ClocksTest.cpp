// The platform clocks: which system clock each one reads, the cycle rate, the CPUID
// decoding of stated rates and the test seam that replaces the interval clocks.
#include <commonvcqx/platform/internal/Clocks.h>

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

TEST(ClocksTest, EachCounterFollowsItsSystemClock) {
    const int64_t before = cvq::platform::PerformanceCounter();
    const DWORD multimedia = cvq::platform::MultimediaTime();
    const DWORD ticks = cvq::platform::TickCount();
    const int64_t after = cvq::platform::PerformanceCounter();
    EXPECT_LE(before, after);
    // timeGetTime is the performance counter in milliseconds, modulo 2^32.
    EXPECT_LE(DWORD(multimedia - DWORD(before / 1000000)), 1u);
    EXPECT_LE(DWORD(DWORD(after / 1000000) - multimedia), 1u);
    // The coarse clock lags by at most a few scheduler ticks.
    EXPECT_LE(DWORD(DWORD(after / 1000000) - ticks), 50u);

    const std::time_t wallBefore = std::time(nullptr);
    const int64_t wall = cvq::platform::WallClockSeconds();
    EXPECT_GE(wall, wallBefore);
    EXPECT_LE(wall, std::time(nullptr));
}

TEST(ClocksTest, CycleRateMatchesTheMonotonicClock) {
    const double rate = cvq::platform::CycleRate();
    ASSERT_GT(rate, 1e6);
    EXPECT_EQ(cvq::platform::CycleRate(), rate);  // found once
    // Cycles counted over 20 ms of the monotonic clock agree with the rate within 2 %.
    const int64_t start = cvq::platform::PerformanceCounter();
    const uint64_t startCycles = cvq::platform::CycleCount();
    while (cvq::platform::PerformanceCounter() - start < 20000000) {
    }
    const uint64_t cycles = cvq::platform::CycleCount() - startCycles;
    const double seconds = double(cvq::platform::PerformanceCounter() - start) / 1e9;
    EXPECT_NEAR(double(cycles) / seconds / rate, 1.0, 0.02);
}

TEST(ClocksTest, CpuidStatedRates) {
    using TLeaves = cvq::platform::TCpuidClockLeaves;
    struct TCase {
        TLeaves leaves;
        double rate;
    };
    const TCase cases[] = {
        {{2, 168, 25000000, 0, 0}, 2.1e9},  // crystal and ratio (a Skylake server)
        {{2, 300, 0, 3200, 0}, 3.2e9},      // ratio without crystal: the base clock
        {{2, 300, 0, 0, 0}, 0.0},
        {{0, 0, 0, 3200, 0}, 0.0},           // a base clock alone states nothing
        {{0, 0, 0, 0, 2994374}, 2994374e3},  // the hypervisor's leaf
        {{}, 0.0},
    };
    for (const TCase& c : cases)
        EXPECT_DOUBLE_EQ(cvq::platform::CycleRateFromCpuid(c.leaves), c.rate) << c.rate;
}

namespace {

int64_t FixedCounter() {
    return 123456789;
}
DWORD FixedMultimedia() {
    return 0xFFFFFFF0u;
}
DWORD FixedTicks() {
    return 42;
}

}  // namespace

TEST(ClocksTest, ClockSourceSeamReplacesTheIntervalClocks) {
    const cvq::platform::TClockSource fixed{&FixedCounter, &FixedMultimedia, &FixedTicks};
    cvq::platform::SetClockSource(&fixed);
    EXPECT_EQ(cvq::platform::PerformanceCounter(), 123456789);
    EXPECT_EQ(cvq::platform::MultimediaTime(), 0xFFFFFFF0u);
    EXPECT_EQ(cvq::platform::TickCount(), 42u);
    cvq::platform::SetClockSource(nullptr);
    EXPECT_NE(cvq::platform::PerformanceCounter(), 123456789);
}
