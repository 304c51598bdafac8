// What the loop samples share: a worker thread that posts a few notifications into
// the main thread's queue, and a subscriber that counts them on the main thread.
#pragma once

#include <commonvcqx/events/EventPublisher.h>
#include <commonvcqx/events/NotificationQueue.h>
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/threads/Thread.h>

#include <functional>

constexpr int32_t kStep = 1;
constexpr int kSteps = 100;

struct TLoopCount {
    uint32_t mainThread = GetCurrentThreadId();
    int delivered = 0;
    bool wrongThread = false;
    std::function<void()> onLast;  // ends the host's loop
};

inline void OnStep(int32_t, int32_t, int32_t, void* user, TEventPublisher*, int32_t) {
    auto* count = static_cast<TLoopCount*>(user);
    if (GetCurrentThreadId() != count->mainThread) count->wrongThread = true;
    if (++count->delivered == kSteps && count->onLast) count->onLast();
}

class TPostingWorker : public TThread {
public:
    explicit TPostingWorker(TEventPublisher& publisher)
        : TThread("poster"), m_publisher(publisher) {}
    ~TPostingWorker() override { WaitForEnd(); }
    uint32_t MainLoop() override {
        for (int32_t i = 0; i < kSteps; ++i) m_publisher.PostNotification(kStep, i);
        return 0;
    }

private:
    TEventPublisher& m_publisher;
};
