// TTimer over the platform's clocks.
#include <commonvcqx/time/Timer.h>

#include <commonvcqx/base/CheckedArithmetic.h>
#include <commonvcqx/base/Ticks.h>
#include <commonvcqx/platform/internal/Clocks.h>

namespace {

// Output units per tick, by units: the performance counter, the millisecond counters.
constexpr double kCounterScale[] = {1.0 / cvq::platform::kPerformanceFrequency,
                                    1e3 / cvq::platform::kPerformanceFrequency,
                                    1e6 / cvq::platform::kPerformanceFrequency};
constexpr double kMillisecondScale[] = {0.001, 1.0, 1000.0};

}  // namespace

TTimer::TTimer(EUnits units, char start, ETimer clock) noexcept
    : m_clock(clock == kMultimediaTimer || clock == kTickCount ? clock : kPerformanceCounter) {
    const int unit = units == kMilliseconds || units == kMicroseconds ? units : kSeconds;
    m_scale = m_clock == kPerformanceCounter ? kCounterScale[unit] : kMillisecondScale[unit];
    if (start) Resume();
}

int64_t TTimer::Read() const noexcept {
    switch (m_clock) {
        case kMultimediaTimer:
            return cvq::platform::MultimediaTime();
        case kTickCount:
            return cvq::platform::TickCount();
        default:
            return cvq::platform::PerformanceCounter();
    }
}

int64_t TTimer::Since(int64_t reading) const noexcept {
    if (m_clock == kPerformanceCounter) return reading - m_start;
    return cvq::TicksElapsed(uint32_t(m_start), uint32_t(reading));
}

void TTimer::Resume() noexcept {
    if (m_running) return;
    m_start = Read();
    m_running = 1;
}

void TTimer::Pause() noexcept {
    if (!m_running) return;
    m_accumulated += Since(Read());
    m_running = 0;
}

double TTimer::GetElapsedTime() const noexcept {
    return double(m_accumulated + (m_running ? Since(Read()) : 0)) * m_scale;
}

TTimer::operator uint32_t() const noexcept {
    return cvq::SaturatingCast<uint32_t>(GetElapsedTime());
}

double TTimer::GetCurrentAbsTime() const noexcept {
    return double(Read()) * m_scale;
}

void TTimer::GetCurrentAbsTimeAsTicks(int64_t* ticks) const noexcept {
    *ticks = Read();
}

int64_t TTimer::GetAccumulatedTime() const noexcept {
    return Since(Read());
}
