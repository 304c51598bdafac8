// A host main loop that serves the library's notification queue: it sleeps in poll()
// on the thread's queue descriptor and drains queued notifications when the wake-up
// message arrives, while worker threads post progress events into its queue.
//
//   $ ./event_loop
//   worker 0 finished ...
//   all 4000 notifications delivered on the main thread
#include <commonvcqx/events/EventPublisher.h>
#include <commonvcqx/events/NotificationQueue.h>
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/threads/Thread.h>

#include <poll.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int32_t kProgress = 1;  // first value: worker, second: step
constexpr int32_t kFinished = 2;  // first value: worker
constexpr int kWorkers = 4;
constexpr int kSteps = 1000;

struct TLoopState {
    uint32_t mainThread = 0;
    int delivered = 0;
    int finished = 0;
    bool wrongThread = false;
};

void OnProgress(int32_t, int32_t, int32_t, void* user, TEventPublisher*, int32_t) {
    auto* state = static_cast<TLoopState*>(user);
    if (GetCurrentThreadId() != state->mainThread) state->wrongThread = true;
    ++state->delivered;
}

void OnFinished(int32_t, int32_t worker, int32_t, void* user, TEventPublisher*, int32_t) {
    auto* state = static_cast<TLoopState*>(user);
    ++state->finished;
    std::printf("worker %d finished, %d notifications delivered so far\n", worker,
                state->delivered);
}

// Posts its progress; the publisher queues into the main thread's queue.
class TWorker : public TThread {
public:
    TWorker(TEventPublisher& publisher, int32_t index)
        : TThread("worker"), m_publisher(publisher), m_index(index) {}
    ~TWorker() override { WaitForEnd(); }
    uint32_t MainLoop() override {
        for (int32_t step = 0; step < kSteps; ++step)
            m_publisher.PostNotification(kProgress, m_index, step);
        m_publisher.PostNotification(kFinished, m_index);
        return 0;
    }

private:
    TEventPublisher& m_publisher;
    int32_t m_index;
};

}  // namespace

int main() {
    TLoopState state;
    state.mainThread = GetCurrentThreadId();

    // Thread-safe: workers post while the main thread drains.
    TEventPublisher publisher("Progress", 4, 1);
    publisher.Subscribe(nullptr, kProgress, &OnProgress, &state);
    publisher.Subscribe(nullptr, kFinished, &OnFinished, &state);
    publisher.SetNotificationQueue(GetThreadNotificationQueue());

    std::vector<std::unique_ptr<TWorker>> workers;
    for (int32_t i = 0; i < kWorkers; ++i) {
        workers.push_back(std::make_unique<TWorker>(publisher, i));
        workers.back()->SetupAndRun(workers.back().get(), 0, 0, 0);
    }

    // The host's loop: any poll/select-based loop (GLib, Qt) can watch the descriptor.
    // guide: poll
    pollfd watched{GetMessageQueueFileDescriptor(), POLLIN, 0};
    while (state.finished < kWorkers) {
        if (poll(&watched, 1, 5000) <= 0) {
            std::fprintf(stderr, "no wake-up within 5 s\n");
            return 1;
        }
        MSG msg;  // readable while messages wait: take them all
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_PENDING_EVENTS) {
                ProcessThreadPendingEvents();
            } else if (msg.message == WM_POSTED_EXCEPTION) {  // a failure posted to us
                auto* error = reinterpret_cast<TException*>(msg.lParam);
                std::fprintf(stderr, "%s\n",
                             error->GetMessage() ? error->GetMessage()->c_str() : "");
                delete error;
            } else {
                DispatchMessageA(&msg);
            }
        }
    }
    // guide: end
    workers.clear();

    const bool complete = state.delivered == kWorkers * kSteps && !state.wrongThread;
    std::printf("all %d notifications delivered on the main thread: %s\n", state.delivered,
                complete ? "yes" : "NO");
    return complete ? 0 : 1;
}
