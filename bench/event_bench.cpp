// Event publishing beside boost::signals2: an immediate notification to 1, 10 and 100
// subscribers (TEventPublisher::SendNotification vs signal_type::operator()), and
// queued notifications posted by one thread and drained by another
// (PostNotification + ProcessThreadPendingEvents). Without boost (Debian:
// libboost-dev) only the library's side is measured.
#include <commonvcqx/events/EventPublisher.h>
#include <commonvcqx/events/NotificationQueue.h>
#include <commonvcqx/platform/Messages.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>
#include <vector>

#if CVQ_HAVE_SIGNALS2
#include <boost/signals2/signal.hpp>
#endif

namespace {

int64_t sink = 0;

void Count(int32_t, int32_t first, int32_t, void* user, TEventPublisher*, int32_t) {
    *static_cast<int64_t*>(user) += first;
}

class TCounter : public TEventSubscriber {
public:
    void OnEvent(int32_t, int32_t first, int32_t, TEventPublisher*, int32_t) override {
        total += first;
    }
    void OnEvent(const TEventObject&) override {}
    int64_t total = 0;
};

void BM_SendNotification(benchmark::State& state) {
    const int subscribers = static_cast<int>(state.range(0));
    TEventPublisher publisher("bench", subscribers, 1);  // thread-safe, as signals2 is
    for (int i = 0; i < subscribers; ++i) publisher.Subscribe(nullptr, 5, &Count, &sink);
    publisher.Subscribe(nullptr, 6, &Count, &sink);  // another event beside it
    for (auto _ : state) publisher.SendNotification(5, 1);
    benchmark::DoNotOptimize(sink);
    state.SetItemsProcessed(state.iterations() * subscribers);
}
BENCHMARK(BM_SendNotification)->Arg(1)->Arg(10)->Arg(100);

void BM_SendNotificationToSubscribers(benchmark::State& state) {
    const int subscribers = static_cast<int>(state.range(0));
    TEventPublisher publisher("bench", subscribers, 1);
    std::vector<TCounter> counters(subscribers);
    for (TCounter& c : counters) publisher.Subscribe(nullptr, 5, c);
    for (auto _ : state) publisher.SendNotification(5, 1);
    benchmark::DoNotOptimize(counters.data());
    state.SetItemsProcessed(state.iterations() * subscribers);
}
BENCHMARK(BM_SendNotificationToSubscribers)->Arg(1)->Arg(10)->Arg(100);

#if CVQ_HAVE_SIGNALS2
void BM_Signals2(benchmark::State& state) {
    const int subscribers = static_cast<int>(state.range(0));
    boost::signals2::signal<void(int32_t, int32_t, int32_t, TEventPublisher*, int32_t)> signal;
    for (int i = 0; i < subscribers; ++i)
        signal.connect([](int32_t id, int32_t first, int32_t second, TEventPublisher* p,
                          int32_t third) { Count(id, first, second, &sink, p, third); });
    for (auto _ : state) signal(5, 1, 0, nullptr, 0);
    benchmark::DoNotOptimize(sink);
    state.SetItemsProcessed(state.iterations() * subscribers);
}
BENCHMARK(BM_Signals2)->Arg(1)->Arg(10)->Arg(100);
#endif

// One thread posts `batch` notifications into the main thread's queue, the main thread
// waits for the wake-up and drains; items are delivered notifications.
void BM_PostAndProcessAcrossThreads(benchmark::State& state) {
    const int batch = static_cast<int>(state.range(0));
    TEventPublisher publisher("queued", 4, 1);
    int64_t delivered = 0;
    publisher.Subscribe(nullptr, 5, &Count, &delivered);
    publisher.SetNotificationQueue(GetThreadNotificationQueue());
    for (auto _ : state) {
        delivered = 0;
        std::thread poster([&] {
            for (int i = 0; i < batch; ++i) publisher.PostNotification(5, 1);
        });
        MSG msg;
        while (delivered < batch) {
            if (GetMessageA(&msg, nullptr, 0, 0) <= 0) break;
            if (msg.message == WM_PENDING_EVENTS) ProcessThreadPendingEvents();
        }
        poster.join();
    }
    state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_PostAndProcessAcrossThreads)->Arg(10000)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
