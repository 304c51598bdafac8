// Events, semaphores, critical sections and the multi-event waits.
#include <commonvcqx/threads/BasicCriticalSection.h>
#include <commonvcqx/threads/CriticalSection.h>
#include <commonvcqx/threads/MultithreadedObject.h>
#include <commonvcqx/threads/Semaphore.h>
#include <commonvcqx/threads/ThreadEvent.h>
#include <commonvcqx/threads/WaitFunctions.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

TEST(ThreadEventTest, ResetModesAndInitialState) {
    TThreadEvent manual;
    EXPECT_TRUE(manual.IsFalse());
    EXPECT_FALSE(manual.WaitForIt(0));
    manual.SetTrue();
    EXPECT_TRUE(manual.IsTrue());
    EXPECT_TRUE(manual.IsTrue());  // a manual-reset event stays set
    manual.SetFalse();
    EXPECT_TRUE(manual.IsFalse());

    TThreadEvent automatic(1, 1);
    EXPECT_TRUE(automatic.IsTrue());
    EXPECT_FALSE(automatic.IsTrue());  // the first test consumed the signal
    automatic.SetTrue();
    EXPECT_TRUE(automatic.WaitForIt(0));
    EXPECT_TRUE(automatic.IsFalse());
}

TEST(ThreadEventTest, CopiesShareOneEventAndOutliveTheOriginal) {
    auto* original = new TThreadEvent;
    TThreadEvent copy(*original);
    TThreadEvent assigned(1, 1);
    assigned = copy;
    TThreadEvent& same = assigned;
    assigned = same;  // self-assignment keeps the one reference
    EXPECT_EQ(copy.GetHandle(), original->GetHandle());
    EXPECT_EQ(assigned.GetHandle(), original->GetHandle());
    original->SetTrue();
    delete original;  // the others keep the event alive
    EXPECT_TRUE(copy.IsTrue());
    assigned.SetFalse();
    EXPECT_TRUE(copy.IsFalse());
}

TEST(ThreadEventTest, WaitEndsOnSetOrTimeOut) {
    TThreadEvent event;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(event.WaitForIt(30));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);

    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        event.SetTrue();
    });
    EXPECT_TRUE(event.WaitForIt(INFINITE));
    setter.join();
}

TEST(ThreadEventTest, AutoResetWakesExactlyOneWaiterPerSet) {
    TThreadEvent event(0, 1);
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            if (event.WaitForIt(INFINITE)) ++woken;
        });
    for (int i = 1; i <= 4; ++i) {
        event.SetTrue();
        while (woken.load() < i) std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(5ms);
        EXPECT_EQ(woken.load(), i);
    }
    for (auto& waiter : waiters) waiter.join();
    EXPECT_TRUE(event.IsFalse());
}

TEST(ThreadEventTest, PulseReleasesWaitersAndLeavesTheEventReset) {
    for (char autoReset : {0, 1}) {
        TThreadEvent event(0, autoReset);
        std::atomic<int> released{0};
        std::vector<std::thread> waiters;
        for (int i = 0; i < 3; ++i)
            waiters.emplace_back([&] {
                if (event.WaitForIt(10000)) ++released;
            });
        std::this_thread::sleep_for(100ms);  // let them all wait
        event.Pulse();
        EXPECT_TRUE(event.IsFalse());
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(released.load(), autoReset ? 1 : 3) << "auto-reset " << int(autoReset);
        while (released.load() < 3) {
            event.Pulse();
            std::this_thread::sleep_for(1ms);
        }
        for (auto& waiter : waiters) waiter.join();
        EXPECT_TRUE(event.IsFalse());
    }
}

TEST(WaitFunctionsTest, AnyReportsTheLowestSignalledEvent) {
    struct Case {
        bool a, b, c;
        int32_t expected;
    };
    for (const Case& test :
         {Case{false, false, false, -1}, Case{false, true, false, 1}, Case{false, false, true, 2},
          Case{true, true, true, 0}, Case{false, true, true, 1}}) {
        TThreadEvent a(test.a, 1), b(test.b, 1), c(test.c, 1);
        EXPECT_EQ(WaitForAny(a, b, c, 0), test.expected);
        // Only the reported event was consumed.
        EXPECT_EQ(a.IsTrue(), test.a && test.expected != 0);
        EXPECT_EQ(b.IsTrue(), test.b && test.expected != 1);
        EXPECT_EQ(c.IsTrue(), test.c && test.expected != 2);
    }
    TThreadEvent a, b;
    b.SetTrue();
    EXPECT_EQ(WaitForAny(a, b, 0), 1);
}

TEST(WaitFunctionsTest, AllIsAllOrNothing) {
    TThreadEvent a(1, 1), b(1, 1), c(0, 1);
    EXPECT_EQ(WaitForAll(a, b, c, 30), -1);
    // The time-out took nothing: a and b are still signalled.
    c.SetTrue();
    EXPECT_EQ(WaitForAll(a, b, c, 0), 0);
    EXPECT_TRUE(a.IsFalse() && b.IsFalse() && c.IsFalse());

    std::thread late([&] {
        std::this_thread::sleep_for(20ms);
        a.SetTrue();
        b.SetTrue();
        std::this_thread::sleep_for(20ms);
        c.SetTrue();
    });
    EXPECT_EQ(WaitForAll(a, b, c, INFINITE), 0);
    late.join();

    TThreadEvent d(1), e(1), f(1), g(1), h(1);
    EXPECT_EQ(WaitForAll(d, e, f, g, h, 0), 0);
    EXPECT_EQ(WaitForAll(d, e, f, g, 0), 0);
    EXPECT_EQ(WaitForAny(d, e, f, g, h, 0), 0);
    EXPECT_EQ(WaitForAll(d, d, 0), -1);  // one event twice is refused
}

TEST(WaitFunctionsTest, CompetingWaitsNeverBothTakeOneAutoResetSignal) {
    // A "wait all" and a "wait any" compete for one auto-reset event.
    for (int round = 0; round < 20; ++round) {
        TThreadEvent shared(0, 1), other(1, 0);
        std::atomic<int> winners{0};
        std::thread all([&] {
            if (WaitForAll(shared, other, 30) == 0) ++winners;
        });
        std::thread any([&] {
            if (shared.WaitForIt(30)) ++winners;
        });
        shared.SetTrue();
        all.join();
        any.join();
        EXPECT_EQ(winners.load(), 1);
    }
}

TEST(SemaphoreTest, CountsUnitsUpToTheMaximum) {
    TSemaphore semaphore(0, 3);
    EXPECT_FALSE(semaphore.WaitForAccess(0));
    semaphore.ReleaseExclusiveAccess();
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(semaphore.WaitForAccess(0)) << i;
    EXPECT_FALSE(semaphore.WaitForAccess(0));

    semaphore.ReleaseAccess(2);
    semaphore.ReleaseAccess(2);  // would pass the maximum: ignored
    EXPECT_TRUE(semaphore.WaitForAccess(0));
    EXPECT_TRUE(semaphore.WaitForAccess(0));
    EXPECT_FALSE(semaphore.WaitForAccess(0));

    TSemaphore copy(semaphore);
    copy.ReleaseAccess(1);
    EXPECT_TRUE(semaphore.WaitForAccess(0));

    TSemaphore broken(5, 2);  // creation failed: waits fail, nothing hangs
    EXPECT_FALSE(broken.WaitForAccess(INFINITE));
    broken.WaitForExclusiveAccess();
}

TEST(SemaphoreTest, ExclusiveAccessExcludesEveryOtherHolder) {
    constexpr int kUnits = 3;
    TSemaphore semaphore(kUnits, kUnits);
    std::atomic<int> holders{0};
    std::atomic<bool> overlap{false}, stop{false};
    std::vector<std::thread> users;
    for (int i = 0; i < 4; ++i)
        users.emplace_back([&] {
            while (!stop.load()) {
                if (!semaphore.WaitForAccess(100)) continue;
                if (++holders > kUnits) overlap = true;
                std::this_thread::yield();
                --holders;
                semaphore.ReleaseAccess(1);
            }
        });
    for (int i = 0; i < 20; ++i) {
        semaphore.WaitForExclusiveAccess();
        if (holders.load() != 0) overlap = true;
        std::this_thread::sleep_for(1ms);
        if (holders.load() != 0) overlap = true;
        semaphore.ReleaseExclusiveAccess();
    }
    stop = true;
    for (auto& user : users) user.join();
    EXPECT_FALSE(overlap.load());
}

// The owner enters again, which the thread-safety analysis (it knows no recursive
// locks) reports.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wthread-safety-analysis"
#endif
TEST(CriticalSectionTest, ReentrantAndMutuallyExclusive) {
    TCriticalSection lock;
    TBasicCriticalSection basic;
    long counter = 0, basicCounter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                TAutoCriticalSection outer(lock);
                TAutoCriticalSection inner(&lock);  // re-entered by the owner
                ++counter;
                basic.EnterCriticalSection();
                basic.EnterCriticalSection();
                ++basicCounter;
                basic.LeaveCriticalSection();
                basic.LeaveCriticalSection();
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter, 8000);
    EXPECT_EQ(basicCounter, 8000);
}
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

TEST(CriticalSectionTest, CopiesGetAFreeLockOfTheirOwn) {
    TCriticalSection held;
    TMultithreadedObject object;
    TThreadEvent taken, release;
    std::thread holder([&] {
        held.Enter();
        object.LockAccess();
        taken.SetTrue();
        release.WaitForIt(INFINITE);
        object.UnlockAccess();
        held.Leave();
    });
    taken.WaitForIt(INFINITE);

    TCriticalSection copy(held);
    TCriticalSection assigned;
    assigned = held;
    TMultithreadedObject objectCopy(object);
    TThreadEvent entered;
    std::thread other([&] {
        copy.Enter();
        assigned.Enter();
        TAutoLock guard(objectCopy);
        entered.SetTrue();
        assigned.Leave();
        copy.Leave();
    });
    EXPECT_TRUE(entered.WaitForIt(5000));
    other.join();

    {
        TAutoCriticalSection none(static_cast<TCriticalSection*>(nullptr));  // does nothing
        TAutoLock nothing(static_cast<const TMultithreadedObject*>(nullptr));
    }
    release.SetTrue();
    holder.join();
}

TEST(CriticalSectionTest, GlobalLockIsOneObject) {
    TCriticalSection* seen[4] = {};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] { seen[i] = &GetGlobalCriticalSection(); });
    for (auto& thread : threads) thread.join();
    for (TCriticalSection* section : seen) EXPECT_EQ(section, &GetGlobalCriticalSection());
    TAutoCriticalSection guard(GetGlobalCriticalSection());
}
