// commonvcqx/time/CycleCount.h
//
// Processor cycles to time and frequency. The cycle counter is the processor's
// time-stamp counter (elsewhere the monotonic clock in nanoseconds); its rate is read
// from the processor or measured once, on the first conversion (about 10 ms then),
// never while the library loads.
//
//   int64_t start = GetCycleCount();
//   Work();
//   double us = TicksToMicroseconds(GetCycleCount() - start);
#pragma once

#include <cstdint>

/// The processor's cycle counter.
int64_t GetCycleCount() noexcept;

/// Cycles as time; 0 if the rate could not be found.
double TicksToSeconds(int64_t ticks) noexcept;
double TicksToMilliseconds(int64_t ticks) noexcept;
double TicksToMicroseconds(int64_t ticks) noexcept;
/// Cycles per second over `ticks` cycles (rate / ticks): the frequency of an event that
/// recurs every `ticks` cycles; -1 for 0 ticks or an unknown rate.
double TicksToFrequency(int64_t ticks) noexcept;
