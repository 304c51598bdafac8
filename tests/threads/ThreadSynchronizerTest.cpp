// The end-code reports of two threads, the second one deleting the synchronizer and
// its lock, and the reader/writer synchronizer's two events.
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/threads/CriticalSection.h>
#include <commonvcqx/threads/ReadWriteSynchronizer.h>
#include <commonvcqx/threads/ThreadSynchronizer.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

std::atomic<int> g_deleted{0};

// Counts its destructions: the derived part must go too when the base deletes itself.
class TCountedSynchronizer : public TReadWriteSynchronizer {
public:
    ~TCountedSynchronizer() override { ++g_deleted; }
};

}  // namespace

TEST(ThreadSynchronizerTest, SecondReportDeletesSynchronizerAndLock) {
    struct TCase {
        int32_t firstThread, firstCode, secondThread, secondCode;
        bool deletes;
    } cases[] = {
        {0, 5, 1, 7, true},  {1, 7, 0, 5, true},
        {0, 5, 2, -1, true},  // any thread other than 0 is thread 1
        {0, 0, 1, 7, false},  // a code of 0 is "not ended"
        {0, 5, 0, 6, false},  // the same thread twice
    };
    for (const TCase& c : cases) {
        g_deleted = 0;
        auto* sync = new TCountedSynchronizer;
        auto* lock = new TCriticalSection;
        EXPECT_FALSE(sync->SetThreadEndCode(c.firstThread, c.firstCode, lock));
        EXPECT_EQ(sync->SetThreadEndCode(c.secondThread, c.secondCode, lock) != 0, c.deletes);
        EXPECT_EQ(g_deleted, c.deletes ? 1 : 0);
        if (!c.deletes) {  // a later non-zero report of the other thread ends it
            EXPECT_TRUE(sync->SetThreadEndCode(c.secondThread == 0 ? 1 : 0, 3, lock));
            EXPECT_EQ(g_deleted, 1);
        }
    }
}

TEST(ThreadSynchronizerTest, ReportWithoutLockThrowsAndRecordsNothing) {
    auto* sync = new TThreadSynchronizer;
    EXPECT_THROW(sync->SetThreadEndCode(0, 5, nullptr), TException);
    auto* lock = new TCriticalSection;
    EXPECT_FALSE(sync->SetThreadEndCode(1, 7, lock));
    EXPECT_TRUE(sync->SetThreadEndCode(0, 5, lock));
}

TEST(ThreadSynchronizerTest, TwoThreadsReportInEitherOrder) {
    // Ordered by an event one way and the other, then racing: exactly one report
    // deletes, once.
    for (int round = 0; round < 60; ++round) {
        g_deleted = 0;
        auto* sync = new TCountedSynchronizer;
        auto* lock = new TCriticalSection;
        TThreadEvent first;
        const int order = round % 3;  // 0: thread 0 first, 1: thread 1 first, 2: race
        std::atomic<int> deleters{0};
        auto report = [&, sync, lock](int32_t thread, TThreadEvent waitFor) {
            if (order != 2 && thread != order) waitFor.WaitForIt(INFINITE);
            TThreadEvent done = waitFor;  // its own reference: the synchronizer may go
            if (sync->SetThreadEndCode(thread, thread + 1, lock)) ++deleters;
            if (order != 2 && thread == order) done.SetTrue();
        };
        std::thread zero(report, 0, first);
        std::thread one(report, 1, first);
        zero.join();
        one.join();
        EXPECT_EQ(deleters, 1) << round;
        EXPECT_EQ(g_deleted, 1) << round;
    }
}

TEST(ReadWriteSynchronizerTest, EventsStartAsAskedAndAreManualReset) {
    TReadWriteSynchronizer plain;
    EXPECT_TRUE(plain.GetFirstEvent().IsTrue());
    EXPECT_TRUE(plain.GetFirstEvent().IsTrue());  // manual reset: still set
    EXPECT_TRUE(plain.GetSecondEvent().IsFalse());
    TReadWriteSynchronizer reset(1);
    EXPECT_TRUE(reset.GetFirstEvent().IsFalse());
    EXPECT_TRUE(reset.GetSecondEvent().IsFalse());
    reset.GetSecondEvent().SetTrue();
    EXPECT_TRUE(reset.GetSecondEvent().IsTrue());
    EXPECT_TRUE(reset.GetSecondEvent().IsTrue());
}

TEST(ReadWriteSynchronizerTest, CopiesShareEventsAndCloseOnlyTheirOwn) {
    auto* original = new TReadWriteSynchronizer(1);
    TReadWriteSynchronizer copy(*original);
    TReadWriteSynchronizer assigned;
    assigned = copy;
    TReadWriteSynchronizer& self = assigned;
    assigned = self;  // self-assignment keeps its references
    EXPECT_EQ(copy.GetFirstEvent().GetHandle(), original->GetFirstEvent().GetHandle());
    EXPECT_EQ(assigned.GetSecondEvent().GetHandle(), original->GetSecondEvent().GetHandle());
    original->GetSecondEvent().SetTrue();
    delete original;  // its references go; the copies' events live on
    EXPECT_TRUE(copy.GetSecondEvent().IsTrue());
    assigned.GetFirstEvent().SetTrue();
    EXPECT_TRUE(copy.GetFirstEvent().IsTrue());
    EXPECT_TRUE(copy.GetFirstEvent().WaitForIt(0));
}

#ifndef NDEBUG
TEST(ThreadSynchronizerDeathTest, DebugBuildsRefuseToDeleteANonHeapObject) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            TThreadSynchronizer onStack;
            auto* lock = new TCriticalSection;
            onStack.SetThreadEndCode(0, 1, lock);
            onStack.SetThreadEndCode(1, 1, lock);
        },
        "must be made with new");
}
#endif
