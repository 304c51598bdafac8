// commonvcqx/frame/internal/ThreadData.h
//
// The per-thread data behind InitThreadDataOfCommonLibrary, and the hook through which
// the buffered-file threads are stopped by EndCommonThreads.
//
//   if (cvq::detail::TThreadData* data = cvq::detail::CurrentThreadData())
//       ++data->nestingCounter;
#pragma once

#include <commonvcqx/containers/DoubleList.h>

#include <cstdint>

namespace cvq::detail {

struct TThreadData {
    /// How deep configuration key comparisons are nested on this thread.
    int32_t nestingCounter = 0;
    /// The thread's own pending notifications; the queue owns them.
    TDoubleList queue;
};

/// The calling thread's data; null before InitThreadDataOfCommonLibrary.
TThreadData* CurrentThreadData() noexcept;

/// A library thread that serves queued file requests.
class TCommonFileThread {
public:
    /// Requests not yet done, read under the thread's own lock.
    virtual int32_t GetOutstandingRequests() = 0;
    /// Sets the stop flag, wakes the thread and waits for it to end.
    virtual void Stop() = 0;

protected:
    ~TCommonFileThread() = default;
};

/// Names the parallel reader and writer that EndCommonThreads stops (null: none). The
/// objects stay their owner's; EndCommonThreads forgets them once stopped.
void SetCommonFileThreads(TCommonFileThread* reader, TCommonFileThread* writer) noexcept;

}  // namespace cvq::detail
