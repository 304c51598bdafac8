// Operation histories and queued notifications under out-of-memory at every allocation.
#include "../undo/TestOperations.h"
#include "OutOfMemoryDriver.h"

#include <commonvcqx/events/EventPublisher.h>
#include <commonvcqx/events/NotificationQueue.h>
#include <commonvcqx/platform/Messages.h>

#include <gtest/gtest.h>

#include <cstdio>

using cvq::reliability::DriveOutOfMemory;
using cvq::reliability::TNamedOutOfMemoryCase;
using cvq::reliability::TOutOfMemoryRun;

namespace {

// The wake-up messages of posts into an empty queue, which no message loop takes here.
void DrainWakeUps() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_PENDING_EVENTS, WM_PENDING_EVENTS, PM_REMOVE)) {
    }
}

int g_delivered = 0;
int32_t g_sum = 0;

void Count(int32_t, int32_t first, int32_t, void*, TEventPublisher*, int32_t) {
    ++g_delivered;
    g_sum += first;
}

const TNamedOutOfMemoryCase kCases[] = {
    {"history launch, undo and redo",
     [](TOutOfMemoryRun& run) {
         int live = LiveOperations();
         {
             TDocument document;
             TChiefOperator chief("Song", nullptr, 100, TTimeSpan(0));
             char results[4] = {1, 1, 1, 1};
             bool done = run.Armed([&] {
                 for (int i = 0; i < 3; ++i) {
                     results[i] = (new TTextOperation(templates::kPlain, &chief, &document, i,
                                                      "value number " + std::to_string(i)))
                                      ->Launch(0, 1, nullptr);
                 }
                 results[3] = chief.UndoOperation(0, nullptr) && chief.RedoOperation(0, nullptr) &&
                              chief.UndoOperation(0, nullptr);
             });
             bool allDone = results[0] && results[1] && results[2] && results[3];
             if (done) {
                 EXPECT_TRUE(allDone);
                 EXPECT_EQ(document.fields[2], "");
                 EXPECT_EQ(document.fields[1], "value number 1");
             } else if (run.Failed() && run.Thrown()[0] == 0) {
                 // Documented: a failed step reports false.
                 EXPECT_FALSE(allDone);
                 run.AcceptResult();
             }
             // The history still works and its operations are all accounted for.
             (new TTextOperation(templates::kPlain, &chief, &document, 3, "after"))
                 ->Launch(0, 1, nullptr);
             EXPECT_EQ(document.fields[3], "after");
             EXPECT_TRUE(chief.UndoOperation(0, nullptr));
             EXPECT_EQ(document.fields[3], "");
         }
         EXPECT_EQ(LiveOperations(), live);
     }},
    {"notifications posted and processed",
     [](TOutOfMemoryRun& run) {
         FlushThreadPendingEvents();
         TEventPublisher publisher("Player");
         publisher.Subscribe(nullptr, 5, &Count, nullptr);
         publisher.SetNotificationQueue(GetThreadNotificationQueue());
         g_delivered = 0;
         g_sum = 0;
         int posted = 0;
         bool done = run.Armed([&] {
             for (int i = 1; i <= 20; ++i) {
                 publisher.PostNotification(5, i);
                 ++posted;
             }
             ProcessThreadPendingEvents();
         });
         ProcessThreadPendingEvents();
         DrainWakeUps();
         if (done) {
             EXPECT_EQ(posted, 20);
         }
         if (run.Failed() && run.Thrown()[0] == 0) {
             // Documented: a post that cannot be queued is dropped, that one alone.
             EXPECT_EQ(g_delivered, posted - 1);
             run.AcceptResult();
         } else {
             // Every post that returned is delivered once.
             EXPECT_EQ(g_delivered, posted);
             EXPECT_EQ(g_sum, posted * (posted + 1) / 2);
         }
     }},
};

TEST(OutOfMemoryHistoryTest, HistoriesAndNotificationsFailCleanlyAtEveryAllocation) {
    GetThreadNotificationQueue();
    for (const auto& entry : kCases) {
        int32_t points = DriveOutOfMemory(entry);
        std::printf("%-40s %5d failure points\n", entry.name, points);
        if (cvq::reliability::HeapsServeTheProcess()) {
            EXPECT_GT(points, 0) << entry.name;
        }
        if (HasFailure()) return;
    }
}

}  // namespace
