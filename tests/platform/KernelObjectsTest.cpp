// Kernel objects: bad handles and arguments, objects kept alive by their waits, and
// semaphore units conserved through competing any- and all-waits.
#include <commonvcqx/platform/internal/KernelObjects.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using namespace cvq::platform;

TEST(KernelObjectTest, BadHandlesFailWithoutHanging) {
    EXPECT_EQ(CreateSemaphoreObject(4, 3), nullptr);  // more units than the maximum
    EXPECT_EQ(CreateSemaphoreObject(0, 0), nullptr);
    HANDLE none = nullptr;
    EXPECT_EQ(WaitForObjects(&none, 1, false, INFINITE), WAIT_FAILED);
    EXPECT_EQ(WaitForObjects(nullptr, 0, true, 0), WAIT_FAILED);
    EXPECT_FALSE(SetEventObject(nullptr));
    HANDLE semaphore = CreateSemaphoreObject(0, 1);
    EXPECT_FALSE(SetEventObject(semaphore));
    EXPECT_FALSE(ReleaseSemaphoreObject(semaphore, 0));
    int32_t previous = -1;
    EXPECT_TRUE(ReleaseSemaphoreObject(semaphore, 1, &previous));
    EXPECT_EQ(previous, 0);
    EXPECT_FALSE(ReleaseSemaphoreObject(semaphore, 1));
    // A wait keeps its object alive when the last handle is closed meanwhile.
    HANDLE event = CreateEventObject(false, false);
    HANDLE alias = DuplicateObjectHandle(event);
    std::atomic<bool> waiting{false};
    std::thread waiter([&] {
        HANDLE own = event;
        waiting = true;
        EXPECT_EQ(WaitForObject(own, 300), WAIT_TIMEOUT);
    });
    while (!waiting.load()) std::this_thread::yield();
    std::this_thread::sleep_for(20ms);
    CloseObjectHandle(alias);
    CloseObjectHandle(event);
    waiter.join();
    CloseObjectHandle(semaphore);
}

TEST(KernelObjectTest, CompetingWaitsConserveSemaphoreUnits) {
    constexpr int kProducers = 4, kConsumers = 4, kUnitsEach = 1500;
    HANDLE semaphores[3] = {CreateSemaphoreObject(0, 1000), CreateSemaphoreObject(0, 1000),
                            CreateSemaphoreObject(0, 1000)};
    std::atomic<int> taken{0};
    std::atomic<bool> producing{true};
    std::vector<std::thread> threads;
    for (int p = 0; p < kProducers; ++p)
        threads.emplace_back([&, p] {
            for (int i = 0; i < kUnitsEach; ++i)
                while (!ReleaseSemaphoreObject(semaphores[(p + i) % 3], 1))
                    std::this_thread::yield();
        });
    for (int c = 0; c < kConsumers; ++c)
        threads.emplace_back([&, c] {
            for (;;) {
                // Half the consumers take one unit of any, half one unit of each.
                bool all = c % 2 == 1;
                DWORD result = WaitForObjects(semaphores, 3, all, 20);
                if (result == WAIT_TIMEOUT) {
                    if (!producing.load()) return;
                    continue;
                }
                taken += all ? 3 : 1;
            }
        });
    for (int p = 0; p < kProducers; ++p) threads[p].join();
    producing = false;
    for (size_t t = kProducers; t < threads.size(); ++t) threads[t].join();
    int left = 0;
    for (HANDLE semaphore : semaphores) {
        while (WaitForObject(semaphore, 0) == WAIT_OBJECT_0) ++left;
        CloseObjectHandle(semaphore);
    }
    EXPECT_EQ(taken.load() + left, kProducers * kUnitsEach);
}

// Two threads hand a token back and forth through auto-reset events: granted while the
// waiter still watches its word, and (every few rounds, after a pause longer than the
// watching) while it sleeps. No signal is lost or doubled, and a pulse with nobody
// waiting leaves the event reset.
TEST(KernelObjectTest, PingPongLosesNoSignalWhetherTheWaiterWatchesOrSleeps) {
    HANDLE ping = CreateEventObject(false, false);
    HANDLE pong = CreateEventObject(false, false);
    constexpr int kRounds = 3000;
    std::atomic<int> answered{0};
    std::thread partner([&] {
        for (int i = 0; i < kRounds; ++i) {
            ASSERT_EQ(WaitForObject(ping, INFINITE), WAIT_OBJECT_0);
            if (i % 500 == 0) std::this_thread::sleep_for(2ms);  // the other side sleeps
            answered.fetch_add(1);
            SetEventObject(pong);
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        if (i % 700 == 0) std::this_thread::sleep_for(2ms);  // the partner sleeps
        SetEventObject(ping);
        ASSERT_EQ(WaitForObject(pong, INFINITE), WAIT_OBJECT_0);
        ASSERT_EQ(answered.load(), i + 1);
    }
    partner.join();
    EXPECT_EQ(WaitForObject(ping, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForObject(pong, 0), WAIT_TIMEOUT);
    PulseEventObject(ping);
    EXPECT_EQ(WaitForObject(ping, 0), WAIT_TIMEOUT);
    CloseObjectHandle(ping);
    CloseObjectHandle(pong);
}
