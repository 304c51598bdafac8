// Four threads at once under a mixed load: each posts numbered notifications into the
// main thread's queue and numbered commands to a command thread, hands strings (shared inside the
// thread, as strings may be) and blocks of a shared heap to its neighbour, which checks and frees
// them, and copies the empty text every thread shares. Nothing may be lost or doubled: every
// notification arrives once and in order per thread, every string and block arrives intact, and the
// heap ends empty. CVQ_RELIABILITY_LONG=1 runs it about a minute.
#include <commonvcqx/events/EventPublisher.h>
#include <commonvcqx/events/NotificationQueue.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/text/String.h>
#include <commonvcqx/threads/CommandThread.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kThreads = 4;

int Rounds() {
    const char* longRun = std::getenv("CVQ_RELIABILITY_LONG");
    return longRun && *longRun && *longRun != '0' ? 10000000 : 2000;
}

std::mutex g_receivedLock;
std::vector<int32_t> g_next(kThreads, 0);
int g_received = 0;
int g_outOfOrder = 0;

void Receive(int32_t, int32_t worker, int32_t sequence, void*, TEventPublisher*, int32_t) {
    std::lock_guard lock(g_receivedLock);
    if (g_next[size_t(worker)] != sequence) ++g_outOfOrder;
    g_next[size_t(worker)] = sequence + 1;
    ++g_received;
}

// Counts the commands of each worker and whether they came in the order posted.
class TCountingCommands : public TCommandThread {
public:
    explicit TCountingCommands(int expected) : TCommandThread("Counter"), m_expected(expected) {}
    ~TCountingCommands() override { EndCommandLoop(); }
    char OnMessage(uint32_t message, uint32_t wParam, LPARAM lParam) override {
        if (message != kCommand) return 0;
        std::lock_guard lock(m_lock);
        if (m_next[wParam] != lParam) ++m_outOfOrder;
        m_next[wParam] = lParam + 1;
        if (++m_count == m_expected) m_done.notify_all();
        return 1;
    }
    /// Waits until every command has come; false when they stop coming short of that.
    bool WaitForAll() {
        std::unique_lock lock(m_lock);
        return m_done.wait_for(lock, std::chrono::minutes(5),
                               [&] { return m_count == m_expected; });
    }
    int OutOfOrder() {
        std::lock_guard lock(m_lock);
        return m_outOfOrder;
    }
    static constexpr uint32_t kCommand = 0x8001;

private:
    std::mutex m_lock;
    std::condition_variable m_done;
    LPARAM m_next[kThreads] = {};
    int m_count = 0;
    int m_outOfOrder = 0;
    const int m_expected;
};

// A block handed from one thread to the next, freed there.
struct TMailbox {
    std::mutex lock;
    std::vector<void*> blocks;
    std::vector<TString*> strings;
};

size_t BlocksIn(NH_Heap& heap) {
    size_t count = 0;
    heap.ForEach([](void*, void* user) { ++*static_cast<size_t*>(user); }, &count);
    return count;
}

TEST(ConcurrencyTest, FourThreadsLoseNoNotificationStringOrBlock) {
    const int rounds = Rounds();
    g_next.assign(kThreads, 0);
    g_received = 0;
    g_outOfOrder = 0;
    TNotificationQueue* queue = GetThreadNotificationQueue();
    ASSERT_NE(queue, nullptr);
    TEventPublisher publisher("load", 4, 1);
    publisher.Subscribe(nullptr, 1, Receive, nullptr);
    publisher.SetNotificationQueue(queue);

    NH_Heap heap(NH_AHeap::kMultithreaded);
    TCountingCommands commands(kThreads * rounds);
    std::vector<TMailbox> mailboxes(kThreads);
    std::atomic<int> badStrings{0}, badBlocks{0};
    std::atomic<int> finished{0};

    std::vector<std::thread> workers;
    for (int w = 0; w < kThreads; ++w) {
        workers.emplace_back([&, w] {
            TMailbox& mine = mailboxes[size_t(w)];
            TMailbox& next = mailboxes[size_t((w + 1) % kThreads)];
            for (int i = 0; i < rounds; ++i) {
                publisher.PostNotification(1, w, i);
                commands.PostMessageA(int32_t(TCountingCommands::kCommand), int16_t(w), LPARAM(i));
                // Shared inside the thread; what crosses to the neighbour has a text of its
                // own, as strings crossing threads must (their counts are plain).
                TString text(char('a' + w), uint32_t(1 + i % 50));
                TString copy = text;
                copy += "!";
                TString empty, alsoEmpty = empty;
                if (text.GetLength() != uint32_t(1 + i % 50) || !alsoEmpty.IsEmpty()) ++badStrings;
                size_t size = 16 + size_t((i * 37 + w) % 3000);
                auto* block = static_cast<unsigned char*>(heap.AllocMem(size));
                std::memset(block, w + 1, size);
                {
                    std::lock_guard lock(next.lock);
                    next.blocks.push_back(block);
                    next.strings.push_back(new TString(copy.c_str()));  // its own text
                }
                std::vector<void*> toFree;
                std::vector<TString*> received;
                {
                    std::lock_guard lock(mine.lock);
                    toFree.swap(mine.blocks);
                    received.swap(mine.strings);
                }
                int from = (w + kThreads - 1) % kThreads;
                for (TString* handed : received) {
                    if (handed->GetFirstChar() != char('a' + from) || handed->GetLastChar() != '!')
                        ++badStrings;
                    *handed += "more";  // the receiver's own now
                    delete handed;
                }
                for (void* p : toFree) {
                    auto* bytes = static_cast<unsigned char*>(p);
                    size_t n = NH_Heap::GetBlockSize(p);
                    if (bytes[0] != from + 1 || bytes[n - 1] != from + 1) ++badBlocks;
                    NH_Heap::FreeMem(p);
                }
            }
            ++finished;
        });
    }
    // The main thread drains its queue as its message loop would.
    MSG msg;
    for (;;) {
        {
            std::lock_guard lock(g_receivedLock);
            if (g_received == kThreads * rounds) break;
        }
        ASSERT_GT(GetMessageA(&msg, nullptr, 0, 0), 0);
        if (msg.message == WM_PENDING_EVENTS) ProcessThreadPendingEvents();
    }
    for (auto& t : workers) t.join();
    for (TMailbox& box : mailboxes) {
        for (void* p : box.blocks) NH_Heap::FreeMem(p);
        for (TString* handed : box.strings) delete handed;
    }

    EXPECT_TRUE(commands.WaitForAll()) << "commands were lost";
    EXPECT_EQ(commands.OutOfOrder(), 0);
    EXPECT_EQ(finished.load(), kThreads);
    EXPECT_EQ(g_outOfOrder, 0);
    EXPECT_EQ(badStrings.load(), 0);
    EXPECT_EQ(badBlocks.load(), 0);
    EXPECT_EQ(BlocksIn(heap), 0u);
    EXPECT_TRUE(queue->IsEmpty());
}

}  // namespace
