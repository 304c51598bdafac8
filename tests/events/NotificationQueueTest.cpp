// Queued notifications: posting, dropping, replacing, waking, draining, flushing, the
// publisher's purge, and posting across threads.
#include "EventTestSupport.h"

#include <commonvcqx/events/EventPublisher.h>
#include <commonvcqx/events/NotificationQueue.h>
#include <commonvcqx/events/PendingNotification.h>
#include <commonvcqx/frame/LibraryFrame.h>
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/threads/Thread.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace evtest;
using Lines = std::vector<std::string>;

namespace {

int TakeWakeUps() {
    MSG msg;
    int n = 0;
    while (PeekMessageA(&msg, nullptr, WM_PENDING_EVENTS, WM_PENDING_EVENTS, PM_REMOVE)) ++n;
    return n;
}

class NotificationQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        log.clear();
        FlushThreadPendingEvents();
        TakeWakeUps();
        queue = GetThreadNotificationQueue();
        ASSERT_NE(queue, nullptr);
    }
    void TearDown() override { FlushThreadPendingEvents(); }

    std::vector<std::pair<int32_t, int32_t>> Records() const {
        std::vector<std::pair<int32_t, int32_t>> out;
        for (TListElement* e = queue->GetFirst(); e; e = queue->GetNext(e)) {
            auto* values = dynamic_cast<TPendingNotification*>(e);
            auto* object = dynamic_cast<TPendingEventObject*>(e);
            out.emplace_back(
                static_cast<TPendingRecord*>(e)->GetEventId(),
                values ? values->GetFirst()
                       : static_cast<const TCountedEvent*>(object->GetEventObject())->payload);
        }
        return out;
    }

    TNotificationQueue* queue = nullptr;
};

using Pairs = std::vector<std::pair<int32_t, int32_t>>;

}  // namespace

TEST_F(NotificationQueueTest, PostsWaitUntilProcessedAndRunInQueueOrder) {
    TEventPublisher publisher;
    TNamed x("X");
    publisher.Subscribe(nullptr, 5, x);
    publisher.Subscribe(nullptr, 6, x);
    publisher.PostNotification(5, 1);
    publisher.PostNotification(6, 2);
    publisher.PostNotification(new TCountedEvent(5));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(queue->GetCount(), 3);
    ProcessThreadPendingEvents();
    EXPECT_EQ(log, (Lines{"X:5:1", "X:6:2", "X#obj:5:0"}));
    EXPECT_TRUE(queue->IsEmpty());
    EXPECT_EQ(eventsAlive.load(), 0);
}

TEST_F(NotificationQueueTest, ExcludedOnlySubscriberDropsThePost) {
    TEventPublisher publisher;
    TNamed s("S"), t("T");
    publisher.Subscribe(nullptr, 5, s);
    publisher.PostNotification(5, 1, 0, &s);
    publisher.PostNotification(new TCountedEvent(5), &s);
    EXPECT_TRUE(queue->IsEmpty());
    EXPECT_EQ(eventsAlive.load(), 0);  // the dropped event object was deleted
    EXPECT_EQ(TakeWakeUps(), 0);

    publisher.PostNotification(5, 1, 0, &t);  // t subscribes nothing: queued
    publisher.Subscribe(nullptr, 5, t);
    publisher.PostNotification(5, 2, 0, &s);  // another subscriber exists: queued
    EXPECT_EQ(queue->GetCount(), 2);
    ProcessThreadPendingEvents();
    EXPECT_EQ(log, (Lines{"S:5:1", "T:5:2"}));
}

TEST_F(NotificationQueueTest, ReplaceTakesTheFirstRecordsPlace) {
    TEventPublisher publisher, other;
    publisher.PostNotification(7, 1);
    other.PostNotification(7, 50);
    publisher.PostNotification(8, 2);
    publisher.PostNotification(7, 3, 0, nullptr, 0, 1);
    EXPECT_EQ(Records(), (Pairs{{7, 3}, {7, 50}, {8, 2}}));
    publisher.PostNotification(9, 4, 0, nullptr, 0, 1);  // nothing to replace: appended
    publisher.PostNotification(new TCountedEvent(8, 5), nullptr, 1);  // either record class
    EXPECT_EQ(Records(), (Pairs{{7, 3}, {7, 50}, {8, 5}, {9, 4}}));
    publisher.PostNotification(new TCountedEvent(8, 6), nullptr, 1);
    EXPECT_EQ(eventsAlive.load(), 1);  // the replaced event object is gone
    EXPECT_EQ(Records(), (Pairs{{7, 3}, {7, 50}, {8, 6}, {9, 4}}));
    EXPECT_EQ(TakeWakeUps(), 1);
}

TEST_F(NotificationQueueTest, OnlyAPostIntoAnEmptyQueueWakesTheThread) {
    TEventPublisher publisher;
    publisher.PostNotification(1);
    publisher.PostNotification(2);
    publisher.PostNotification(new TCountedEvent(3));
    EXPECT_EQ(TakeWakeUps(), 1);
    ProcessThreadPendingEvents();
    EXPECT_EQ(TakeWakeUps(), 0);
    publisher.PostNotification(1);
    EXPECT_EQ(TakeWakeUps(), 1);
}

TEST_F(NotificationQueueTest, FlushDeletesEventObjectsWithoutDelivering) {
    TEventPublisher publisher;
    TNamed x("X");
    publisher.Subscribe(nullptr, 5, x);
    publisher.PostNotification(new TCountedEvent(5));
    publisher.PostNotification(new TCountedEvent(5));
    publisher.PostNotification(5, 1);
    EXPECT_EQ(eventsAlive.load(), 2);
    FlushThreadPendingEvents();
    EXPECT_EQ(eventsAlive.load(), 0);
    EXPECT_TRUE(queue->IsEmpty());
    ProcessThreadPendingEvents();
    EXPECT_TRUE(log.empty());
    FlushPendingEvents(nullptr);
    ProcessPendingEvents(nullptr);
}

namespace {

TEventPublisher* reposter = nullptr;
int reposts = 0;

// Posts again while its record is being dispatched, with replace.
void Repost(int32_t id, int32_t first, int32_t, void*, TEventPublisher*, int32_t) {
    Note("R", id, first);
    if (reposts-- > 0) reposter->PostNotification(id, first + 1, 0, nullptr, 0, 1);
}

}  // namespace

TEST_F(NotificationQueueTest, RecordsPostedDuringAPassRunInThatPass) {
    TEventPublisher publisher;
    reposter = &publisher;
    reposts = 2;
    publisher.Subscribe(nullptr, 5, Repost, nullptr);
    publisher.PostNotification(5, 1);
    publisher.PostNotification(6, 0);
    ProcessThreadPendingEvents();
    EXPECT_EQ(log, (Lines{"R:5:1", "R:5:2", "R:5:3"}));
    EXPECT_TRUE(queue->IsEmpty());
}

TEST_F(NotificationQueueTest, APublisherTakesItsRecordsOutOfEveryQueue) {
    TNotificationQueue spare;
    TEventPublisher keeper;
    {
        TEventPublisher gone;
        gone.PostNotification(new TCountedEvent(1));
        keeper.PostNotification(2, 0);
        gone.PostNotification(3, 0);
        gone.SetNotificationQueue(&spare);
        gone.PostNotification(new TCountedEvent(4));
        EXPECT_EQ(spare.GetCount(), 1);
    }
    EXPECT_EQ(eventsAlive.load(), 0);
    EXPECT_TRUE(spare.IsEmpty());
    EXPECT_EQ(Records(), (Pairs{{2, 0}}));
    ProcessThreadPendingEvents();  // nothing of the dead publisher is dispatched
}

TEST_F(NotificationQueueTest, ThreadDataEndingDeletesQueuedRecords) {
    TEventPublisher publisher;
    std::thread host([&] {
        InitThreadDataOfCommonLibrary();
        publisher.PostNotification(new TCountedEvent(1));
        EXPECT_EQ(eventsAlive.load(), 1);
        EndThreadDataOfCommonLibrary();
        EXPECT_EQ(eventsAlive.load(), 0);
        publisher.PostNotification(new TCountedEvent(1));  // no data: dropped, deleted
        EXPECT_EQ(eventsAlive.load(), 0);
        EXPECT_EQ(GetThreadNotificationQueue(), nullptr);
    });
    host.join();
}

namespace {

std::mutex receivedLock;
std::vector<std::pair<int32_t, int32_t>> received;  // (worker, sequence)

void Receive(int32_t, int32_t worker, int32_t sequence, void*, TEventPublisher*, int32_t) {
    std::lock_guard lock(receivedLock);
    received.emplace_back(worker, sequence);
}

}  // namespace

TEST_F(NotificationQueueTest, WorkersPostIntoTheOwnersQueueWhichDrainsOnWakeUps) {
    constexpr int kWorkers = 4, kPosts = 500;
    received.clear();
    TEventPublisher publisher("cross", 4, 1);
    publisher.Subscribe(nullptr, 1, Receive, nullptr);
    publisher.SetNotificationQueue(queue);
    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w)
        workers.emplace_back([&, w] {
            for (int i = 0; i < kPosts; ++i) {
                publisher.PostNotification(1, w, i);
                if (i % 64 == 0) std::this_thread::yield();
            }
            ++finished;
        });
    // The owner's loop: wait for the wake-up, drain.
    MSG msg;
    for (;;) {
        {
            std::lock_guard lock(receivedLock);
            if (received.size() == size_t(kWorkers * kPosts)) break;
        }
        ASSERT_GT(GetMessageA(&msg, nullptr, 0, 0), 0);
        if (msg.message == WM_PENDING_EVENTS) ProcessThreadPendingEvents();
    }
    for (auto& t : workers) t.join();
    EXPECT_EQ(finished.load(), kWorkers);
    std::vector<int> next(kWorkers, 0);
    for (const auto& [worker, sequence] : received) EXPECT_EQ(sequence, next[worker]++);
    EXPECT_TRUE(queue->IsEmpty());
}
