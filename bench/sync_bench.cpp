// Locks, events and thread messages beside their standard-library peers:
// TCriticalSection vs std::recursive_mutex (uncontended enter/leave), an event
// ping-pong between two threads vs a condition-variable pair, and posting and
// draining 1 000 000 thread messages vs a mutex + deque + condition variable queue.
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/threads/CriticalSection.h>
#include <commonvcqx/threads/ThreadEvent.h>

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

void BM_CriticalSectionEnterLeave(benchmark::State& state) {
    TCriticalSection lock;
    for (auto _ : state) {
        lock.Enter();
        lock.Leave();
    }
}
BENCHMARK(BM_CriticalSectionEnterLeave);

void BM_RecursiveMutexLockUnlock(benchmark::State& state) {
    std::recursive_mutex lock;
    for (auto _ : state) {
        lock.lock();
        lock.unlock();
    }
}
BENCHMARK(BM_RecursiveMutexLockUnlock);

// The same with another thread alive: no single-threaded shortcuts on either side.
struct TOtherThread {
    std::mutex mutex;
    std::condition_variable done;
    bool stop = false;
    std::thread thread{[this] {
        std::unique_lock lock(mutex);
        done.wait(lock, [this] { return stop; });
    }};
    ~TOtherThread() {
        {
            std::lock_guard lock(mutex);
            stop = true;
        }
        done.notify_one();
        thread.join();
    }
};

void BM_CriticalSectionEnterLeaveThreaded(benchmark::State& state) {
    TOtherThread other;
    TCriticalSection lock;
    for (auto _ : state) {
        lock.Enter();
        lock.Leave();
    }
}
BENCHMARK(BM_CriticalSectionEnterLeaveThreaded);

void BM_RecursiveMutexLockUnlockThreaded(benchmark::State& state) {
    TOtherThread other;
    std::recursive_mutex lock;
    for (auto _ : state) {
        lock.lock();
        lock.unlock();
    }
}
BENCHMARK(BM_RecursiveMutexLockUnlockThreaded);

// One round trip per iteration: ping wakes the partner, pong wakes us.
void BM_EventPingPong(benchmark::State& state) {
    TThreadEvent ping(0, 1), pong(0, 1);
    const int64_t rounds = state.max_iterations;
    std::thread partner([&] {
        for (int64_t i = 0; i < rounds; ++i) {
            ping.WaitForIt(INFINITE);
            pong.SetTrue();
        }
    });
    for (auto _ : state) {
        ping.SetTrue();
        pong.WaitForIt(INFINITE);
    }
    partner.join();
}
BENCHMARK(BM_EventPingPong)->UseRealTime();

struct TConditionEvent {
    std::mutex mutex;
    std::condition_variable changed;
    bool set = false;
    void Set() {
        {
            std::lock_guard lock(mutex);
            set = true;
        }
        changed.notify_one();
    }
    void Wait() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return set; });
        set = false;
    }
};

void BM_ConditionVariablePingPong(benchmark::State& state) {
    TConditionEvent ping, pong;
    const int64_t rounds = state.max_iterations;
    std::thread partner([&] {
        for (int64_t i = 0; i < rounds; ++i) {
            ping.Wait();
            pong.Set();
        }
    });
    for (auto _ : state) {
        ping.Set();
        pong.Wait();
    }
    partner.join();
}
BENCHMARK(BM_ConditionVariablePingPong)->UseRealTime();

constexpr int kMessages = 1000000;

// A producer posts kMessages to a consumer that drains them with GetMessage.
void BM_ThreadMessagesPostAndDrain(benchmark::State& state) {
    for (auto _ : state) {
        std::atomic<DWORD> consumerId{0};
        std::thread consumer([&] {
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // make the queue
            consumerId = GetCurrentThreadId();
            long sum = 0;
            for (int i = 0; i < kMessages; ++i) {
                GetMessageA(&msg, nullptr, 0, 0);
                sum += msg.lParam;
            }
            benchmark::DoNotOptimize(sum);
        });
        while (!consumerId.load()) std::this_thread::yield();
        for (int i = 0; i < kMessages; ++i) PostThreadMessageA(consumerId, WM_USER, 0, i);
        consumer.join();
    }
    state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_ThreadMessagesPostAndDrain)->Unit(benchmark::kMillisecond)->UseRealTime();

struct TStandardQueue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<MSG> messages;
    int waiting = 0;
    void Post(const MSG& msg) {
        std::lock_guard lock(mutex);
        messages.push_back(msg);
        if (waiting) changed.notify_one();
    }
    MSG Get() {
        std::unique_lock lock(mutex);
        while (messages.empty()) {
            ++waiting;
            changed.wait(lock);
            --waiting;
        }
        MSG msg = messages.front();
        messages.pop_front();
        return msg;
    }
};

void BM_StandardQueuePostAndDrain(benchmark::State& state) {
    for (auto _ : state) {
        TStandardQueue queue;
        std::thread consumer([&] {
            long sum = 0;
            for (int i = 0; i < kMessages; ++i) sum += queue.Get().lParam;
            benchmark::DoNotOptimize(sum);
        });
        for (int i = 0; i < kMessages; ++i) queue.Post(MSG{nullptr, WM_USER, 0, i, 0, {0, 0}});
        consumer.join();
    }
    state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_StandardQueuePostAndDrain)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
