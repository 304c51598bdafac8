// Event publisher, its subscriptions and groups.
#include <commonvcqx/events/EventObject.h>
#include <commonvcqx/events/EventPublisher.h>
#include <commonvcqx/events/EventSubscription.h>
#include <commonvcqx/events/NotificationQueue.h>
#include <commonvcqx/events/PendingNotification.h>
#include <commonvcqx/events/SubscriptionGroup.h>
#include <commonvcqx/events/internal/NotificationLock.h>

#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/threads/CriticalSection.h>

// ---- Event objects and subscriptions ------------------------------------------------

TEventObject::~TEventObject() = default;

TEventSubscription::TEventSubscription(int32_t eventId, int32_t kind, void* target,
                                       void* user) noexcept
    : m_eventId(eventId), m_kind(kind), m_target(target), m_user(user) {}

TEventSubscription::~TEventSubscription() {
    if (m_group) m_group->Unlink(this);
}

int TEventSubscription::Compare(const TObject& other, int compareMode) const {
    const auto& o = static_cast<const TEventSubscription&>(other);
    if (m_eventId != o.m_eventId) return m_eventId < o.m_eventId ? -1 : 1;
    if (compareMode == kUniversalMode) return 0;
    if (m_kind != o.m_kind) return m_kind < o.m_kind ? -1 : 1;
    if (m_target != o.m_target) return m_target < o.m_target ? -1 : 1;
    if (m_kind == kCallback && m_user != o.m_user) return m_user < o.m_user ? -1 : 1;
    return 0;
}

void TEventSubscription::Deliver(const TEventObject&, const TEventSubscriber*) {}

void TEventSubscription::Deliver(int32_t, int32_t, const TEventSubscriber*, TEventPublisher*,
                                 int32_t) {}

TCallbackSubscription::TCallbackSubscription(int32_t eventId, TEventCallback callback,
                                             void* user) noexcept
    : TEventSubscription(eventId, kCallback, reinterpret_cast<void*>(callback), user),
      m_valueCallback(callback),
      m_objectCallback(nullptr) {}

TCallbackSubscription::TCallbackSubscription(int32_t eventId, TEventObjectCallback callback,
                                             void* user) noexcept
    : TEventSubscription(eventId, kCallback, reinterpret_cast<void*>(callback), user),
      m_valueCallback(nullptr),
      m_objectCallback(callback) {}

// A function is called only in the form it was subscribed with: calling it through the
// other signature would be undefined.
void TCallbackSubscription::Deliver(const TEventObject& event, const TEventSubscriber*) {
    if (m_objectCallback) m_objectCallback(event, m_user);
}

void TCallbackSubscription::Deliver(int32_t first, int32_t second, const TEventSubscriber*,
                                    TEventPublisher* publisher, int32_t third) {
    if (m_valueCallback) m_valueCallback(m_eventId, first, second, m_user, publisher, third);
}

TSubscriberSubscription::TSubscriberSubscription(int32_t eventId,
                                                 TEventSubscriber& subscriber) noexcept
    : TEventSubscription(eventId, kSubscriber, &subscriber, nullptr) {}

void TSubscriberSubscription::Deliver(const TEventObject& event, const TEventSubscriber* excluded) {
    auto* subscriber = static_cast<TEventSubscriber*>(m_target);
    if (subscriber != excluded) subscriber->OnEvent(event);
}

void TSubscriberSubscription::Deliver(int32_t first, int32_t second,
                                      const TEventSubscriber* excluded, TEventPublisher* publisher,
                                      int32_t third) {
    auto* subscriber = static_cast<TEventSubscriber*>(m_target);
    if (subscriber != excluded) subscriber->OnEvent(m_eventId, first, second, publisher, third);
}

// ---- Groups -------------------------------------------------------------------------

TSubscriptionGroup::TSubscriptionGroup(TEventPublisher& publisher) noexcept
    : m_first(nullptr), m_publisher(&publisher) {}

TSubscriptionGroup::~TSubscriptionGroup() {
    Unsubscribe();
}

void TSubscriptionGroup::Enable(char enabled) {
    for (TEventSubscription* s = m_first; s; s = s->m_nextInGroup) s->Enable(enabled);
}

void TSubscriptionGroup::Unsubscribe() {
    // Each removal unlinks the subscription from this chain.
    while (TEventSubscription* s = m_first) {
        m_publisher->Unsubscribe(s);
        if (m_first == s) Unlink(s);  // not in the publisher's map: just forget it
    }
}

void TSubscriptionGroup::Link(TEventSubscription* subscription) noexcept {
    subscription->m_group = this;
    subscription->m_nextInGroup = m_first;
    m_first = subscription;
}

void TSubscriptionGroup::Unlink(TEventSubscription* subscription) noexcept {
    for (TEventSubscription** link = &m_first; *link; link = &(*link)->m_nextInGroup) {
        if (*link == subscription) {
            *link = subscription->m_nextInGroup;
            break;
        }
    }
    subscription->m_nextInGroup = nullptr;
    subscription->m_group = nullptr;
}

// ---- Publisher ----------------------------------------------------------------------

// Holds the publisher's lock (if any) and a compare mode for one operation.
class CVQ_SCOPED_CAPABILITY TEventPublisher::TLockedMode {
public:
    TLockedMode(TEventPublisher& publisher, int mode) CVQ_ACQUIRE(publisher.m_lock)
        : m_publisher(publisher) {
        m_publisher.LockEventNotifier();
        m_previous = m_publisher.m_map.GetCompareMode();
        m_publisher.m_map.SetCompareMode(mode);
    }
    ~TLockedMode() CVQ_RELEASE() {
        m_publisher.m_map.SetCompareMode(m_previous);
        m_publisher.UnlockEventNotifier();
    }
    TLockedMode(const TLockedMode&) = delete;
    TLockedMode& operator=(const TLockedMode&) = delete;

private:
    TEventPublisher& m_publisher;
    int m_previous;
};

TEventPublisher::TEventPublisher(const char* name, int32_t expectedCount, char threadSafe)
    : m_name(name),
      m_map(expectedCount < 0 ? 0 : expectedCount, 1),
      m_lock(threadSafe ? new TCriticalSection : nullptr),
      m_queue(nullptr) {}

TEventPublisher::~TEventPublisher() {
    {
        cvq::detail::TNotificationGuard guard;
        cvq::detail::PurgePendingRecords(this);
    }
    delete m_lock;
    m_lock = nullptr;
    m_map.DeleteAll();  // each subscription leaves its group's chain
}

TEventSubscription* TEventPublisher::Add(TSubscriptionGroup* group,
                                         TEventSubscription* subscription) {
    subscription->m_publisher = this;
    {
        TLockedMode locked(*this, TEventSubscription::kSubscriberMode);
        m_map.Add(subscription);
    }
    if (group) group->Link(subscription);
    return subscription;
}

TEventSubscription* TEventPublisher::Subscribe(TSubscriptionGroup* group, int32_t eventId,
                                               TEventCallback callback, void* user) {
    return Add(group, new TCallbackSubscription(eventId, callback, user));
}

TEventSubscription* TEventPublisher::Subscribe(TSubscriptionGroup* group, int32_t eventId,
                                               TEventObjectCallback callback, void* user) {
    return Add(group, new TCallbackSubscription(eventId, callback, user));
}

TEventSubscription* TEventPublisher::Subscribe(TSubscriptionGroup* group, int32_t eventId,
                                               TEventSubscriber& subscriber) {
    return Add(group, new TSubscriberSubscription(eventId, subscriber));
}

TEventSubscription* TEventPublisher::FindKey(const TEventSubscription& key) {
    TLockedMode locked(*this, TEventSubscription::kSubscriberMode);
    return static_cast<TEventSubscription*>(m_map.FindEqual(key));
}

TEventSubscription* TEventPublisher::Find(int32_t eventId, TEventCallback callback, void* user) {
    return FindKey(TCallbackSubscription(eventId, callback, user));
}

TEventSubscription* TEventPublisher::Find(int32_t eventId, TEventObjectCallback callback,
                                          void* user) {
    return FindKey(TCallbackSubscription(eventId, callback, user));
}

TEventSubscription* TEventPublisher::Find(int32_t eventId, TEventSubscriber& subscriber) {
    return FindKey(TSubscriberSubscription(eventId, subscriber));
}

int32_t TEventPublisher::Unsubscribe(const TEventSubscription& key) {
    TLockedMode locked(*this, TEventSubscription::kSubscriberMode);
    return m_map.DeleteAllEqual(key);
}

int32_t TEventPublisher::Unsubscribe(int32_t eventId, TEventCallback callback, void* user) {
    return Unsubscribe(TCallbackSubscription(eventId, callback, user));
}

int32_t TEventPublisher::Unsubscribe(int32_t eventId, TEventObjectCallback callback, void* user) {
    return Unsubscribe(TCallbackSubscription(eventId, callback, user));
}

int32_t TEventPublisher::Unsubscribe(int32_t eventId, TEventSubscriber& subscriber) {
    return Unsubscribe(TSubscriberSubscription(eventId, subscriber));
}

void TEventPublisher::Unsubscribe(TEventSubscription* subscription) {
    if (!subscription || subscription->m_publisher != this) return;
    TLockedMode locked(*this, TEventSubscription::kSubscriberMode);
    m_map.Delete(subscription);
}

int32_t TEventPublisher::GetSubscriptionCount(int32_t eventId) {
    TLockedMode locked(*this, TEventSubscription::kUniversalMode);
    return m_map.FindNumEqual(TEventSubscription(eventId));
}

namespace {

struct TValueArgs {
    int32_t first;
    int32_t second;
    const TEventSubscriber* excluded;
    TEventPublisher* publisher;
    int32_t third;
};

void DeliverValues(TObject& element, void* data) {
    auto& subscription = static_cast<TEventSubscription&>(element);
    if (!subscription.IsEnabled()) return;
    const auto* args = static_cast<const TValueArgs*>(data);
    subscription.Deliver(args->first, args->second, args->excluded, args->publisher, args->third);
}

struct TObjectArgs {
    const TEventObject* event;
    const TEventSubscriber* excluded;
};

void DeliverObject(TObject& element, void* data) {
    auto& subscription = static_cast<TEventSubscription&>(element);
    if (!subscription.IsEnabled()) return;
    const auto* args = static_cast<const TObjectArgs*>(data);
    subscription.Deliver(*args->event, args->excluded);
}

}  // namespace

void TEventPublisher::SendNotification(int32_t eventId, int32_t first, int32_t second,
                                       TEventSubscriber* excluded, int32_t third) {
    TLockedMode locked(*this, TEventSubscription::kUniversalMode);
    const TEventSubscription key(eventId);
    TValueArgs args{first, second, excluded, this, third};
    try {
        m_map.ForEachEqual(key, &DeliverValues, &args);
    } catch (...) {
        // A handler's exception ends this notification and goes no further.
    }
}

void TEventPublisher::SendNotification(const TEventObject& event, TEventSubscriber* excluded) {
    TLockedMode locked(*this, TEventSubscription::kUniversalMode);
    const TEventSubscription key(event.GetEventId());
    TObjectArgs args{&event, excluded};
    try {
        m_map.ForEachEqual(key, &DeliverObject, &args);
    } catch (...) {
    }
}

bool TEventPublisher::IsOnlySubscriber(int32_t eventId, TEventSubscriber* excluded) {
    if (!excluded) return false;
    if (!Find(eventId, *excluded)) return false;
    return GetSubscriptionCount(eventId) == 1;
}

void TEventPublisher::Queue(TPendingRecord* record, char replace) {
    TNotificationQueue* queue = m_queue ? m_queue : cvq::detail::CurrentNotificationQueue();
    if (!queue) {
        record->Delete();  // a thread without library data has nowhere to queue
        return;
    }
    if (replace) {
        for (TListElement* e = queue->GetFirst(); e; e = queue->GetNext(e)) {
            auto* old = dynamic_cast<TPendingRecord*>(e);
            if (old && old->GetPublisher() == this && old->GetEventId() == record->GetEventId()) {
                queue->Replace(old, record);  // the queue deletes the old record
                return;
            }
        }
    }
    if (queue->IsEmpty()) {
        const uint32_t owner = queue->GetOwnerThreadId();
        PostThreadMessageA(owner ? owner : GetCurrentThreadId(), WM_PENDING_EVENTS, 0, 0);
    }
    queue->Append(record);
}

void TEventPublisher::PostNotification(int32_t eventId, int32_t first, int32_t second,
                                       TEventSubscriber* excluded, int32_t third, char replace) {
    cvq::detail::TNotificationGuard guard;
    LockEventNotifier();
    try {
        if (!IsOnlySubscriber(eventId, excluded))
            Queue(new TPendingNotification(this, excluded, eventId, first, second, third), replace);
    } catch (...) {
        // A post that fails is dropped.
    }
    UnlockEventNotifier();
}

void TEventPublisher::PostNotification(TEventObject* event, TEventSubscriber* excluded,
                                       char replace) {
    if (!event) return;
    cvq::detail::TNotificationGuard guard;
    LockEventNotifier();
    TPendingRecord* record = nullptr;
    try {
        if (IsOnlySubscriber(event->GetEventId(), excluded)) {
            delete event;  // the caller cannot tell the post was dropped
        } else {
            record = new TPendingEventObject(this, excluded, event);
            Queue(record, replace);
        }
    } catch (...) {
        if (!record) delete event;
    }
    UnlockEventNotifier();
}

void TEventPublisher::LockEventNotifier() {
    if (m_lock) m_lock->Enter();
}

void TEventPublisher::UnlockEventNotifier() {
    if (m_lock) m_lock->Leave();
}

int32_t TEventPublisher::SetUniversalFindMode() {
    const int32_t previous = m_map.GetCompareMode();
    m_map.SetCompareMode(TEventSubscription::kUniversalMode);
    return previous;
}

int32_t TEventPublisher::SetSubscriberFindMode() {
    const int32_t previous = m_map.GetCompareMode();
    m_map.SetCompareMode(TEventSubscription::kSubscriberMode);
    return previous;
}

void TEventPublisher::ResetOriginalFindMode(int32_t mode) {
    m_map.SetCompareMode(mode);
}
