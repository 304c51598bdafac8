// Vital inter-thread messages: initial words, the agent's order and ownership, the
// wake-up prods of Wait, and hand-over between threads.
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/threads/Thread.h>
#include <commonvcqx/threads/ThreadEvent.h>
#include <commonvcqx/threads/VitalInterThreadMessage.h>
#include <commonvcqx/threads/VitalInterThreadMessageAgent.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

std::atomic<int> alive{0};

// Counts itself, records its reception and signals whoever waits for it.
class TNote : public TVitalInterThreadMessage {
public:
    TNote(int sender = 0, int sequence = 0) : m_sender(sender), m_sequence(sequence) { ++alive; }
    TNote(const TNote& other) : TVitalInterThreadMessage(other) { ++alive; }
    TNote& operator=(const TNote&) = default;
    ~TNote() override { --alive; }
    void SetWords(int32_t a, uint32_t b, uint32_t c, char f) {
        m_firstWord = a;
        m_secondWord = b;
        m_thirdWord = c;
        m_flag = f;
    }
    void OnReception() override {
        {
            std::lock_guard lock(receivedLock);
            received.push_back({m_sender, m_sequence});
        }
        if (done) done->SetTrue();
    }

    static inline std::mutex receivedLock;
    static inline std::vector<std::pair<int, int>> received;
    TThreadEvent* done = nullptr;

private:
    int m_sender = 0;
    int m_sequence = 0;
};

// Drains the agent on every wake-up, and, when `eager`, every millisecond too.
class TReceiver : public TThread {
public:
    TReceiver(TVitalInterThreadMessageAgent& agent, bool eager) : m_agent(agent), m_eager(eager) {
        SetupAndRun(this, 0, 0, 0);
        while (!m_queueReady.load()) std::this_thread::sleep_for(1ms);
    }
    ~TReceiver() override {
        m_stop.store(true);
        PostThreadMessageA(WM_APP, 0, 0);
        WaitForEnd();
    }
    uint32_t MainLoop() override {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // makes the queue
        m_queueReady.store(true);
        while (!m_stop.load()) {
            bool drain = m_eager;
            if (m_eager) {
                while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                    if (msg.message == WM_PENDING_EVENTS) ++wakeUps;
                std::this_thread::sleep_for(1ms);
            } else if (GetMessageA(&msg, nullptr, 0, 0) > 0 && msg.message == WM_PENDING_EVENTS) {
                ++wakeUps;
                drain = true;
            }
            if (drain)
                while (TVitalInterThreadMessage* m = m_agent.DetachOldestMessage()) {
                    m->OnReception();
                    delete m;
                }
        }
        return 0;
    }
    std::atomic<int> wakeUps{0};

private:
    TVitalInterThreadMessageAgent& m_agent;
    bool m_eager;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_queueReady{false};
};

int CountWakeUps() {
    MSG msg;
    int n = 0;
    while (PeekMessageA(&msg, nullptr, WM_PENDING_EVENTS, WM_PENDING_EVENTS, PM_REMOVE)) ++n;
    return n;
}

}  // namespace

TEST(VitalMessageTest, WordsStartAtMinusOneAndZeroAndCopyWithoutLinks) {
    TNote fresh;
    EXPECT_EQ(fresh.GetFirstWord(), -1);
    EXPECT_EQ(fresh.GetSecondWord(), 0u);
    EXPECT_EQ(fresh.GetThirdWord(), 0u);
    EXPECT_EQ(fresh.GetFlag(), 0);
    TNote a, b;
    a.SetWords(7, 8, 9, 1);
    TVitalInterThreadMessageAgent agent;
    agent.Post(&a);
    agent.Post(&b);
    TNote copy(a);
    EXPECT_EQ(copy.GetFirstWord(), 7);
    EXPECT_EQ(copy.GetSecondWord(), 8u);
    EXPECT_EQ(copy.GetThirdWord(), 9u);
    EXPECT_EQ(copy.GetFlag(), 1);
    EXPECT_EQ(copy.GetNext(), nullptr);
    fresh = a;
    EXPECT_EQ(fresh.GetThirdWord(), 9u);
    EXPECT_EQ(fresh.GetNext(), nullptr);
    EXPECT_EQ(agent.DetachOldestMessage(), &a);
    EXPECT_EQ(agent.DetachOldestMessage(), &b);
}

TEST(VitalMessageTest, AgentHandsOutOldestFirstAndNeverDeletes) {
    const int before = alive.load();
    TNote* left = nullptr;
    {
        TVitalInterThreadMessageAgent agent;
        EXPECT_EQ(agent.DetachOldestMessage(), nullptr);
        EXPECT_FALSE(agent.ExistMessages());
        auto* a = new TNote;
        auto* b = new TNote;
        agent.Post(a);
        agent.Post(b);
        EXPECT_TRUE(agent.ExistMessages());
        EXPECT_EQ(agent.DetachOldestMessage(), a);
        EXPECT_EQ(agent.DetachOldestMessage(), b);
        EXPECT_EQ(agent.DetachOldestMessage(), nullptr);
        EXPECT_FALSE(agent.ExistMessages());
        delete a;
        agent.Post(b);  // left queued when the agent goes
        left = b;
    }
    EXPECT_EQ(alive.load(), before + 1);
    delete left;
}

TEST(VitalMessageTest, WaitProdsTheReceiverOncePerSecondUntilSignalled) {
    TVitalInterThreadMessageAgent agent;
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    CountWakeUps();

    TThreadEvent already(1);
    const auto start = std::chrono::steady_clock::now();
    agent.Wait(GetCurrentThreadId(), already);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_EQ(CountWakeUps(), 0);

    TThreadEvent later;
    std::thread setter([&] {
        std::this_thread::sleep_for(2500ms);
        later.SetTrue();
    });
    agent.Wait(GetCurrentThreadId(), later);  // prods itself: only the count matters here
    setter.join();
    EXPECT_EQ(CountWakeUps(), 2);
}

TEST(VitalMessageTest, AWaitingSenderIsServedByAReceiverThatOnlyWakesOnTheProd) {
    TVitalInterThreadMessageAgent agent;
    TReceiver receiver(agent, false);
    TNote::received.clear();
    TThreadEvent done;
    auto* note = new TNote(1, 1);
    note->done = &done;
    agent.Post(note);
    agent.Wait(receiver.GetThreadId(), done);
    EXPECT_GE(receiver.wakeUps.load(), 1);
    std::lock_guard lock(TNote::receivedLock);
    EXPECT_EQ(TNote::received, (std::vector<std::pair<int, int>>{{1, 1}}));
}

TEST(VitalMessageTest, MessagesOfWaitingSendersArriveInPostingOrder) {
    TVitalInterThreadMessageAgent agent;
    TReceiver receiver(agent, true);
    TNote::received.clear();
    constexpr int kSenders = 3, kMessages = 60;
    auto send = [&](int sender) {
        for (int i = 0; i < kMessages; i += 3) {
            TThreadEvent done;
            for (int j = i; j < i + 3; ++j) {  // a burst, then wait for its last one
                auto* note = new TNote(sender, j);
                if (j == i + 2) note->done = &done;
                agent.Post(note);
            }
            agent.Wait(receiver.GetThreadId(), done);
        }
    };
    std::vector<std::thread> senders;
    for (int s = 0; s < kSenders; ++s) senders.emplace_back(send, s);
    for (auto& t : senders) t.join();
    std::lock_guard lock(TNote::receivedLock);
    ASSERT_EQ(TNote::received.size(), size_t(kSenders * kMessages));
    std::vector<int> next(kSenders, 0);
    for (const auto& [sender, sequence] : TNote::received) EXPECT_EQ(sequence, next[sender]++);
}
