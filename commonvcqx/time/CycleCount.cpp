// Cycle conversions over the platform's cycle counter and its rate.
#include <commonvcqx/time/CycleCount.h>

#include <commonvcqx/base/StartupOrder.h>
#include <commonvcqx/platform/internal/Clocks.h>

namespace {

// The original measured the processor clock here, sleeping while the library loaded;
// the step keeps its place in the start-up order and costs nothing: the rate is found
// on first use.
struct TProcessorClockStart {
    TProcessorClockStart() {
        cvq::detail::RecordStartupStep(cvq::detail::kStartProcessorClock, true);
    }
    ~TProcessorClockStart() {
        cvq::detail::RecordStartupStep(cvq::detail::kStartProcessorClock, false);
    }
};
__attribute__((init_priority(cvq::detail::kStartProcessorClock)))
TProcessorClockStart processorClockStart;

// ticks / rate, or 0 before a rate is known.
double CyclesToSeconds(int64_t ticks) noexcept {
    const double rate = cvq::platform::CycleRate();
    return rate > 0 ? double(ticks) / rate : 0.0;
}

}  // namespace

int64_t GetCycleCount() noexcept {
    return int64_t(cvq::platform::CycleCount());
}

double TicksToSeconds(int64_t ticks) noexcept {
    return CyclesToSeconds(ticks);
}

double TicksToMilliseconds(int64_t ticks) noexcept {
    return CyclesToSeconds(ticks) * 1e3;
}

double TicksToMicroseconds(int64_t ticks) noexcept {
    return CyclesToSeconds(ticks) * 1e6;
}

double TicksToFrequency(int64_t ticks) noexcept {
    const double rate = cvq::platform::CycleRate();
    return ticks != 0 && rate > 0 ? rate / double(ticks) : -1.0;
}
