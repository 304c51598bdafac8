// commonvcqx/platform/internal/Clocks.h
//
// The clocks of the platform: the performance counter and the two millisecond
// counters of Windows, the wall clock in seconds, and the processor's cycle counter
// with its rate. Every reading of a clock in the library goes through here.
//
//   int64_t start = cvq::platform::PerformanceCounter();
//   Work();
//   double seconds = double(cvq::platform::PerformanceCounter() - start) /
//                    cvq::platform::kPerformanceFrequency;
//
// Nothing here waits while the library loads: the cycle rate is found on first use.
#pragma once

#include <commonvcqx/platform/WinTypes.h>

#include <cstdint>

namespace cvq::platform {

/// QueryPerformanceCounter: CLOCK_MONOTONIC in nanoseconds. It always exists here.
int64_t PerformanceCounter() noexcept;
/// QueryPerformanceFrequency: ticks of PerformanceCounter per second.
inline constexpr int64_t kPerformanceFrequency = 1000000000;

/// timeGetTime: milliseconds of CLOCK_MONOTONIC, wrapping at 32 bits.
DWORD MultimediaTime() noexcept;
/// GetTickCount: milliseconds of CLOCK_MONOTONIC_COARSE (as fine as the Windows tick
/// and cheaper to read), wrapping at 32 bits.
DWORD TickCount() noexcept;

/// The C run-time's time(): seconds since 1970-01-01 00:00 UTC of the system clock.
int64_t WallClockSeconds() noexcept;

/// Processor cycles: the time-stamp counter on x86 (rdtsc), elsewhere the raw
/// monotonic clock in nanoseconds.
uint64_t CycleCount() noexcept;
/// Cycles per second of CycleCount: stated by the processor (CPUID) where it states
/// it, otherwise measured once against the monotonic clock by the first call, which
/// then takes about 10 ms. Thread-safe; 0 only if the measurement saw no time pass.
double CycleRate() noexcept;

/// The CPUID words that can state the time-stamp counter's rate: leaf 0x15 (EAX
/// denominator, EBX numerator, ECX crystal hertz), leaf 0x16 EAX (base megahertz) and
/// the hypervisor leaf 0x40000010 EAX (kilohertz); 0 where a leaf is absent.
struct TCpuidClockLeaves {
    uint32_t ratioDenominator = 0;
    uint32_t ratioNumerator = 0;
    uint32_t crystalHertz = 0;
    uint32_t baseMegahertz = 0;
    uint32_t hypervisorKilohertz = 0;
};
/// The rate those words state, or 0 when they state none.
double CycleRateFromCpuid(const TCpuidClockLeaves& leaves) noexcept;

/// A test seam: while set, the performance counter and both millisecond counters read
/// from `source` instead of the system (null restores the system clocks). The source
/// must outlive its use.
struct TClockSource {
    int64_t (*performanceCounter)();
    DWORD (*multimediaTime)();
    DWORD (*tickCount)();
};
void SetClockSource(const TClockSource* source) noexcept;

}  // namespace cvq::platform
