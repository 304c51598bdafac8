// commonvcqx/events/EventPublisher.h
//
// TEventPublisher: subscriptions to numbered events, notified at once on the calling
// thread (SendNotification) or later from a notification queue (PostNotification,
// then ProcessPendingEvents on the queue's thread). Events go in the value form (three
// 32-bit values) or as a TEventObject.
//
//   TEventPublisher publisher("Transport", 16, 1);      // thread-safe
//   publisher.Subscribe(nullptr, kPlay, &OnPlay, this);
//   publisher.SendNotification(kPlay, position);          // OnPlay runs now
//   publisher.PostNotification(kPlay, position);          // runs when the queue is drained
//
// Subscriptions of one event are notified oldest first, then the others from newest
// to second-oldest (until the map grows). A handler may remove its own subscription,
// but must not add to or remove others of the notifying publisher. Exceptions from
// handlers are dropped and end that notification. Handlers run under the publisher's
// lock, and when dispatched from a queue under the notification lock too; that lock
// is always taken first, so posting from inside an immediate notification of a
// thread-safe publisher reverses the order: keep such publishers apart from threads
// that drain them.
//
// A posted notification is dropped when its excluded subscriber is the event's only
// subscriber; a dropped event object is deleted. The destructor deletes the
// publisher's records still waiting in any queue, so none outlives it.
#pragma once

#include <commonvcqx/base/ThreadSafety.h>
#include <commonvcqx/containers/FlexHashMap.h>
#include <commonvcqx/events/EventSubscriber.h>
#include <commonvcqx/events/EventSubscription.h>
#include <commonvcqx/threads/CriticalSection.h>

#include <cstdint>

class TEventObject;
class TNotificationQueue;
class TPendingRecord;
class TSubscriptionGroup;

class TEventPublisher {
public:
    /// `name` is stored, not copied. `expectedCount` sizes the subscription map.
    explicit TEventPublisher(const char* name = nullptr, int32_t expectedCount = 0,
                             char threadSafe = 0);
    TEventPublisher(const TEventPublisher&) = delete;
    TEventPublisher& operator=(const TEventPublisher&) = delete;
    virtual ~TEventPublisher();

    const char* GetName() const noexcept { return m_name; }

    /// Each returns the new subscription; a group given links it at the chain's front.
    TEventSubscription* Subscribe(TSubscriptionGroup* group, int32_t eventId,
                                  TEventCallback callback, void* user);
    TEventSubscription* Subscribe(TSubscriptionGroup* group, int32_t eventId,
                                  TEventObjectCallback callback, void* user);
    TEventSubscription* Subscribe(TSubscriptionGroup* group, int32_t eventId,
                                  TEventSubscriber& subscriber);

    /// The first subscription equal to the key, or null.
    TEventSubscription* Find(int32_t eventId, TEventCallback callback, void* user);
    TEventSubscription* Find(int32_t eventId, TEventObjectCallback callback, void* user);
    TEventSubscription* Find(int32_t eventId, TEventSubscriber& subscriber);

    /// Remove and delete every subscription equal to the key; return how many.
    int32_t Unsubscribe(int32_t eventId, TEventCallback callback, void* user);
    int32_t Unsubscribe(int32_t eventId, TEventObjectCallback callback, void* user);
    int32_t Unsubscribe(int32_t eventId, TEventSubscriber& subscriber);
    /// Removes and deletes the subscription; one of another publisher (or null) is ignored.
    void Unsubscribe(TEventSubscription* subscription);

    /// Number of subscriptions to the event (enabled or not).
    int32_t GetSubscriptionCount(int32_t eventId);

    void SendNotification(int32_t eventId, int32_t first = 0, int32_t second = 0,
                          TEventSubscriber* excluded = nullptr, int32_t third = 0);
    void SendNotification(const TEventObject& event, TEventSubscriber* excluded = nullptr);
    /// With `replace`, a record of the same event and publisher already queued is
    /// replaced in place.
    void PostNotification(int32_t eventId, int32_t first = 0, int32_t second = 0,
                          TEventSubscriber* excluded = nullptr, int32_t third = 0,
                          char replace = 0);
    /// The publisher owns `event` from now on.
    void PostNotification(TEventObject* event, TEventSubscriber* excluded = nullptr,
                          char replace = 0);

    /// Queue into `queue` instead of the posting thread's own (null: back to that).
    void SetNotificationQueue(TNotificationQueue* queue) noexcept { m_queue = queue; }
    TNotificationQueue* GetNotificationQueue() const noexcept { return m_queue; }

protected:
    int32_t Unsubscribe(const TEventSubscription& key);

    /// Take and leave the publisher's lock, when it has one (to the analysis it is held
    /// either way: a publisher without one is not shared between threads).
    void LockEventNotifier() CVQ_ACQUIRE(m_lock) CVQ_NO_THREAD_SAFETY_ANALYSIS;
    void UnlockEventNotifier() CVQ_RELEASE(m_lock) CVQ_NO_THREAD_SAFETY_ANALYSIS;
    int32_t SetUniversalFindMode() CVQ_REQUIRES(m_lock);
    int32_t SetSubscriberFindMode() CVQ_REQUIRES(m_lock);
    void ResetOriginalFindMode(int32_t mode) CVQ_REQUIRES(m_lock);

private:
    class TLockedMode;
    TEventSubscription* Add(TSubscriptionGroup* group, TEventSubscription* subscription);
    TEventSubscription* FindKey(const TEventSubscription& key);
    bool IsOnlySubscriber(int32_t eventId, TEventSubscriber* excluded);
    void Queue(TPendingRecord* record, char replace);

    const char* m_name;
    TFlexHashMapImp m_map CVQ_GUARDED_BY(m_lock);
    TCriticalSection* m_lock;
    TNotificationQueue* m_queue;
};
