// The remaining-time estimate.
#include <commonvcqx/time/DurationPredictor.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kSampleInterval = 0.5;  // seconds between samples
constexpr int kMaxSmoothingSteps = 10;   // beyond this the new rate replaces the speed
constexpr double kLongest = 86400.0;     // estimates beyond a day are no estimates

}  // namespace

double TDurationPredictor::Compute(double progress) noexcept {
    if (std::isnan(progress)) return m_lastResult = -1.0;
    const double elapsed = m_timer.GetElapsedTime();
    const double sinceSample = elapsed - m_lastTime;
    double result;
    if (sinceSample > kSampleInterval) {
        if (m_lastProgress < 0) {
            result = -1.0;  // the first sample
        } else {
            double rate = (progress - m_lastProgress) / sinceSample;
            const double steps = std::floor(sinceSample / kSampleInterval);
            if (steps > kMaxSmoothingSteps) {
                m_speed = rate;
            } else {
                for (int n = int(steps); n > 0; --n) {
                    rate = m_alpha * m_speed + m_beta * rate;
                    m_speed = rate;
                }
            }
            bool estimated = true;
            if (m_speed >= 1e-12) {
                result = (1.0 - progress) / m_speed;
            } else if (progress > 1e-8) {
                result = elapsed / progress - elapsed;  // no speed: the average so far
            } else {
                result = -1.0;
                estimated = false;
            }
            if (estimated) {
                m_prediction = result;
                if (result > 1e-6) {
                    m_smoothing = 0.9 * m_adaptationBase + m_adaptationFactor * m_smoothing;
                    m_alpha = std::clamp(m_smoothing, 0.1, 0.99);
                    m_beta = 1.0 - m_alpha;
                }
            }
        }
        m_lastProgress = progress;
        m_lastTime = elapsed;
    } else {
        result = m_prediction < 0 ? -1.0 : std::max(m_prediction - sinceSample, 0.0);
    }
    if (result > kLongest) result = -1.0;
    return m_lastResult = result;
}
