// The re-entrant lock: one futex word for the lock itself, the owner's thread id for
// re-entry. An uncontended enter or leave is one atomic exchange and no system call;
// while the process has a single thread (as glibc's own locks do) not even that.
// Starting a thread is a full barrier, so a lock taken in that state is seen held.
#include <commonvcqx/platform/CriticalSection.h>
#include <commonvcqx/platform/internal/Threads.h>

#include "SpinPause.h"
#include "ThreadState.h"

#include <sys/single_threaded.h>

namespace {

constexpr uint32_t kFree = 0;
constexpr uint32_t kHeld = 1;
constexpr uint32_t kContended = 2;
constexpr int kSpins = 100;

[[gnu::noinline]] void EnterContended(CRITICAL_SECTION* section) {
    for (int i = 0; i < kSpins; ++i) {
        uint32_t expected = kFree;
        if (section->LockCount.load(std::memory_order_relaxed) == kFree &&
            section->LockCount.compare_exchange_weak(expected, kHeld, std::memory_order_acquire,
                                                     std::memory_order_relaxed))
            return;
        cvq::platform::posix::SpinPause();
    }
    while (section->LockCount.exchange(kContended, std::memory_order_acquire) != kFree)
        cvq::platform::posix::FutexWait(&section->LockCount, kContended, nullptr);
}

}  // namespace

void InitializeCriticalSection(CRITICAL_SECTION* section) {
    section->LockCount.store(kFree, std::memory_order_relaxed);
    section->OwningThread.store(0, std::memory_order_relaxed);
    section->RecursionCount = 0;
}

void DeleteCriticalSection(CRITICAL_SECTION*) {}

void EnterCriticalSection(CRITICAL_SECTION* section) {
    DWORD self = cvq::platform::posix::FastThreadId();
    // Only this thread ever stores its own id, so a relaxed read cannot see it falsely.
    if (section->OwningThread.load(std::memory_order_relaxed) == self) {
        ++section->RecursionCount;
        return;
    }
    uint32_t expected = kFree;
    if (__libc_single_threaded && section->LockCount.load(std::memory_order_relaxed) == kFree)
        section->LockCount.store(kHeld, std::memory_order_relaxed);
    else if (!section->LockCount.compare_exchange_strong(expected, kHeld, std::memory_order_acquire,
                                                         std::memory_order_relaxed))
        EnterContended(section);
    section->OwningThread.store(self, std::memory_order_relaxed);
    section->RecursionCount = 1;
}

BOOL TryEnterCriticalSection(CRITICAL_SECTION* section) {
    DWORD self = cvq::platform::posix::FastThreadId();
    if (section->OwningThread.load(std::memory_order_relaxed) == self) {
        ++section->RecursionCount;
        return 1;
    }
    uint32_t expected = kFree;
    if (!section->LockCount.compare_exchange_strong(expected, kHeld, std::memory_order_acquire,
                                                    std::memory_order_relaxed))
        return 0;
    section->OwningThread.store(self, std::memory_order_relaxed);
    section->RecursionCount = 1;
    return 1;
}

void LeaveCriticalSection(CRITICAL_SECTION* section) {
    if (section->OwningThread.load(std::memory_order_relaxed) !=
        cvq::platform::posix::FastThreadId())
        return;
    if (--section->RecursionCount > 0) return;
    section->OwningThread.store(0, std::memory_order_relaxed);
    if (__libc_single_threaded) {
        section->LockCount.store(kFree, std::memory_order_relaxed);
        return;
    }
    if (section->LockCount.exchange(kFree, std::memory_order_release) == kContended)
        cvq::platform::posix::FutexWake(&section->LockCount, 1);
}
