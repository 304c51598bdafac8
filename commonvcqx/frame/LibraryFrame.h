// commonvcqx/frame/LibraryFrame.h
//
// The library's frame around the host's threads: the per-thread data every thread
// using the library carries (a nesting counter for configuration comparisons and the
// thread's own notification queue), and the stopping of the library's own file
// threads before the host unloads it.
//
//   void WorkerBody() {                      // a host thread not made by TThread
//       InitThreadDataOfCommonLibrary();
//       ...                                  // events, configurations
//       EndThreadDataOfCommonLibrary();
//   }
//   ...
//   EndCommonThreads();                      // before unloading the library
//
// The loading thread's data is made at load. Threads started through TThread get
// theirs on their own. The data of a thread that ends without
// EndThreadDataOfCommonLibrary is released when it ends. The data holds the thread's
// notification queue, so it is made and released beside the queues (events/).
#pragma once

#include <cstdint>

/// Gives the calling thread its data (counter 0, empty queue) unless it has it already.
void InitThreadDataOfCommonLibrary();

/// Releases the calling thread's data, deleting the notifications still queued.
void EndThreadDataOfCommonLibrary();

/// Lets the parallel file reader and then the parallel file writer finish their queued
/// requests, and stops them. Waits without a time limit.
void EndCommonThreads();

namespace cvq::detail {

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
