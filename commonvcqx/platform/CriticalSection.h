// commonvcqx/platform/CriticalSection.h
//
// CRITICAL_SECTION: the platform's re-entrant lock with the Windows calls. The owner
// may enter again and must leave as often; a thread blocks only while another thread
// holds the lock. Leaving a lock one does not hold does nothing.
//
//   CRITICAL_SECTION lock;
//   InitializeCriticalSection(&lock);
//   EnterCriticalSection(&lock);
//   EnterCriticalSection(&lock);     // re-entered by the owner
//   LeaveCriticalSection(&lock);
//   LeaveCriticalSection(&lock);
//   DeleteCriticalSection(&lock);
#pragma once

#include <commonvcqx/platform/WinTypes.h>

#include <atomic>

// NOLINTBEGIN(readability-identifier-naming): the Windows names are the point.
struct CRITICAL_SECTION {
    std::atomic<uint32_t> LockCount{0};  ///< 0 free, 1 held, 2 held with sleepers
    std::atomic<DWORD> OwningThread{0};  ///< thread id of the owner, 0 when free
    LONG RecursionCount = 0;             ///< touched by the owner only
};
// NOLINTEND(readability-identifier-naming)

void InitializeCriticalSection(CRITICAL_SECTION* section);
/// The lock must not be held.
void DeleteCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);
