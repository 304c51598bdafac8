// commonvcqx/time/DurationPredictor.h
//
// TDurationPredictor: estimates the remaining time of a long task from its progress
// fraction, for progress displays. It samples at most every half second, smooths the
// progress speed with a weight that adapts as estimates come in, and counts the last
// estimate down between samples. A plain value, copied whole.
//
//   TDurationPredictor predictor;
//   predictor.Start();
//   for (int i = 0; i < count; ++i) {
//       Step(i);
//       double left = predictor.Compute(double(i + 1) / count);   // -1: no estimate yet
//   }
#pragma once

#include <commonvcqx/time/Timer.h>

class TDurationPredictor {
public:
    TDurationPredictor() noexcept = default;

    /// Runs the timer from zero; the estimate so far is kept.
    void Start() noexcept { m_timer.Start(); }

    /// The remaining seconds at `progress` (0 to 1), or -1 when no estimate can be
    /// given: before the second sample, when progress has not moved at all, or when
    /// the estimate exceeds one day. A progress that is not a number gives -1 and is
    /// not sampled.
    double Compute(double progress) noexcept;

    /// The value the last Compute returned.
    double GetLastPrediction() const noexcept { return m_lastResult; }
    /// Seconds the timer has run.
    double GetElapsedTime() const noexcept { return m_timer.GetElapsedTime(); }

private:
    double m_lastTime = 0.0;
    double m_prediction = -1.0;
    double m_lastProgress = -1.0;
    double m_lastResult = -1.0;
    double m_speed = 0.0;
    double m_alpha = 0.1;  // weight of the previous speed
    double m_beta = 0.9;   // weight of the new measurement
    double m_smoothing = 0.1;
    double m_adaptationFactor = 0.5;
    double m_adaptationBase = 0.5;
    TTimer m_timer{TTimer::kSeconds, 0, TTimer::kPerformanceCounter};
};
