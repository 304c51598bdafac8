// TDurationPredictor on a scripted clock: the first samples, smoothing and its
// adapting weight, the count-down between samples, the fallbacks and the limits.
#include <commonvcqx/platform/internal/Clocks.h>
#include <commonvcqx/time/DurationPredictor.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

int64_t g_now = 0;  // nanoseconds

DWORD Milliseconds() {
    return DWORD(g_now / 1000000);
}

class DurationPredictorTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_now = 0;
        cvq::platform::SetClockSource(&m_source);
        m_predictor.Start();
    }
    void TearDown() override { cvq::platform::SetClockSource(nullptr); }

    void Advance(double seconds) { g_now += int64_t(std::llround(seconds * 1e9)); }

    const cvq::platform::TClockSource m_source{[] { return g_now; }, &Milliseconds, &Milliseconds};
    TDurationPredictor m_predictor;
};

}  // namespace

TEST_F(DurationPredictorTest, ScriptedProgress) {
    EXPECT_EQ(m_predictor.Compute(0.0), -1.0);  // no sample within the first half second
    Advance(0.3);
    EXPECT_EQ(m_predictor.Compute(0.05), -1.0);
    Advance(0.3);  // 0.6 s: the first sample
    EXPECT_EQ(m_predictor.Compute(0.06), -1.0);
    Advance(0.6);  // 1.2 s: the second sample, one smoothing step
    // rate = 0.06 / 0.6 = 0.1; speed = 0.1 * 0 + 0.9 * 0.1 = 0.09
    EXPECT_NEAR(m_predictor.Compute(0.12), 0.88 / 0.09, 1e-9);
    EXPECT_NEAR(m_predictor.GetLastPrediction(), 0.88 / 0.09, 1e-9);
    // The weight adapted: alpha 0.5, beta 0.5. Two steps over 1.0 s at rate 0.1:
    // 0.5 * 0.09 + 0.5 * 0.1 = 0.095, then 0.5 * 0.095 + 0.5 * 0.095 = 0.095.
    Advance(1.0);
    EXPECT_NEAR(m_predictor.Compute(0.22), 0.78 / 0.095, 1e-9);
    // Between samples the estimate counts down and stops at 0.
    Advance(0.25);
    EXPECT_NEAR(m_predictor.Compute(0.5), 0.78 / 0.095 - 0.25, 1e-9);
    EXPECT_NEAR(m_predictor.GetElapsedTime(), 2.45, 1e-9);
}

TEST_F(DurationPredictorTest, CountDownStopsAtZero) {
    m_predictor.Compute(0.0);
    Advance(0.6);
    m_predictor.Compute(0.5);
    Advance(0.6);  // speed 0.9 * (0.45 / 0.6) = 0.675: about 0.074 s left
    const double left = m_predictor.Compute(0.95);
    EXPECT_NEAR(left, 0.05 / 0.675, 1e-9);
    Advance(0.4);
    EXPECT_EQ(m_predictor.Compute(0.99), 0.0);
}

TEST_F(DurationPredictorTest, AlphaApproachesNinetyPercent) {
    // With the progress moving at a steady 0.001 per second, each sample adapts the
    // weight (0.5, 0.7, 0.8, 0.85, ...), and the smoothed speed converges on the rate.
    m_predictor.Compute(0.0);
    double progress = 0.0;
    double result = 0;
    for (int i = 0; i < 60; ++i) {
        Advance(0.6);
        progress += 0.0006;
        result = m_predictor.Compute(progress);
    }
    EXPECT_NEAR(result, (1.0 - progress) / 0.001, 1.0);
}

TEST_F(DurationPredictorTest, StalledProgressUsesTheAverageSoFar) {
    m_predictor.Compute(0.0);
    Advance(0.6);
    m_predictor.Compute(0.25);
    Advance(6.0);  // 12 steps: beyond 10 the new rate replaces the speed, here 0
    EXPECT_NEAR(m_predictor.Compute(0.25), 6.6 / 0.25 - 6.6, 1e-9);
}

TEST_F(DurationPredictorTest, NoEstimateCases) {
    m_predictor.Compute(0.0);
    Advance(0.6);
    m_predictor.Compute(0.0);
    Advance(0.6);
    EXPECT_EQ(m_predictor.Compute(0.0), -1.0);  // nothing moved at all
    Advance(0.1);
    EXPECT_EQ(m_predictor.Compute(0.0), -1.0);  // and no earlier estimate to count down
    // Slow progress: more than a day left is no estimate.
    Advance(0.5);
    EXPECT_EQ(m_predictor.Compute(1e-6), -1.0);
    // Not a number: no estimate, and the sample is not taken.
    Advance(0.6);
    EXPECT_EQ(m_predictor.Compute(std::numeric_limits<double>::quiet_NaN()), -1.0);
    EXPECT_EQ(m_predictor.GetLastPrediction(), -1.0);
    const double next = m_predictor.Compute(0.5);
    EXPECT_TRUE(std::isfinite(next)) << next;
    EXPECT_GT(next, 0.0);
}

TEST_F(DurationPredictorTest, CopiesCarryEverything) {
    m_predictor.Compute(0.0);
    Advance(0.6);
    m_predictor.Compute(0.1);
    TDurationPredictor copy = m_predictor;
    Advance(0.6);
    EXPECT_EQ(copy.Compute(0.2), m_predictor.Compute(0.2));
}
