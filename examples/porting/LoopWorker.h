// What the loop samples share: a worker thread that posts a few notifications into
// the main thread's queue and reports one failure there, a subscriber that counts the
// notifications on the main thread, and the host's handling of a posted failure.
#pragma once

#include <commonvcqx/events/EventPublisher.h>
#include <commonvcqx/events/NotificationQueue.h>
#include <commonvcqx/frame/ExceptionThrower.h>
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/threads/Thread.h>

#include <cstdio>
#include <functional>
#include <string>

constexpr int32_t kStep = 1;
constexpr int kSteps = 100;

struct TLoopCount {
    uint32_t mainThread = GetCurrentThreadId();
    int delivered = 0;
    bool wrongThread = false;
    std::function<void()> onLast;  // ends the host's loop
};

inline std::string g_postedError;

// guide: posted-error
// A failure the library reported from another thread (a configuration that could not
// be saved, a file thread's error) as WM_POSTED_EXCEPTION: the host owns the copy.
void ShowPostedError(const TException* error) {
    g_postedError = error->GetMessage() ? error->GetMessage()->c_str() : "";
    std::fprintf(stderr, "%s\n", g_postedError.c_str());  // a real host shows a box
    delete error;
}
// guide: end

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
        TExceptionThrower(1).SetAndThrow("take 3 could not be saved");  // posted; returns
        for (int32_t i = 0; i < kSteps; ++i) m_publisher.PostNotification(kStep, i);
        return 0;
    }

private:
    TEventPublisher& m_publisher;
};
