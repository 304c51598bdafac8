#include <commonvcqx/events/internal/ThreadData.h>
#include <commonvcqx/frame/LibraryFrame.h>
#include <commonvcqx/threads/Thread.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using cvq::detail::CurrentThreadData;
using cvq::detail::TThreadData;

namespace {

struct TCountedNote : TListElement {
    static inline std::atomic<int> alive{0};
    TCountedNote() { ++alive; }

protected:
    ~TCountedNote() override { --alive; }
};

}  // namespace

TEST(LibraryFrameTest, LoadingThreadHasDataAndInitKeepsIt) {
    // The test runs on the thread that loaded the library.
    TThreadData* data = CurrentThreadData();
    ASSERT_NE(data, nullptr);
    data->nestingCounter = 3;
    InitThreadDataOfCommonLibrary();
    EXPECT_EQ(CurrentThreadData(), data);
    EXPECT_EQ(CurrentThreadData()->nestingCounter, 3);

    // Ending deletes what is still queued; a new start is fresh.
    TCountedNote::alive = 0;
    data->queue.Append(new TCountedNote);
    data->queue.Append(new TCountedNote);
    EndThreadDataOfCommonLibrary();
    EXPECT_EQ(CurrentThreadData(), nullptr);
    EXPECT_EQ(TCountedNote::alive, 0);
    EndThreadDataOfCommonLibrary();  // nothing to end

    InitThreadDataOfCommonLibrary();
    ASSERT_NE(CurrentThreadData(), nullptr);
    EXPECT_EQ(CurrentThreadData()->nestingCounter, 0);
    EXPECT_TRUE(CurrentThreadData()->queue.IsEmpty());
}

TEST(LibraryFrameTest, EachThreadHasItsOwnDataReleasedWhenItEnds) {
    TCountedNote::alive = 0;
    TThreadData* mine = CurrentThreadData();
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] {
            if (CurrentThreadData() != nullptr) ++failures;  // none before asking
            InitThreadDataOfCommonLibrary();
            TThreadData* data = CurrentThreadData();
            if (!data || data == mine) ++failures;
            data->queue.Append(new TCountedNote);
            if (i % 2) EndThreadDataOfCommonLibrary();
            // The others end without it: their data goes when the thread does.
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(TCountedNote::alive, 0);
    EXPECT_EQ(CurrentThreadData(), mine);
}

namespace {

// Looks at its own data from inside, and leaves a note queued for the end of the thread.
struct TDataWorker : TThread {
    TThreadData* seen = nullptr;
    int32_t counter = -1;
    uint32_t MainLoop() override {
        seen = CurrentThreadData();
        if (seen) {
            counter = seen->nestingCounter;
            seen->queue.Append(new TCountedNote);
        }
        return 0;
    }
    ~TDataWorker() override { WaitForEnd(); }
};

}  // namespace

TEST(LibraryFrameTest, ThreadsStartedThroughTThreadCarryTheirData) {
    TCountedNote::alive = 0;
    TDataWorker worker;
    ASSERT_TRUE(worker.SetupAndRun(&worker, 0, 0, 0));
    worker.WaitForEnd();
    EXPECT_NE(worker.seen, nullptr);
    EXPECT_NE(worker.seen, CurrentThreadData());
    EXPECT_EQ(worker.counter, 0);
    EXPECT_EQ(TCountedNote::alive, 0);  // released with the thread's data
}

TEST(LibraryFrameTest, NotificationQueueIsFirstInFirstOutAndOwning) {
    TCountedNote::alive = 0;
    {
        TDoubleList queue;
        EXPECT_EQ(queue.DetachFirst(), nullptr);
        TListElement* a = queue.Append(new TCountedNote);
        queue.Append(new TCountedNote);
        EXPECT_EQ(queue.GetCount(), 2);
        EXPECT_EQ(queue.DetachFirst(), a);
        a->Delete();
        queue.Append(new TCountedNote);
        EXPECT_EQ(TCountedNote::alive, 2);
    }
    EXPECT_EQ(TCountedNote::alive, 0);  // the queue deleted what it still held
}

namespace {

// A stand-in for a buffered-file thread: works off one request per poll.
struct TFakeFileThread : cvq::detail::TCommonFileThread {
    std::string name;
    std::vector<std::string>* journal;
    int pending;
    TFakeFileThread(std::string n, std::vector<std::string>* j, int p)
        : name(std::move(n)), journal(j), pending(p) {}
    int32_t GetOutstandingRequests() override {
        journal->push_back(name + " " + std::to_string(pending));
        return pending > 0 ? pending-- : pending;
    }
    void Stop() override { journal->push_back(name + " stop"); }
};

}  // namespace

TEST(LibraryFrameTest, EndCommonThreadsDrainsReaderThenWriter) {
    EndCommonThreads();  // none started: returns at once

    std::vector<std::string> journal;
    TFakeFileThread reader("reader", &journal, 2), writer("writer", &journal, -1);
    cvq::detail::SetCommonFileThreads(&reader, &writer);
    EndCommonThreads();
    EXPECT_EQ(journal, (std::vector<std::string>{"reader 2", "reader 1", "reader 0", "reader stop",
                                                 "writer -1", "writer stop"}));
    journal.clear();
    EndCommonThreads();  // already stopped
    EXPECT_TRUE(journal.empty());
}
