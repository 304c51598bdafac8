// commonvcqx/time/Timer.h
//
// TTimer: a stopwatch over one of three clocks, with pause and resume, reporting the
// time it ran in seconds, milliseconds or microseconds. A plain value, copied field
// by field; one thread uses a timer at a time.
//
//   TTimer timer(TTimer::kMilliseconds, 1);   // running
//   Work();
//   timer.Pause();                            // the paused interval does not count
//   Wait();
//   timer.Resume();
//   double ms = timer.GetElapsedTime();
//
// The clocks: the performance counter (CLOCK_MONOTONIC, nanoseconds; it always exists
// here, so no timer falls back to another clock), the multimedia timer (timeGetTime:
// CLOCK_MONOTONIC in milliseconds) and the tick count (GetTickCount: the coarse
// monotonic clock in milliseconds). The millisecond counters are 32 bits wide; their
// differences are taken modulo 2^32, so an interval across their wrap (every 49.7
// days) still measures right. Reading a timer costs one clock query.
#pragma once

#include <cstdint>

class TTimer {
public:
    enum EUnits : int32_t { kSeconds = 0, kMilliseconds = 1, kMicroseconds = 2 };
    enum ETimer : int32_t { kPerformanceCounter = 0, kMultimediaTimer = 1, kTickCount = 2 };

    /// Stopped at zero unless `start` is non-zero. Units or a clock outside the
    /// enumerations are taken as seconds and the performance counter.
    explicit TTimer(EUnits units = kSeconds, char start = 0,
                    ETimer clock = kPerformanceCounter) noexcept;

    /// Clears the time collected and runs.
    void Start() noexcept {
        Reset();
        Resume();
    }
    /// Stops at zero.
    void Reset() noexcept {
        m_accumulated = 0;
        m_running = 0;
    }
    /// Runs again from the time collected so far (nothing when running).
    void Resume() noexcept;
    /// Adds the current run period to the time collected and stops (nothing when stopped).
    void Pause() noexcept;

    /// The time collected plus the current run period, in the timer's units.
    double GetElapsedTime() const noexcept;
    operator double() const noexcept { return GetElapsedTime(); }
    operator float() const noexcept { return float(GetElapsedTime()); }
    /// GetElapsedTime truncated toward zero, clamped to 0 .. 2^32 - 1.
    operator uint32_t() const noexcept;

    /// The clock's current reading in the timer's units.
    double GetCurrentAbsTime() const noexcept;
    /// The clock's current reading in its own ticks (a millisecond count in the low 32
    /// bits, zero above).
    void GetCurrentAbsTimeAsTicks(int64_t* ticks) const noexcept;
    /// Clock ticks since the last Start or Resume, without earlier run periods.
    int64_t GetAccumulatedTime() const noexcept;

private:
    int64_t Read() const noexcept;
    int64_t Since(int64_t reading) const noexcept;

    double m_scale;
    int64_t m_start = 0;
    int64_t m_accumulated = 0;
    ETimer m_clock;
    char m_running = 0;
};
