// The clocks: CLOCK_MONOTONIC for the performance counter and timeGetTime, the
// coarse monotonic clock for GetTickCount, the time-stamp counter for cycles.
#include <commonvcqx/platform/internal/Clocks.h>

#include <atomic>
#include <cerrno>

#include <time.h>
#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#define CVQ_HAVE_TSC 1
#else
#define CVQ_HAVE_TSC 0
#endif

namespace cvq::platform {
namespace {

constinit std::atomic<const TClockSource*> g_source{nullptr};

int64_t Nanoseconds(clockid_t clock) noexcept {
    timespec now{};
    ::clock_gettime(clock, &now);
    return int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

DWORD Milliseconds(clockid_t clock) noexcept {
    timespec now{};
    ::clock_gettime(clock, &now);
    return static_cast<DWORD>(static_cast<uint64_t>(now.tv_sec) * 1000 +
                              static_cast<uint64_t>(now.tv_nsec) / 1000000);
}

#if CVQ_HAVE_TSC
TCpuidClockLeaves ReadCpuidClockLeaves() noexcept {
    TCpuidClockLeaves leaves;
    unsigned a = 0, b = 0, c = 0, d = 0;
    const unsigned top = __get_cpuid_max(0, nullptr);
    if (top >= 0x15) {
        __cpuid_count(0x15, 0, a, b, c, d);
        leaves.ratioDenominator = a;
        leaves.ratioNumerator = b;
        leaves.crystalHertz = c;
    }
    if (top >= 0x16) {
        __cpuid_count(0x16, 0, a, b, c, d);
        leaves.baseMegahertz = a & 0xFFFF;
    }
    __cpuid(1, a, b, c, d);
    if (c & (1u << 31)) {  // running under a hypervisor
        __cpuid(0x40000000, a, b, c, d);
        if (a >= 0x40000010) {
            __cpuid(0x40000010, a, b, c, d);
            leaves.hypervisorKilohertz = a;
        }
    }
    return leaves;
}
#endif

double MeasureCycleRate() noexcept {
    const int64_t startTime = Nanoseconds(CLOCK_MONOTONIC_RAW);
    const uint64_t startCycles = CycleCount();
    timespec delay{0, 10000000};
    while (::nanosleep(&delay, &delay) != 0 && errno == EINTR) {
    }
    const uint64_t endCycles = CycleCount();
    const int64_t elapsed = Nanoseconds(CLOCK_MONOTONIC_RAW) - startTime;
    return elapsed > 0 ? double(endCycles - startCycles) * 1e9 / double(elapsed) : 0.0;
}

double FindCycleRate() noexcept {
#if CVQ_HAVE_TSC
    const double stated = CycleRateFromCpuid(ReadCpuidClockLeaves());
    if (stated > 0) return stated;
    return MeasureCycleRate();
#else
    return 1e9;  // CycleCount is the monotonic clock in nanoseconds
#endif
}

}  // namespace

int64_t PerformanceCounter() noexcept {
    if (const TClockSource* source = g_source.load(std::memory_order_acquire))
        return source->performanceCounter();
    return Nanoseconds(CLOCK_MONOTONIC);
}

DWORD MultimediaTime() noexcept {
    if (const TClockSource* source = g_source.load(std::memory_order_acquire))
        return source->multimediaTime();
    return Milliseconds(CLOCK_MONOTONIC);
}

DWORD TickCount() noexcept {
    if (const TClockSource* source = g_source.load(std::memory_order_acquire))
        return source->tickCount();
    return Milliseconds(CLOCK_MONOTONIC_COARSE);
}

int64_t WallClockSeconds() noexcept {
    return static_cast<int64_t>(::time(nullptr));
}

uint64_t CycleCount() noexcept {
#if CVQ_HAVE_TSC
    return __rdtsc();
#else
    return static_cast<uint64_t>(Nanoseconds(CLOCK_MONOTONIC_RAW));
#endif
}

double CycleRate() noexcept {
    static const double rate = FindCycleRate();
    return rate;
}

double CycleRateFromCpuid(const TCpuidClockLeaves& leaves) noexcept {
    if (leaves.ratioDenominator != 0 && leaves.ratioNumerator != 0) {
        if (leaves.crystalHertz != 0)
            return double(leaves.crystalHertz) * leaves.ratioNumerator / leaves.ratioDenominator;
        // Without the crystal the counter runs at the base frequency.
        if (leaves.baseMegahertz != 0) return double(leaves.baseMegahertz) * 1e6;
    }
    return double(leaves.hypervisorKilohertz) * 1e3;
}

void SetClockSource(const TClockSource* source) noexcept {
    g_source.store(source, std::memory_order_release);
}

}  // namespace cvq::platform
