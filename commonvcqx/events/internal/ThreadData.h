// commonvcqx/events/internal/ThreadData.h
//
// The per-thread data behind InitThreadDataOfCommonLibrary: the thread's own
// notification queue (and the nesting counter of configuration comparisons). It lives
// with the queues because it holds one.
//
//   if (cvq::detail::TThreadData* data = cvq::detail::CurrentThreadData())
//       data->queue.Append(record);
#pragma once

#include <commonvcqx/events/NotificationQueue.h>

#include <cstdint>

namespace cvq::detail {

struct TThreadData {
    /// How deep configuration key comparisons are nested on this thread.
    int32_t nestingCounter = 0;
    /// The thread's own pending notifications; the queue owns them.
    TNotificationQueue queue;
};

/// The calling thread's data; null before InitThreadDataOfCommonLibrary.
TThreadData* CurrentThreadData() noexcept;

}  // namespace cvq::detail
