// commonvcqx/threads/BasicCriticalSection.h
//
// TBasicCriticalSection: the platform's re-entrant lock and nothing else; not
// copyable. Use TCriticalSection where a copyable lock is needed.
//
//   static TBasicCriticalSection lock;
//   lock.EnterCriticalSection();
//   ...
//   lock.LeaveCriticalSection();
#pragma once

#include <commonvcqx/platform/CriticalSection.h>

class TBasicCriticalSection {
public:
    TBasicCriticalSection() { InitializeCriticalSection(&section_); }
    ~TBasicCriticalSection() { DeleteCriticalSection(&section_); }
    TBasicCriticalSection(const TBasicCriticalSection&) = delete;
    TBasicCriticalSection& operator=(const TBasicCriticalSection&) = delete;

    void EnterCriticalSection() const { ::EnterCriticalSection(&section_); }
    void LeaveCriticalSection() const { ::LeaveCriticalSection(&section_); }

private:
    mutable CRITICAL_SECTION section_;
};
