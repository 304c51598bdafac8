// commonvcqx/base/Mutex.h
//
// TMutex: a std::mutex that the thread-safety analysis knows (the standard library's
// carries no annotations). TMutexGuard holds it for a scope, can leave and take it
// again, and is what a condition variable waits on. Like std::mutex it is constant-
// initialized and trivially destroyed, so a global one works at any point of start-up
// and exit.
//
//   cvq::TMutex lock;
//   int count CVQ_GUARDED_BY(lock) = 0;
//   { cvq::TMutexGuard guard(lock); ++count; }
#pragma once

#include <commonvcqx/base/ThreadSafety.h>

#include <mutex>

namespace cvq {

class CVQ_CAPABILITY("mutex") TMutex {
public:
    constexpr TMutex() = default;
    TMutex(const TMutex&) = delete;
    TMutex& operator=(const TMutex&) = delete;

    void Lock() CVQ_ACQUIRE() { m_mutex.lock(); }
    void Unlock() CVQ_RELEASE() { m_mutex.unlock(); }
    /// The mutex itself, to set its kind up before first use.
    std::mutex& Native() { return m_mutex; }

private:
    friend class TMutexGuard;
    std::mutex m_mutex;
};

class CVQ_SCOPED_CAPABILITY TMutexGuard {
public:
    explicit TMutexGuard(TMutex& lock) CVQ_ACQUIRE(lock) : m_held(lock.m_mutex) {}
    ~TMutexGuard() CVQ_RELEASE() {}
    TMutexGuard(const TMutexGuard&) = delete;
    TMutexGuard& operator=(const TMutexGuard&) = delete;

    void Unlock() CVQ_RELEASE() { m_held.unlock(); }
    void Lock() CVQ_ACQUIRE() { m_held.lock(); }
    /// For condition-variable waits, which leave and retake the lock inside.
    std::unique_lock<std::mutex>& Held() { return m_held; }

private:
    std::unique_lock<std::mutex> m_held;
};

}  // namespace cvq
