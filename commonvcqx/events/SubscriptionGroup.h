// commonvcqx/events/SubscriptionGroup.h
//
// TSubscriptionGroup: subscriptions of one publisher collected so that they can be
// enabled, disabled and removed together; the destructor removes them. The publisher
// must outlive the group (a publisher that goes first takes its subscriptions out of
// the group's chain, so the group is then empty).
//
//   TSubscriptionGroup group(publisher);
//   publisher.Subscribe(&group, kPlay, &OnPlay, this);
//   publisher.Subscribe(&group, kStop, &OnStop, this);
//   group.Enable(0);                   // both stay subscribed but hear nothing
#pragma once

class TEventPublisher;
class TEventSubscription;

class TSubscriptionGroup {
public:
    explicit TSubscriptionGroup(TEventPublisher& publisher) noexcept;
    TSubscriptionGroup(const TSubscriptionGroup&) = delete;
    TSubscriptionGroup& operator=(const TSubscriptionGroup&) = delete;
    ~TSubscriptionGroup();

    /// Sets every subscription's enabled flag; written without the publisher's lock.
    void Enable(char enabled);
    /// Removes every subscription of the chain from the publisher.
    void Unsubscribe();

    TEventSubscription* GetFirst() const noexcept { return m_first; }
    TEventPublisher* GetPublisher() const noexcept { return m_publisher; }

private:
    friend class TEventPublisher;
    friend class TEventSubscription;
    void Link(TEventSubscription* subscription) noexcept;
    void Unlink(TEventSubscription* subscription) noexcept;

    TEventSubscription* m_first;
    TEventPublisher* m_publisher;
};
