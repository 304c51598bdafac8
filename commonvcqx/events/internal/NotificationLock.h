// commonvcqx/events/internal/NotificationLock.h
//
// The process-wide notification lock that serializes all queue work, and the registry
// of live queues behind it. The lock is usable at any time, also before its start-up
// step and after unloading began.
//
//   cvq::detail::TNotificationGuard guard;    // before any publisher's own lock
#pragma once

class TEventPublisher;
class TNotificationQueue;

namespace cvq::detail {

void EnterNotificationLock() noexcept;
void LeaveNotificationLock() noexcept;

class TNotificationGuard {
public:
    TNotificationGuard() noexcept { EnterNotificationLock(); }
    ~TNotificationGuard() { LeaveNotificationLock(); }
    TNotificationGuard(const TNotificationGuard&) = delete;
    TNotificationGuard& operator=(const TNotificationGuard&) = delete;
};

/// Deletes the publisher's records from every live queue; the caller holds the lock.
void PurgePendingRecords(const TEventPublisher* publisher);

/// The calling thread's own queue (null without library data), nothing else done.
TNotificationQueue* CurrentNotificationQueue() noexcept;

}  // namespace cvq::detail
