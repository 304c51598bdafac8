// commonvcqx/events/EventSubscription.h
//
// TEventSubscription: one subscription of a TEventPublisher, an element of its hash
// map hashed by event id. TCallbackSubscription calls a function with a user pointer;
// TSubscriberSubscription calls a TEventSubscriber unless it is the excluded one. The
// base class, kind 0, is the publisher's search key and delivers nothing.
//
//   TEventSubscription* s = publisher.Subscribe(&group, kTick, &OnTick, this);
//   s->Enable(0);                    // stays subscribed, skipped by notifications
//
// Compare mode 0 matches a subscription exactly (event id, kind, target, user
// pointer); mode 1 matches every subscription of the same event id. A subscription
// made with a group leaves the group's chain when it is removed, however it goes.
#pragma once

#include <commonvcqx/containers/FlexHashMap.h>
#include <commonvcqx/events/EventSubscriber.h>

#include <atomic>
#include <cstdint>

class TSubscriptionGroup;

class TEventSubscription : public THashableElement {
public:
    enum : int32_t { kKey = 0, kCallback = 1, kSubscriber = 2 };
    enum : int { kSubscriberMode = 0, kUniversalMode = 1 };

    explicit TEventSubscription(int32_t eventId, int32_t kind = kKey, void* target = nullptr,
                                void* user = nullptr) noexcept;
    TEventSubscription(const TEventSubscription&) = delete;
    TEventSubscription& operator=(const TEventSubscription&) = delete;
    /// Unlinks the subscription from its group's chain.
    ~TEventSubscription() override;

    int Compare(const TObject& other, int compareMode) const override;
    unsigned int GetHashedValue() const override { return static_cast<unsigned>(m_eventId); }

    virtual void Deliver(const TEventObject& event, const TEventSubscriber* excluded);
    virtual void Deliver(int32_t first, int32_t second, const TEventSubscriber* excluded,
                         TEventPublisher* publisher, int32_t third);

    int32_t GetEventId() const noexcept { return m_eventId; }
    int32_t GetKind() const noexcept { return m_kind; }
    char IsEnabled() const noexcept { return m_enabled.load(std::memory_order_relaxed); }
    /// Safe while another thread notifies (groups set it without the publisher's lock).
    void Enable(char enabled) noexcept {
        m_enabled.store(enabled ? 1 : 0, std::memory_order_relaxed);
    }
    TEventSubscription* GetNextInGroup() const noexcept { return m_nextInGroup; }
    TSubscriptionGroup* GetGroup() const noexcept { return m_group; }
    TEventPublisher* GetPublisher() const noexcept { return m_publisher; }

protected:
    int32_t m_eventId;
    int32_t m_kind;
    TEventSubscription* m_nextInGroup = nullptr;
    std::atomic<char> m_enabled{1};
    void* m_target;
    void* m_user;

private:
    friend class TEventPublisher;
    friend class TSubscriptionGroup;
    TSubscriptionGroup* m_group = nullptr;
    TEventPublisher* m_publisher = nullptr;
};

class TCallbackSubscription : public TEventSubscription {
public:
    TCallbackSubscription(int32_t eventId, TEventCallback callback, void* user) noexcept;
    TCallbackSubscription(int32_t eventId, TEventObjectCallback callback, void* user) noexcept;

    void Deliver(const TEventObject& event, const TEventSubscriber* excluded) override;
    void Deliver(int32_t first, int32_t second, const TEventSubscriber* excluded,
                 TEventPublisher* publisher, int32_t third) override;

private:
    TEventCallback m_valueCallback;
    TEventObjectCallback m_objectCallback;
};

class TSubscriberSubscription : public TEventSubscription {
public:
    TSubscriberSubscription(int32_t eventId, TEventSubscriber& subscriber) noexcept;

    void Deliver(const TEventObject& event, const TEventSubscriber* excluded) override;
    void Deliver(int32_t first, int32_t second, const TEventSubscriber* excluded,
                 TEventPublisher* publisher, int32_t third) override;
};
