// commonvcqx/base/StartupOrder.h
//
// The order in which the library's static objects are built when it is loaded; they
// are destroyed in reverse when it is unloaded. Each step is one init_priority, so
// the order does not depend on link order:
//
//   __attribute__((init_priority(cvq::detail::kStartStringHeap))) TStringStart start;
//
// Every step records itself in a small fixed log (no allocation, usable before any
// constructor has run) so that tests can check the order that actually happened.
#pragma once

namespace cvq::detail {

// Allocator hooks, "HeapForHeaps", "DefaultHeap" and the two test heaps.
inline constexpr int kStartHeaps = 101;
// The process-wide file notifier "GlobalFileNotifier".
inline constexpr int kStartFileNotifier = 110;
// "ParallelReaderHeap", the 52-byte blocks of the parallel reader.
inline constexpr int kStartParallelReaderHeap = 120;
// Locks of the log files and of the multi-file buffers.
inline constexpr int kStartFileLocks = 130;
// Page size and allocation granularity.
inline constexpr int kStartPageSize = 140;
// Processor clock measurement.
inline constexpr int kStartProcessorClock = 150;
// The shared empty string and "StringHeap".
inline constexpr int kStartStringHeap = 160;
// The file selector's lock.
inline constexpr int kStartFileSelectorLock = 170;
// Out-of-memory and unexpected-exception handlers, and the loading thread's id.
inline constexpr int kStartExceptionHandlers = 180;
// The library's global exception object (the prototype of every TException).
inline constexpr int kStartExceptionPrototype = 190;
// The global notification lock.
inline constexpr int kStartNotificationLock = 200;
// The operation template.
inline constexpr int kStartOperationTemplate = 210;
// The thread-local slot with the loading thread's data, the page cache and the
// parallel reader and writer.
inline constexpr int kStartThreadData = 220;

inline constexpr int kStartupSteps[] = {kStartHeaps,
                                        kStartFileNotifier,
                                        kStartParallelReaderHeap,
                                        kStartFileLocks,
                                        kStartPageSize,
                                        kStartProcessorClock,
                                        kStartStringHeap,
                                        kStartFileSelectorLock,
                                        kStartExceptionHandlers,
                                        kStartExceptionPrototype,
                                        kStartNotificationLock,
                                        kStartOperationTemplate,
                                        kStartThreadData};

constexpr bool StepsAscend() {
    for (unsigned i = 1; i < sizeof(kStartupSteps) / sizeof(kStartupSteps[0]); ++i)
        if (kStartupSteps[i - 1] >= kStartupSteps[i]) return false;
    return kStartupSteps[0] > 100;  // priorities up to 100 belong to the C++ runtime
}
static_assert(StepsAscend());

/// Notes that a step's static object was built (`built` true) or destroyed.
void RecordStartupStep(int step, bool built) noexcept;

/// The log: `count` entries, a built step as its priority, a destroyed one negated.
/// Holds the first 64 events.
struct TStartupLog {
    int count;
    int entries[64];
};
const TStartupLog& StartupLog() noexcept;

/// Called for every step recorded from now on (null: nobody); for watching an unload,
/// after which the log itself is gone.
using TStartupObserver = void (*)(int step, bool built);
void SetStartupObserver(TStartupObserver observer) noexcept;

}  // namespace cvq::detail
