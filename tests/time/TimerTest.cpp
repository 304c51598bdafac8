// TTimer's arithmetic on scripted clocks (no sleeping): run periods, pauses, units,
// the three clocks, the 32-bit wrap of the millisecond counters; then once on the
// real clock.
#include <commonvcqx/platform/internal/Clocks.h>
#include <commonvcqx/time/Timer.h>

#include <gtest/gtest.h>

namespace {

int64_t g_counter = 0;  // nanoseconds
DWORD g_multimedia = 0;
DWORD g_ticks = 0;

class TimerTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_counter = 1000000000000;
        g_multimedia = 5000;
        g_ticks = 7000;
        cvq::platform::SetClockSource(&m_source);
    }
    void TearDown() override { cvq::platform::SetClockSource(nullptr); }

    const cvq::platform::TClockSource m_source{[] { return g_counter; },
                                               [] { return g_multimedia; }, [] { return g_ticks; }};
};

}  // namespace

TEST_F(TimerTest, ElapsedTimeExcludesPausedIntervals) {
    TTimer timer(TTimer::kMilliseconds);
    EXPECT_EQ(timer.GetElapsedTime(), 0.0);  // not started: 0 until resumed
    g_counter += 5000000;
    EXPECT_EQ(timer.GetElapsedTime(), 0.0);
    timer.Resume();
    g_counter += 3000000;
    EXPECT_DOUBLE_EQ(timer.GetElapsedTime(), 3.0);
    timer.Pause();
    g_counter += 100000000;  // paused: does not count
    EXPECT_DOUBLE_EQ(timer.GetElapsedTime(), 3.0);
    timer.Pause();  // a second pause changes nothing
    timer.Resume();
    timer.Resume();  // nor a second resume
    g_counter += 2500000;
    EXPECT_DOUBLE_EQ(timer.GetElapsedTime(), 5.5);
    EXPECT_EQ(timer.GetAccumulatedTime(), 2500000);  // the current period only
    EXPECT_DOUBLE_EQ(double(timer), 5.5);
    EXPECT_FLOAT_EQ(float(timer), 5.5f);
    EXPECT_EQ(uint32_t(timer), 5u);
    TTimer copy = timer;
    g_counter += 1000000;
    EXPECT_DOUBLE_EQ(copy.GetElapsedTime(), 6.5);

    timer.Start();  // from zero, running
    g_counter += 1000000;
    EXPECT_DOUBLE_EQ(timer.GetElapsedTime(), 1.0);
    timer.Reset();  // stopped at zero
    g_counter += 1000000;
    EXPECT_EQ(timer.GetElapsedTime(), 0.0);
}

TEST_F(TimerTest, UnitsAndClocks) {
    struct TCase {
        TTimer::EUnits units;
        TTimer::ETimer clock;
        double expected;  // after 1.5 s on every clock
    };
    const TCase cases[] = {
        {TTimer::kSeconds, TTimer::kPerformanceCounter, 1.5},
        {TTimer::kMilliseconds, TTimer::kPerformanceCounter, 1500.0},
        {TTimer::kMicroseconds, TTimer::kPerformanceCounter, 1500000.0},
        {TTimer::kSeconds, TTimer::kMultimediaTimer, 1.5},
        {TTimer::kMilliseconds, TTimer::kMultimediaTimer, 1500.0},
        {TTimer::kMicroseconds, TTimer::kTickCount, 1500000.0},
        {TTimer::EUnits(7), TTimer::ETimer(9), 1.5},  // unknown: seconds, performance counter
    };
    for (const TCase& c : cases) {
        TTimer timer(c.units, 1, c.clock);
        g_counter += 1500000000;
        g_multimedia += 1500;
        g_ticks += 1500;
        EXPECT_DOUBLE_EQ(timer.GetElapsedTime(), c.expected) << c.units << " " << c.clock;
    }
    TTimer multimedia(TTimer::kMilliseconds, 0, TTimer::kMultimediaTimer);
    int64_t ticks = -1;
    multimedia.GetCurrentAbsTimeAsTicks(&ticks);
    EXPECT_EQ(ticks, int64_t{g_multimedia});
    EXPECT_DOUBLE_EQ(multimedia.GetCurrentAbsTime(), double(g_multimedia));
    TTimer counter(TTimer::kSeconds);
    counter.GetCurrentAbsTimeAsTicks(&ticks);
    EXPECT_EQ(ticks, g_counter);
    EXPECT_DOUBLE_EQ(counter.GetCurrentAbsTime(), double(g_counter) / 1e9);
}

TEST_F(TimerTest, MillisecondCountersWrapWithoutGoingNegative) {
    g_ticks = 0xFFFFFF00u;
    g_multimedia = 0xFFFFFFFFu;
    TTimer ticks(TTimer::kMilliseconds, 1, TTimer::kTickCount);
    TTimer multimedia(TTimer::kMilliseconds, 1, TTimer::kMultimediaTimer);
    g_ticks += 0x200;  // now 0x100, past the wrap
    g_multimedia += 2;
    EXPECT_DOUBLE_EQ(ticks.GetElapsedTime(), 512.0);
    EXPECT_DOUBLE_EQ(multimedia.GetElapsedTime(), 2.0);
    EXPECT_EQ(ticks.GetAccumulatedTime(), 512);
    ticks.Pause();
    ticks.Resume();
    g_ticks += 10;
    EXPECT_DOUBLE_EQ(ticks.GetElapsedTime(), 522.0);
    int64_t raw = -1;
    ticks.GetCurrentAbsTimeAsTicks(&raw);
    EXPECT_EQ(raw, 0x10A);  // the 32-bit count, zero above
}

TEST_F(TimerTest, WholeUnitsSaturate) {
    TTimer timer(TTimer::kMicroseconds, 1);
    g_counter += int64_t{5000} * 1000000000;  // 5000 s: 5e9 us, beyond 32 bits
    EXPECT_EQ(uint32_t(timer), UINT32_MAX);
    TTimer late(TTimer::kSeconds, 1);
    g_counter -= 1000000000;  // a clock that went back reads negative, not wrapped
    EXPECT_EQ(uint32_t(late), 0u);
}

TEST(TimerRealClockTest, MeasuresTheMonotonicClock) {
    TTimer timer(TTimer::kMicroseconds, 1);
    const int64_t start = cvq::platform::PerformanceCounter();
    while (cvq::platform::PerformanceCounter() - start < 2000000) {
    }
    const double elapsed = timer.GetElapsedTime();
    EXPECT_GE(elapsed, 2000.0);
    EXPECT_LT(elapsed, 2000000.0);
}
