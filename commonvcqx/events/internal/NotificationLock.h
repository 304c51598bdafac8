// commonvcqx/events/internal/NotificationLock.h
//
// The process-wide notification lock that serializes all queue work, and the registry
// of live queues behind it. The lock is usable at any time, also before its start-up
// step and after unloading began.
//
//   cvq::detail::TNotificationGuard guard;    // before any publisher's own lock
#pragma once

#include <commonvcqx/base/ThreadSafety.h>
#include <commonvcqx/base/Visibility.h>
#include <commonvcqx/platform/CriticalSection.h>

class TEventPublisher;
class TNotificationQueue;

namespace cvq::detail {

/// A critical section whose zero state is free, so that it works from the first
/// instant of the load to the last of the unload, whatever the order of the static
/// objects.
class CVQ_CAPABILITY("mutex") TNotificationLock {
public:
    void Enter() noexcept CVQ_ACQUIRE() { EnterCriticalSection(&m_section); }
    void Leave() noexcept CVQ_RELEASE() { LeaveCriticalSection(&m_section); }

private:
    CRITICAL_SECTION m_section;
};

/// The notification lock.
CVQ_HIDDEN extern TNotificationLock g_notificationLock;

class CVQ_SCOPED_CAPABILITY TNotificationGuard {
public:
    TNotificationGuard() noexcept CVQ_ACQUIRE(g_notificationLock) { g_notificationLock.Enter(); }
    ~TNotificationGuard() CVQ_RELEASE() { g_notificationLock.Leave(); }
    TNotificationGuard(const TNotificationGuard&) = delete;
    TNotificationGuard& operator=(const TNotificationGuard&) = delete;
};

/// Deletes the publisher's records from every live queue.
void PurgePendingRecords(const TEventPublisher* publisher) CVQ_REQUIRES(g_notificationLock);

/// The calling thread's own queue (null without library data), nothing else done.
TNotificationQueue* CurrentNotificationQueue() noexcept;

}  // namespace cvq::detail
