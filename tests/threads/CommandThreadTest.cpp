// TCommandThread: routing to OnMessage, flex messages, nothing lost at start, sending
// with a time-out, ending, and several command threads side by side.
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/threads/CommandThread.h>
#include <commonvcqx/threads/ThreadEvent.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

struct TSeen {
    uint32_t message;
    uint32_t wParam;
    LPARAM lParam;
};

constexpr uint32_t kDeclined = 0x8001;
constexpr uint32_t kSlow = 0x8100;
constexpr uint32_t kCounted = 0x8200;

// Records what reaches OnMessage; declines kDeclined, sleeps on kSlow.
class TRecorder : public TCommandThread {
public:
    explicit TRecorder(int expectedCounted = 0)
        : TCommandThread("recorder"), m_expectedCounted(expectedCounted) {}
    ~TRecorder() override { EndCommandLoop(); }

    char OnMessage(uint32_t message, uint32_t wParam, LPARAM lParam) override {
        if (message == kSlow) std::this_thread::sleep_for(300ms);
        std::lock_guard lock(m_lock);
        m_seen.push_back({message, wParam, lParam});
        if (message == kCounted && ++m_counted == m_expectedCounted) allCounted.SetTrue();
        return message != kDeclined;
    }

    std::vector<TSeen> Seen() {
        std::lock_guard lock(m_lock);
        return m_seen;
    }

    TThreadEvent allCounted;

private:
    std::mutex m_lock;
    std::vector<TSeen> m_seen;
    int m_counted = 0;
    int m_expectedCounted;
};

}  // namespace

TEST(CommandThreadTest, RoutesCommandAndApplicationRangeMessagesOnly) {
    TRecorder recorder;
    HWND window = recorder.GetCommandWindow();
    ASSERT_NE(window, nullptr);  // exists as soon as the constructor returns
    const struct {
        UINT message;
        bool reachesHandler;
    } cases[] = {{WM_COMMAND, true}, {0x8000, true},  {0xBFFF, true},
                 {0x7FFF, false},    {0xC000, false}, {kDeclined, true}};
    std::vector<uint32_t> expected;
    for (const auto& c : cases) {
        DWORD_PTR result = 99;
        ASSERT_NE(SendMessageTimeoutA(window, c.message, 0, 0, SMTO_NORMAL, 2000, &result), 0)
            << std::hex << c.message;
        const bool handled = c.reachesHandler && c.message != kDeclined;
        EXPECT_EQ(result, handled ? 1u : DWORD_PTR(DefWindowProcA(window, c.message, 0, 0)))
            << std::hex << c.message;
        if (c.reachesHandler) expected.push_back(c.message);
    }
    std::vector<uint32_t> got;
    for (const TSeen& s : recorder.Seen()) got.push_back(s.message);
    EXPECT_EQ(got, expected);
}

TEST(CommandThreadTest, FlexAndPlainMessagesCarryTheirParameters) {
    TRecorder recorder(1);
    auto* flex = reinterpret_cast<TFlexMessage*>(static_cast<uintptr_t>(0x7f1234567890));
    EXPECT_TRUE(recorder.SendFlexMessageTimeOut(flex, 2000));
    recorder.PostFlexMessage(flex);
    recorder.PostMessageA(0x8002, int16_t(-1), -5);  // wparam sign-extended to 32 bits
    EXPECT_TRUE(recorder.SendMessageTimeOut(0x8003, int16_t(0x7fff), 12, 2000));
    recorder.PostMessageA(kCounted, 0, 0);
    ASSERT_TRUE(recorder.allCounted.WaitForIt(5000));
    const std::vector<TSeen> seen = recorder.Seen();
    ASSERT_EQ(seen.size(), 5u);
    // Sent messages go ahead of posted ones, so the second send may overtake the posts.
    EXPECT_EQ(seen[0].message, WM_FLEX_MESSAGE);
    EXPECT_EQ(seen[0].lParam, reinterpret_cast<LPARAM>(flex));
    EXPECT_EQ(seen[0].wParam, 0u);
    int matched = 0;
    for (const TSeen& s : seen) {
        if (s.message == 0x8002) {
            EXPECT_EQ(s.wParam, 0xFFFFFFFFu);
            EXPECT_EQ(s.lParam, -5);
            ++matched;
        }
        if (s.message == 0x8003) {
            EXPECT_EQ(s.wParam, 0x7fffu);
            EXPECT_EQ(s.lParam, 12);
            ++matched;
        }
        if (s.message == WM_FLEX_MESSAGE && &s != &seen[0]) {
            EXPECT_EQ(s.lParam, reinterpret_cast<LPARAM>(flex));
            ++matched;
        }
    }
    EXPECT_EQ(matched, 3);
}

TEST(CommandThreadTest, MessagesPostedRightAfterConstructionAllArriveInOrder) {
    constexpr int kCount = 200;
    for (int round = 0; round < 5; ++round) {
        TRecorder recorder(kCount);
        for (int i = 0; i < kCount; ++i) recorder.PostMessageA(kCounted, 0, i);
        ASSERT_TRUE(recorder.allCounted.WaitForIt(5000));
        const std::vector<TSeen> seen = recorder.Seen();
        ASSERT_EQ(seen.size(), size_t(kCount));
        for (int i = 0; i < kCount; ++i) EXPECT_EQ(seen[i].lParam, i);
    }
}

TEST(CommandThreadTest, SendWithTimeOutReportsWhetherHandledInTime) {
    TRecorder recorder;
    EXPECT_FALSE(recorder.SendMessageTimeOut(kSlow, 0, 1, 50));  // handler needs 300 ms
    EXPECT_TRUE(recorder.SendMessageTimeOut(kSlow, 0, 2, 3000));
    auto* flex = reinterpret_cast<TFlexMessage*>(&recorder);
    EXPECT_TRUE(recorder.SendFlexMessageTimeOut(flex, 3000));
    std::vector<LPARAM> slow;
    for (const TSeen& s : recorder.Seen())
        if (s.message == kSlow) slow.push_back(s.lParam);
    // The timed-out one had already started, so it still ran to its end.
    EXPECT_EQ(slow, (std::vector<LPARAM>{1, 2}));
}

TEST(CommandThreadTest, DestructionEndsTheLoopAndTheWindow) {
    HWND window;
    uint32_t threadId;
    {
        TRecorder recorder;
        window = recorder.GetCommandWindow();
        threadId = recorder.GetThreadId();
        ASSERT_TRUE(IsWindow(window));
    }
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(PostThreadMessageA(threadId, WM_APP, 0, 0));  // the thread is gone
    DWORD_PTR result = 0;
    EXPECT_EQ(SendMessageTimeoutA(window, 0x8000, 0, 0, SMTO_NORMAL, 100, &result), 0);
}

TEST(CommandThreadTest, ManyCommandThreadsComeAndGoEachWithItsWindow) {
    // Threads register and unregister the one window class while others create theirs.
    std::atomic<int> windowless{0};
    auto churn = [&] {
        for (int i = 0; i < 40; ++i) {
            TRecorder recorder;
            if (!recorder.GetCommandWindow() || !recorder.SendMessageTimeOut(0x8000, 0, 0, 5000))
                ++windowless;
        }
    };
    TRecorder longLived;
    std::thread a(churn), b(churn);
    a.join();
    b.join();
    EXPECT_EQ(windowless.load(), 0);
    EXPECT_TRUE(longLived.SendMessageTimeOut(0x8000, 0, 0, 2000));
}
