// commonvcqx/platform/internal/SpinLock.h
//
// TSpinLock: the recursive lock of the heaps, which serve every allocation of the
// process. Uncontended it costs no atomic read-modify-write at all: the first thread to
// take it owns a bias and enters with plain stores. The first other thread to take it
// revokes the bias (once, with a process-wide memory barrier) and from then on the lock
// is an atomic exchange to enter and a store to leave; a waiter spins, then yields.
// It has a trivial constructor and all-zero means unlocked, so a lock in static storage
// works before any constructor has run.
//
//   constinit cvq::platform::TSpinLock lock{};
//   lock.Lock(); ... lock.Unlock();
#pragma once

#include <commonvcqx/base/ThreadSafety.h>

#include <cstdint>

namespace cvq::platform {

/// A value unique to the calling thread among the living threads (never 0 or 1).
inline uintptr_t CurrentThreadToken() {
#if defined(__x86_64__)
    uintptr_t self;
    asm("mov %%fs:0, %0" : "=r"(self));
    return self;
#else
    return reinterpret_cast<uintptr_t>(__builtin_thread_pointer());
#endif
}

/// Makes every running thread of the process execute a full memory barrier.
void SerializeAllThreads();

class CVQ_CAPABILITY("mutex") TSpinLock {
public:
    TSpinLock() = default;

    void Lock() CVQ_ACQUIRE() {
        uintptr_t self = CurrentThreadToken();
        if (__atomic_load_n(&m_bias, __ATOMIC_RELAXED) == self) {
            if (__atomic_load_n(&m_biasBusy, __ATOMIC_RELAXED)) {
                ++m_depth;
                return;
            }
            // Dekker with a revoking thread, whose SerializeAllThreads() stands in for
            // the fence this side leaves out.
            __atomic_store_n(&m_biasBusy, 1, __ATOMIC_RELAXED);
            __atomic_signal_fence(__ATOMIC_SEQ_CST);
            if (__atomic_load_n(&m_bias, __ATOMIC_RELAXED) == self) {
                __atomic_thread_fence(__ATOMIC_ACQUIRE);
                return;
            }
            __atomic_store_n(&m_biasBusy, 0, __ATOMIC_RELEASE);
        }
        if (__atomic_load_n(&m_owner, __ATOMIC_RELAXED) == self) {
            ++m_depth;
            return;
        }
        LockSlow(self);
    }

    void Unlock() CVQ_RELEASE() {
        if (m_depth != 0) {
            --m_depth;
            return;
        }
        if (__atomic_load_n(&m_owner, __ATOMIC_RELAXED) == CurrentThreadToken())
            __atomic_store_n(&m_owner, 0, __ATOMIC_RELEASE);
        else
            __atomic_store_n(&m_biasBusy, 0, __ATOMIC_RELEASE);
    }

    /// Leaves the lock completely, whatever the nesting; returns the nesting to restore.
    uint32_t UnlockAll() CVQ_RELEASE() {
        uint32_t depth = m_depth;
        m_depth = 0;
        Unlock();
        return depth;
    }

    void Relock(uint32_t depth) CVQ_ACQUIRE() {
        Lock();
        m_depth = depth;
    }

    bool IsHeldByCaller() const {
        uintptr_t self = CurrentThreadToken();
        return __atomic_load_n(&m_owner, __ATOMIC_RELAXED) == self ||
               (__atomic_load_n(&m_bias, __ATOMIC_RELAXED) == self &&
                __atomic_load_n(&m_biasBusy, __ATOMIC_RELAXED));
    }

    /// Unlocked and unbiased, as a zero-filled lock (for a lock in reused memory).
    void Initialize() {
        m_depth = 0;
        __atomic_store_n(&m_biasBusy, 0, __ATOMIC_RELAXED);
        __atomic_store_n(&m_bias, 0, __ATOMIC_RELAXED);
        __atomic_store_n(&m_owner, 0, __ATOMIC_RELEASE);
    }

    // Left uninitialized on purpose: zero (static storage or `{}`) is unlocked, and a
    // constructor that ran late must not wipe a lock already in use.
    uintptr_t m_owner;    // holder through the atomic path
    uintptr_t m_bias;     // thread that may enter without atomics; 0: none yet
    uint32_t m_biasBusy;  // the bias owner is inside
    uint32_t m_depth;     // nesting of the current holder

    static constexpr uintptr_t kRevoked = 1;

private:
    void LockSlow(uintptr_t self) CVQ_ACQUIRE();
};

/// Scope guard for TSpinLock.
class CVQ_SCOPED_CAPABILITY TSpinLockGuard {
public:
    explicit TSpinLockGuard(TSpinLock& lock) CVQ_ACQUIRE(lock) : m_lock(lock) { m_lock.Lock(); }
    ~TSpinLockGuard() CVQ_RELEASE() { m_lock.Unlock(); }
    TSpinLockGuard(const TSpinLockGuard&) = delete;
    TSpinLockGuard& operator=(const TSpinLockGuard&) = delete;

private:
    TSpinLock& m_lock;
};

}  // namespace cvq::platform
