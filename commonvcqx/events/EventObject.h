// commonvcqx/events/EventObject.h
//
// TEventObject: an event record sent through a TEventPublisher in the object form.
// It carries its event id; derived classes carry the rest. A posted event object
// belongs to the publisher's queue from then on and is deleted with its record.
//
//   class TSongLoaded : public TEventObject {
//   public:
//       explicit TSongLoaded(TString n) : TEventObject(kSongLoaded), name(n) {}
//       TString name;
//   };
//   publisher.PostNotification(new TSongLoaded("a.wav"));
#pragma once

#include <cstdint>

class TEventObject {
public:
    explicit TEventObject(int32_t eventId = 0) noexcept : m_eventId(eventId) {}
    TEventObject(const TEventObject&) noexcept = default;
    TEventObject& operator=(const TEventObject&) noexcept = default;
    virtual ~TEventObject();

    int32_t GetEventId() const noexcept { return m_eventId; }
    void SetEventId(int32_t eventId) noexcept { m_eventId = eventId; }

protected:
    int32_t m_eventId;
};
