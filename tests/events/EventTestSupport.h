// Subscribers, callbacks and event objects that record what reaches them.
#pragma once

#include <commonvcqx/events/EventObject.h>
#include <commonvcqx/events/EventPublisher.h>
#include <commonvcqx/events/EventSubscriber.h>

#include <atomic>
#include <string>
#include <vector>

namespace evtest {

// One line per delivery: who, event id and first value.
inline std::vector<std::string> log;

inline void Note(const std::string& who, int32_t id, int32_t first) {
    log.push_back(who + ":" + std::to_string(id) + ":" + std::to_string(first));
}

class TNamed : public TEventSubscriber {
public:
    explicit TNamed(std::string name) : m_name(std::move(name)) {}
    void OnEvent(int32_t id, int32_t first, int32_t, TEventPublisher*, int32_t) override {
        Note(m_name, id, first);
        if (onValue) onValue(*this);
    }
    void OnEvent(const TEventObject& event) override {
        Note(m_name + "#obj", event.GetEventId(), 0);
    }
    const std::string& Name() const { return m_name; }
    void (*onValue)(TNamed&) = nullptr;
    TEventPublisher* publisher = nullptr;

private:
    std::string m_name;
};

inline void ValueCallback(int32_t id, int32_t first, int32_t, void* user, TEventPublisher*,
                          int32_t) {
    Note(static_cast<const char*>(user), id, first);
}

inline void ObjectCallback(const TEventObject& event, void* user) {
    Note(std::string(static_cast<const char*>(user)) + "#obj", event.GetEventId(), 0);
}

inline std::atomic<int> eventsAlive{0};

class TCountedEvent : public TEventObject {
public:
    explicit TCountedEvent(int32_t id, int32_t value = 0) : TEventObject(id), payload(value) {
        ++eventsAlive;
    }
    ~TCountedEvent() override { --eventsAlive; }
    int32_t payload;
};

}  // namespace evtest
