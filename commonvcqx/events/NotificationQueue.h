// commonvcqx/events/NotificationQueue.h
//
// TNotificationQueue: pending notifications of TEventPublisher::PostNotification,
// waiting for a thread to dispatch them. Every thread with library data has one of its
// own; a host may make more and point publishers at them. All queue work is
// serialized by one process-wide notification lock.
//
//   // a host message loop
//   MSG msg;
//   while (GetMessageA(&msg, nullptr, 0, 0) > 0)
//       if (msg.message == WM_PENDING_EVENTS) ProcessThreadPendingEvents();
//
// Posting into an empty queue wakes the thread that made the queue (its owner) with
// the thread message 0x83ED. A queue owns its records and deletes them, with their
// event objects, when it goes.
#pragma once

#include <commonvcqx/base/IntrusiveList.h>
#include <commonvcqx/containers/DoubleList.h>

#include <cstdint>

class TNotificationQueue : public TDoubleList {
public:
    /// Owned by the calling thread: posts into it wake this thread.
    TNotificationQueue();
    TNotificationQueue(const TNotificationQueue&) = delete;
    TNotificationQueue& operator=(const TNotificationQueue&) = delete;
    /// Deletes the records still queued without dispatching them.
    ~TNotificationQueue() override;

    uint32_t GetOwnerThreadId() const noexcept { return m_ownerThreadId; }
    /// The thread that drains the queue and gets the wake-up message.
    void SetOwnerThreadId(uint32_t threadId) noexcept { m_ownerThreadId = threadId; }

private:
    friend struct TQueueRegistry;
    uint32_t m_ownerThreadId;
    // Every live queue is linked into one registry, so that a publisher going away
    // can take its records out of all of them.
    TNotificationQueue* m_prevQueue = nullptr;
    TNotificationQueue* m_nextQueue = nullptr;
    using TRegistryLinks = cvq::TMemberLinks<TNotificationQueue, &TNotificationQueue::m_nextQueue,
                                             &TNotificationQueue::m_prevQueue>;
};

/// Dispatches every record of the queue in order (records added meanwhile included),
/// deleting each once dispatched; the queue ends empty. Null: nothing.
void ProcessPendingEvents(TNotificationQueue* queue);
/// ProcessPendingEvents on the calling thread's own queue.
void ProcessThreadPendingEvents();
/// Deletes every record of the queue, with its event object, without dispatching it.
void FlushPendingEvents(TNotificationQueue* queue);
/// FlushPendingEvents on the calling thread's own queue.
void FlushThreadPendingEvents();
/// The calling thread's own queue; null for a thread without library data. Also makes
/// the thread's message queue, so that posts from other threads can wake it from now on.
TNotificationQueue* GetThreadNotificationQueue();
