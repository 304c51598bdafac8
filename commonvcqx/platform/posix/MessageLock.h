// TMessageLock: the std::mutex of message queues and the window table, as a lock the
// thread-safety analysis knows; TMessageGuard holds it for a scope, can leave and
// take it again, and is what the queue's condition variable waits on. Private to
// platform/posix.
//
//   TMessageGuard guard(queue->lock);
//   queue->posted.push_back(msg);        // checked: `posted` is guarded by `lock`
#pragma once

#include <commonvcqx/base/ThreadSafety.h>

#include <mutex>

namespace cvq::platform::posix {

class CVQ_CAPABILITY("mutex") TMessageLock {
public:
    void Lock() CVQ_ACQUIRE() { m_mutex.lock(); }
    void Unlock() CVQ_RELEASE() { m_mutex.unlock(); }
    /// The mutex itself, to set its kind up before first use.
    std::mutex& Native() { return m_mutex; }

private:
    std::mutex m_mutex;
};

class CVQ_SCOPED_CAPABILITY TMessageGuard {
public:
    explicit TMessageGuard(TMessageLock& lock) CVQ_ACQUIRE(lock) : m_held(lock.Native()) {}
    ~TMessageGuard() CVQ_RELEASE() {}
    TMessageGuard(const TMessageGuard&) = delete;
    TMessageGuard& operator=(const TMessageGuard&) = delete;

    void Unlock() CVQ_RELEASE() { m_held.unlock(); }
    void Lock() CVQ_ACQUIRE() { m_held.lock(); }
    /// For condition-variable waits, which leave and retake the lock inside.
    std::unique_lock<std::mutex>& Held() { return m_held; }

private:
    std::unique_lock<std::mutex> m_held;
};

}  // namespace cvq::platform::posix
