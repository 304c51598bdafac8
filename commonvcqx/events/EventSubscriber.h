// commonvcqx/events/EventSubscriber.h
//
// TEventSubscriber: the interface of an object subscribed to a TEventPublisher, and
// the two function forms a subscription may take instead. The form of a function must
// match the form in which its event is sent; the other form passes it by.
//
//   class TMeter : public TEventSubscriber {
//       void OnEvent(int32_t id, int32_t level, int32_t, TEventPublisher*, int32_t) override;
//       void OnEvent(const TEventObject&) override {}
//   };
//   publisher.Subscribe(nullptr, kLevelChanged, meter);
#pragma once

#include <cstdint>

class TEventObject;
class TEventPublisher;

/// Value form: event id, first value, second value, user pointer, publisher, third value.
using TEventCallback = void (*)(int32_t eventId, int32_t first, int32_t second, void* user,
                                TEventPublisher* publisher, int32_t third);
/// Object form: the event object and the user pointer.
using TEventObjectCallback = void (*)(const TEventObject& event, void* user);

class TEventSubscriber {
public:
    virtual ~TEventSubscriber() = default;
    virtual void OnEvent(int32_t eventId, int32_t first, int32_t second, TEventPublisher* publisher,
                         int32_t third) = 0;
    virtual void OnEvent(const TEventObject& event) = 0;

protected:
    TEventSubscriber() = default;
    TEventSubscriber(const TEventSubscriber&) = default;
    TEventSubscriber& operator=(const TEventSubscriber&) = default;
};
