// TSpinLock: bias, revocation by a second thread, nesting, release around handlers.
#include <commonvcqx/platform/internal/SpinLock.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using cvq::platform::TSpinLock;

// These tests nest the recursive lock and leave it a level at a time, which the
// thread-safety analysis (it knows no recursive locks) reports.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wthread-safety-analysis"
#endif

TEST(SpinLockTest, FirstThreadEntersBiasedOthersRevokeAndExcludeEachOther) {
    static TSpinLock lock{};
    EXPECT_FALSE(lock.IsHeldByCaller());
    lock.Lock();
    lock.Lock();  // nested
    EXPECT_TRUE(lock.IsHeldByCaller());
    EXPECT_EQ(lock.m_bias, cvq::platform::CurrentThreadToken());
    lock.Unlock();
    EXPECT_TRUE(lock.IsHeldByCaller());
    lock.Unlock();
    EXPECT_FALSE(lock.IsHeldByCaller());

    // Unprotected read-modify-write: any overlap between holders loses increments.
    long counter = 0;
    constexpr int kRounds = 200000;
    auto work = [&] {
        for (int i = 0; i < kRounds; ++i) {
            lock.Lock();
            long seen = counter;
            if (i % 1000 == 0) std::this_thread::yield();
            counter = seen + 1;
            lock.Unlock();
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) threads.emplace_back(work);
    work();  // the bias owner keeps going while the others revoke the bias
    for (auto& t : threads) t.join();
    EXPECT_EQ(counter, 4L * kRounds);
    EXPECT_EQ(lock.m_bias, TSpinLock::kRevoked);
}

TEST(SpinLockTest, UnlockAllLetsAnotherThreadInAndRelockRestoresTheNesting) {
    TSpinLock lock{};
    lock.Lock();
    lock.Lock();
    lock.Lock();
    uint32_t depth = lock.UnlockAll();
    EXPECT_EQ(depth, 2u);
    EXPECT_FALSE(lock.IsHeldByCaller());
    bool entered = false;
    std::thread([&] {
        lock.Lock();
        entered = true;
        lock.Unlock();
    }).join();
    EXPECT_TRUE(entered);
    lock.Relock(depth);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(lock.IsHeldByCaller());
        lock.Unlock();
    }
    EXPECT_FALSE(lock.IsHeldByCaller());
}
