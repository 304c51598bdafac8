// commonvcqx/threads/Semaphore.h
//
// TSemaphore: a counting semaphore that can also be taken whole (all maximum-count
// units). Copies share one semaphore and its maximum count.
//
//   TSemaphore slots(0, 3);
//   slots.ReleaseExclusiveAccess();    // three units free
//   if (slots.WaitForAccess(0)) { ...; slots.ReleaseAccess(1); }
#pragma once

#include <commonvcqx/platform/WinTypes.h>

class TSemaphore {
public:
    TSemaphore(int32_t initialCount, int32_t maximumCount);
    TSemaphore(const TSemaphore& other);
    TSemaphore& operator=(const TSemaphore& other);
    ~TSemaphore();

    /// Takes one unit, waiting up to `milliseconds`; true if it got one.
    char WaitForAccess(uint32_t milliseconds);
    /// Returns `count` units; ignored when that would pass the maximum.
    void ReleaseAccess(int32_t count);
    /// Takes every unit, one after the other, waiting without limit. Two threads doing
    /// this at once can each end up with part of the units: callers serialize it.
    void WaitForExclusiveAccess();
    void ReleaseExclusiveAccess();

    HANDLE GetHandle() const { return m_handle; }

private:
    HANDLE m_handle;
    int32_t m_maximumCount;
};
