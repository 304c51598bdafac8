// commonvcqx/events/PendingNotification.h
//
// The records of a TNotificationQueue: TPendingNotification holds a notification in
// the value form, TPendingEventObject one in the object form (and owns the event
// object). Dispatch() hands the stored notification to its publisher's
// SendNotification. Made by TEventPublisher::PostNotification.
//
//   for (TListElement* e = queue.GetFirst(); e; e = queue.GetNext(e))
//       static_cast<TPendingRecord*>(e)->GetEventId();
#pragma once

#include <commonvcqx/containers/DoubleList.h>

#include <cstdint>

class TEventObject;
class TEventPublisher;
class TEventSubscriber;

/// What both record classes share.
class TPendingRecord : public TListElement {
public:
    TPendingRecord(const TPendingRecord&) = delete;
    TPendingRecord& operator=(const TPendingRecord&) = delete;

    virtual void Dispatch() = 0;

    TEventPublisher* GetPublisher() const noexcept { return m_publisher; }
    TEventSubscriber* GetExcluded() const noexcept { return m_excluded; }
    int32_t GetEventId() const noexcept { return m_eventId; }

protected:
    TPendingRecord(TEventPublisher* publisher, TEventSubscriber* excluded, int32_t eventId) noexcept
        : m_publisher(publisher), m_excluded(excluded), m_eventId(eventId) {}
    ~TPendingRecord() override;

    TEventPublisher* m_publisher;
    TEventSubscriber* m_excluded;
    int32_t m_eventId;
};

class TPendingNotification : public TPendingRecord {
public:
    TPendingNotification(TEventPublisher* publisher, TEventSubscriber* excluded, int32_t eventId,
                         int32_t first, int32_t second, int32_t third) noexcept
        : TPendingRecord(publisher, excluded, eventId),
          m_first(first),
          m_second(second),
          m_third(third) {}

    void Dispatch() override;

    int32_t GetFirst() const noexcept { return m_first; }
    int32_t GetSecond() const noexcept { return m_second; }
    int32_t GetThird() const noexcept { return m_third; }

private:
    int32_t m_first;
    int32_t m_second;
    int32_t m_third;
};

class TPendingEventObject : public TPendingRecord {
public:
    /// Takes the event object over; the event id is read from it.
    TPendingEventObject(TEventPublisher* publisher, TEventSubscriber* excluded,
                        TEventObject* event) noexcept;
    /// Deletes the event object.
    ~TPendingEventObject() override;

    void Dispatch() override;

    const TEventObject* GetEventObject() const noexcept { return m_event; }

private:
    TEventObject* m_event;
};
