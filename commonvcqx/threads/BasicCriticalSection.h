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
    TBasicCriticalSection() { InitializeCriticalSection(&m_section); }
    ~TBasicCriticalSection() { DeleteCriticalSection(&m_section); }
    TBasicCriticalSection(const TBasicCriticalSection&) = delete;
    TBasicCriticalSection& operator=(const TBasicCriticalSection&) = delete;

    void EnterCriticalSection() const { ::EnterCriticalSection(&m_section); }
    void LeaveCriticalSection() const { ::LeaveCriticalSection(&m_section); }

private:
    mutable CRITICAL_SECTION m_section;
};
