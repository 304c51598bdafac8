// The contended path of the heaps' lock.
#include <commonvcqx/platform/internal/SpinLock.h>

#include <sched.h>
#include <time.h>

namespace cvq::platform {

void TSpinLock::LockContended(uintptr_t self) {
    for (unsigned attempt = 0;; ++attempt) {
        uintptr_t expected = 0;
        if (__atomic_load_n(&owner_, __ATOMIC_RELAXED) == 0 &&
            __atomic_compare_exchange_n(&owner_, &expected, self, false, __ATOMIC_ACQUIRE,
                                        __ATOMIC_RELAXED))
            return;
        if (attempt < 64) {
#if defined(__x86_64__)
            __builtin_ia32_pause();
#endif
        } else if (attempt < 1024) {
            sched_yield();
        } else {
            // A holder that was preempted for long: stop burning the core.
            timespec pause{0, 50000};
            nanosleep(&pause, nullptr);
        }
    }
}

}  // namespace cvq::platform
