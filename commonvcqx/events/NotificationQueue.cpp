// Notification queues, their records, the notification lock and the queue registry.
#include <commonvcqx/events/EventObject.h>
#include <commonvcqx/events/EventPublisher.h>
#include <commonvcqx/events/NotificationQueue.h>
#include <commonvcqx/events/PendingNotification.h>
#include <commonvcqx/events/internal/NotificationLock.h>
#include <commonvcqx/events/internal/ThreadData.h>

#include <commonvcqx/base/StartupOrder.h>
#include <commonvcqx/platform/CriticalSection.h>
#include <commonvcqx/platform/Messages.h>

constinit cvq::detail::TNotificationLock cvq::detail::g_notificationLock;

namespace {

struct TNotificationLockStart {
    TNotificationLockStart() {
        cvq::detail::RecordStartupStep(cvq::detail::kStartNotificationLock, true);
    }
    ~TNotificationLockStart() {
        cvq::detail::RecordStartupStep(cvq::detail::kStartNotificationLock, false);
    }
};
__attribute__((init_priority(cvq::detail::kStartNotificationLock)))
TNotificationLockStart notificationLockStart;

}  // namespace

// Every live queue.
struct TQueueRegistry {
    static constinit inline cvq::TIntrusiveList<TNotificationQueue::TRegistryLinks> queues
        CVQ_GUARDED_BY(cvq::detail::g_notificationLock);

    static void Link(TNotificationQueue* queue) CVQ_REQUIRES(cvq::detail::g_notificationLock) {
        queues.PushFront(*queue);
    }
    static void Unlink(TNotificationQueue* queue) CVQ_REQUIRES(cvq::detail::g_notificationLock) {
        queues.Unlink(*queue);
    }
    static void Purge(const TEventPublisher* publisher)
        CVQ_REQUIRES(cvq::detail::g_notificationLock) {
        for (TNotificationQueue* queue = queues.First(); queue; queue = queue->m_nextQueue) {
            for (TListElement* e = queue->GetFirst(); e;) {
                TListElement* next = queue->GetNext(e);
                auto* record = dynamic_cast<TPendingRecord*>(e);
                if (record && record->GetPublisher() == publisher) queue->Delete(e);
                e = next;
            }
        }
    }
};

void cvq::detail::PurgePendingRecords(const TEventPublisher* publisher) {
    TQueueRegistry::Purge(publisher);
}

TNotificationQueue::TNotificationQueue() : TDoubleList(1), m_ownerThreadId(GetCurrentThreadId()) {
    cvq::detail::TNotificationGuard guard;
    TQueueRegistry::Link(this);
}

TNotificationQueue::~TNotificationQueue() {
    {
        cvq::detail::TNotificationGuard guard;
        TQueueRegistry::Unlink(this);
    }
    DeleteAll();
}

// ---- Records ------------------------------------------------------------------------

TPendingRecord::~TPendingRecord() = default;

void TPendingNotification::Dispatch() {
    m_publisher->SendNotification(m_eventId, m_first, m_second, m_excluded, m_third);
}

TPendingEventObject::TPendingEventObject(TEventPublisher* publisher, TEventSubscriber* excluded,
                                         TEventObject* event) noexcept
    : TPendingRecord(publisher, excluded, event->GetEventId()), m_event(event) {}

TPendingEventObject::~TPendingEventObject() {
    delete m_event;
}

void TPendingEventObject::Dispatch() {
    m_publisher->SendNotification(*m_event, m_excluded);
}

// ---- Draining -----------------------------------------------------------------------

void ProcessPendingEvents(TNotificationQueue* queue) {
    if (!queue) return;
    cvq::detail::TNotificationGuard guard;
    // Each record leaves the queue before it is dispatched, so a handler that posts
    // with replace, flushes or drains the same queue never touches the running record.
    while (TListElement* e = queue->DetachFirst()) {
        try {
            if (auto* record = dynamic_cast<TPendingRecord*>(e)) record->Dispatch();
        } catch (...) {
        }
        e->Delete();
    }
}

void ProcessThreadPendingEvents() {
    cvq::detail::TThreadData* data = cvq::detail::CurrentThreadData();
    if (data) ProcessPendingEvents(&data->queue);
}

void FlushPendingEvents(TNotificationQueue* queue) {
    if (!queue) return;
    cvq::detail::TNotificationGuard guard;
    queue->DeleteAll();
}

void FlushThreadPendingEvents() {
    cvq::detail::TThreadData* data = cvq::detail::CurrentThreadData();
    if (data) FlushPendingEvents(&data->queue);
}

TNotificationQueue* cvq::detail::CurrentNotificationQueue() noexcept {
    cvq::detail::TThreadData* data = cvq::detail::CurrentThreadData();
    return data ? &data->queue : nullptr;
}

TNotificationQueue* GetThreadNotificationQueue() {
    TNotificationQueue* queue = cvq::detail::CurrentNotificationQueue();
    // Another thread can post to a thread only once it has its message queue.
    if (queue) GetMessageQueueFileDescriptor();
    return queue;
}
