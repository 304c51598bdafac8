// Many threads at once: message order per sender, threads coming and going, suspension
// inside library calls.
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/threads/CriticalSection.h>
#include <commonvcqx/threads/Thread.h>
#include <commonvcqx/threads/ThreadEvent.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {

class TFunctionThread : public TThread {
public:
    explicit TFunctionThread(std::function<uint32_t()> body) : m_body(std::move(body)) {}
    ~TFunctionThread() override {
        if (IsAutoDeathActive()) WaitForEnd();
    }
    uint32_t MainLoop() override { return m_body(); }

private:
    std::function<uint32_t()> m_body;
};

}  // namespace

TEST(ThreadStressTest, ManySendersKeepTheirOrder) {
    constexpr int kSenders = 8;
    constexpr int kEach = 2000;
    std::vector<int> next(kSenders, 0);
    std::atomic<bool> inOrder{true};
    TFunctionThread consumer([&]() -> uint32_t {
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            int& expected = next[msg.wParam];
            if (msg.lParam != expected) inOrder = false;
            expected = static_cast<int>(msg.lParam) + 1;
        }
        return 0;
    });
    consumer.SetupAndRun(&consumer, 0, 0, 0);
    std::vector<std::unique_ptr<TFunctionThread>> senders;
    for (int s = 0; s < kSenders; ++s) {
        senders.push_back(std::make_unique<TFunctionThread>([&, s]() -> uint32_t {
            for (int i = 0; i < kEach; ++i)
                if (!consumer.PostThreadMessageA(WM_USER, s, i)) return 1;
            return 0;
        }));
        senders.back()->SetupAndRun(senders.back().get(), 0, 0, 0);
    }
    senders.clear();  // auto-death: waits for every sender
    consumer.PostThreadMessageA(WM_QUIT, 0, 0);
    consumer.WaitForEnd();
    EXPECT_TRUE(inOrder.load());
    for (int s = 0; s < kSenders; ++s) EXPECT_EQ(next[s], kEach);
}

TEST(ThreadStressTest, ThreadsComeAndGoCleanly) {
    for (int round = 0; round < 40; ++round) {
        std::vector<std::unique_ptr<TFunctionThread>> threads;
        std::atomic<int> received{0};
        TThreadEvent allStarted;
        std::atomic<int> started{0};
        for (int i = 0; i < 6; ++i) {
            threads.push_back(std::make_unique<TFunctionThread>([&]() -> uint32_t {
                MSG msg;
                if (++started == 6) allStarted.SetTrue();
                while (GetMessageA(&msg, nullptr, 0, 0) > 0) ++received;
                return 0;
            }));
            threads.back()->SetupAndRun(threads.back().get(), 0, i % 2, 0);
        }
        for (auto& thread : threads) {
            thread->PostThreadMessageA(WM_USER, 0, 0);
            if (thread->IsSuspended()) thread->Resume();
        }
        allStarted.WaitForIt(INFINITE);
        for (auto& thread : threads) thread->PostThreadMessageA(WM_QUIT, 0, 0);
        threads.clear();
        EXPECT_EQ(received.load(), 6);
        // Self-destructing threads that leave messages and a window behind.
        for (int i = 0; i < 3; ++i) {
            auto* thread = new TFunctionThread([]() -> uint32_t {
                PostThreadMessageA(GetCurrentThreadId(), WM_USER, 0, 0);
                return 0;
            });
            thread->SetAsAutoDestructible();
            thread->SetupAndRun(thread, 0, 0, 0);
        }
    }
}

TEST(ThreadStressTest, SuspensionInsideLibraryCallsNeverDeadlocks) {
    TCriticalSection lock;
    TThreadEvent tick(0, 1);
    std::atomic<bool> stop{false};
    std::atomic<long> rounds{0};
    auto body = [&]() -> uint32_t {
        DWORD self = GetCurrentThreadId();
        MSG msg;
        while (!stop.load()) {
            {
                TAutoCriticalSection guard(lock);
                tick.SetTrue();
            }
            tick.WaitForIt(1);
            PostThreadMessageA(self, WM_USER, 0, 0);
            PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
            ++rounds;
        }
        return 0;
    };
    TFunctionThread first(body), second(body);
    first.SetupAndRun(&first, 0, 0, 0);
    second.SetupAndRun(&second, 0, 0, 0);
    for (int i = 0; i < 100; ++i) {
        TThread& target = i % 2 ? first : second;
        target.Suspend();
        // The suspended thread may hold the user's lock (as on any platform), but never
        // one of the library's own: these calls go through.
        tick.SetTrue();
        tick.WaitForIt(0);
        target.PostThreadMessageA(WM_USER, 0, 0);
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
        target.Resume();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    stop = true;
    first.WaitForEnd();
    second.WaitForEnd();
    EXPECT_GT(rounds.load(), 0);
}
