// commonvcqx/threads/ThreadSynchronizer.h
//
// TThreadSynchronizer: lets two cooperating threads that share one object each report
// their end code; whichever reports second deletes the synchronizer and the lock that
// guarded the reports, so the thread that ends last cleans up.
//
//   auto* sync = new TThreadSynchronizer;            // must come from new
//   auto* lock = new TCriticalSection;               // likewise
//   // ... hand both to the two threads; each one, as it ends:
//   sync->SetThreadEndCode(0, 1, lock);              // thread 0; thread 1 passes 1
//   // neither thread touches sync or lock after its call
//
// An end code of 0 means "not ended", so threads report non-zero codes. The
// synchronizer and the lock must be heap objects made with plain new (the synchronizer
// or a class derived from it; not an array element, a member or a stack object):
// debug builds check the synchronizer and stop the program otherwise.
#pragma once

#include <commonvcqx/threads/CriticalSection.h>

#include <cstddef>
#include <cstdint>

class TThreadSynchronizer {
public:
    TThreadSynchronizer() noexcept = default;
    TThreadSynchronizer(const TThreadSynchronizer&) noexcept = default;
    TThreadSynchronizer& operator=(const TThreadSynchronizer&) noexcept = default;
    virtual ~TThreadSynchronizer();

    /// Records the end code of thread 0 (thread == 0) or thread 1 (any other value) under
    /// `lock`. True when the other thread had already reported a non-zero code: then this
    /// call has deleted the synchronizer and, after leaving it, the lock. A null lock
    /// throws a TException and records nothing.
    char SetThreadEndCode(int32_t thread, int32_t code, TCriticalSection* lock);

    /// Heap objects of this class and its derived classes come from here, which lets
    /// debug builds tell them from objects that must not delete themselves.
    static void* operator new(std::size_t size);
    static void operator delete(void* block) noexcept;

private:
    int32_t m_endCode0 = 0;
    int32_t m_endCode1 = 0;
};
