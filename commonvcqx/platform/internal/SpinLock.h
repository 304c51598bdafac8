// commonvcqx/platform/internal/SpinLock.h
//
// TSpinLock: the recursive lock of the heaps. Taking it uncontended costs one atomic
// exchange, releasing it one store; a waiter spins briefly and then yields. It has a
// trivial constructor and all-zero means unlocked, so a lock in static storage works
// before any constructor has run.
//
//   constinit cvq::platform::TSpinLock lock{};
//   lock.Lock(); ... lock.Unlock();
#pragma once

#include <cstdint>

namespace cvq::platform {

/// A value unique to the calling thread among the living threads.
inline uintptr_t CurrentThreadToken() {
#if defined(__x86_64__)
    uintptr_t self;
    asm("mov %%fs:0, %0" : "=r"(self));
    return self;
#else
    return reinterpret_cast<uintptr_t>(__builtin_thread_pointer());
#endif
}

class TSpinLock {
public:
    TSpinLock() = default;

    void Lock() {
        uintptr_t self = CurrentThreadToken();
        if (__atomic_load_n(&owner_, __ATOMIC_RELAXED) == self) {
            ++depth_;
            return;
        }
        uintptr_t expected = 0;
        if (!__atomic_compare_exchange_n(&owner_, &expected, self, false, __ATOMIC_ACQUIRE,
                                         __ATOMIC_RELAXED))
            LockContended(self);
    }

    void Unlock() {
        if (depth_ != 0) {
            --depth_;
            return;
        }
        __atomic_store_n(&owner_, 0, __ATOMIC_RELEASE);
    }

    /// Leaves the lock completely, whatever the nesting; returns the nesting to restore.
    uint32_t UnlockAll() {
        uint32_t depth = depth_;
        depth_ = 0;
        __atomic_store_n(&owner_, 0, __ATOMIC_RELEASE);
        return depth;
    }

    void Relock(uint32_t depth) {
        Lock();
        depth_ = depth;
    }

    bool IsHeldByCaller() const {
        return __atomic_load_n(&owner_, __ATOMIC_RELAXED) == CurrentThreadToken();
    }

    /// Back to unlocked, whoever held it (a child process after fork).
    void Reset() {
        depth_ = 0;
        __atomic_store_n(&owner_, 0, __ATOMIC_RELEASE);
    }

    // Left uninitialized on purpose: zero (static storage or `{}`) is unlocked, and a
    // constructor that ran late must not wipe a lock already in use.
    uintptr_t owner_;
    uint32_t depth_;

private:
    void LockContended(uintptr_t self);
};

/// Scope guard for TSpinLock.
class TSpinLockGuard {
public:
    explicit TSpinLockGuard(TSpinLock& lock) : lock_(lock) { lock_.Lock(); }
    ~TSpinLockGuard() { lock_.Unlock(); }
    TSpinLockGuard(const TSpinLockGuard&) = delete;
    TSpinLockGuard& operator=(const TSpinLockGuard&) = delete;

private:
    TSpinLock& lock_;
};

}  // namespace cvq::platform
