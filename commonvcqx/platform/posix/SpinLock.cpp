// The heaps' lock beyond its fast path: taking a bias, revoking it, contention.
#include <commonvcqx/platform/internal/SpinLock.h>

#include "SpinPause.h"

#include <linux/membarrier.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <atomic>

namespace cvq::platform {
namespace {

long Membarrier(int command) {
    return syscall(SYS_membarrier, command, 0, 0);
}

// 0: not tried; 1: expedited membarrier; 2: the page-protection fallback.
std::atomic<int> barrierKind{0};

// Changing the protection of a page another thread may have in its TLB makes the kernel
// interrupt every processor running this process, which serializes them.
void BarrierThroughPageProtection() {
    // A plain flag, not a TSpinLock: revoking a bias would come back here.
    static std::atomic_flag busy = ATOMIC_FLAG_INIT;
    static char* page = nullptr;
    while (busy.test_and_set(std::memory_order_acquire)) sched_yield();
    struct TRelease {
        ~TRelease() { busy.clear(std::memory_order_release); }
    } release;
    if (!page) {
        void* p = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) return;
        page = static_cast<char*>(p);
    }
    mprotect(page, 4096, PROT_READ | PROT_WRITE);
    __atomic_fetch_add(page, 1, __ATOMIC_SEQ_CST);
    mprotect(page, 4096, PROT_NONE);
}

}  // namespace

void SerializeAllThreads() {
    int kind = barrierKind.load(std::memory_order_acquire);
    if (kind == 0) {
        kind = Membarrier(MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED) == 0 ? 1 : 2;
        barrierKind.store(kind, std::memory_order_release);
    }
    if (kind == 1 && Membarrier(MEMBARRIER_CMD_PRIVATE_EXPEDITED) == 0) return;
    // After fork() the registration may be gone: renew it once, else fall back.
    if (kind == 1 && Membarrier(MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED) == 0 &&
        Membarrier(MEMBARRIER_CMD_PRIVATE_EXPEDITED) == 0)
        return;
    BarrierThroughPageProtection();
}

void TSpinLock::LockSlow(uintptr_t self) {
    // The first taker becomes the bias owner.
    uintptr_t none = 0;
    if (__atomic_load_n(&m_bias, __ATOMIC_RELAXED) == 0 &&
        __atomic_compare_exchange_n(&m_bias, &none, self, false, __ATOMIC_RELAXED,
                                    __ATOMIC_RELAXED)) {
        Lock();
        return;
    }
    for (unsigned attempt = 0;; ++attempt) {
        uintptr_t expected = 0;
        if (__atomic_load_n(&m_owner, __ATOMIC_RELAXED) == 0 &&
            __atomic_compare_exchange_n(&m_owner, &expected, self, false, __ATOMIC_ACQUIRE,
                                        __ATOMIC_RELAXED))
            break;
        if (attempt < 256) {
            posix::SpinPause();
        } else {
            sched_yield();
        }
    }
    uintptr_t bias = __atomic_load_n(&m_bias, __ATOMIC_RELAXED);
    if (bias != kRevoked) {
        // Another thread holds the bias: take it away for good, then wait until that
        // thread has left.
        __atomic_store_n(&m_bias, kRevoked, __ATOMIC_RELAXED);
        if (bias != 0 && bias != self) {
            SerializeAllThreads();
            while (__atomic_load_n(&m_biasBusy, __ATOMIC_ACQUIRE)) sched_yield();
        }
    }
}

}  // namespace cvq::platform
