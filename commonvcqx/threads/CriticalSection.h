// commonvcqx/threads/CriticalSection.h
//
// TCriticalSection: a re-entrant lock that may be copied or assigned; a copy never
// shares lock state (it gets a fresh lock that nobody holds). TAutoCriticalSection
// holds one for the length of a scope. GetGlobalCriticalSection is the library's one
// process-wide lock.
//
//   TCriticalSection lock;
//   {
//       TAutoCriticalSection guard(lock);
//       ...                                 // left on every exit from the scope
//   }
#pragma once

#include <commonvcqx/base/ThreadSafety.h>
#include <commonvcqx/platform/CriticalSection.h>

class CVQ_CAPABILITY("mutex") TCriticalSection {
public:
    TCriticalSection() { Init(); }
    TCriticalSection(const TCriticalSection&) { Init(); }
    /// Keeps this object's own lock; its state is not touched, so a holder stays safe.
    TCriticalSection& operator=(const TCriticalSection&) { return *this; }
    ~TCriticalSection() { DeleteCriticalSection(&m_section); }

    void Enter() const CVQ_ACQUIRE() { EnterCriticalSection(&m_section); }
    void Leave() const CVQ_RELEASE() { LeaveCriticalSection(&m_section); }

private:
    void Init() { InitializeCriticalSection(&m_section); }

    mutable CRITICAL_SECTION m_section;
};

class CVQ_SCOPED_CAPABILITY TAutoCriticalSection {
public:
    explicit TAutoCriticalSection(TCriticalSection& section) CVQ_ACQUIRE(section)
        : m_section(&section) {
        m_section->Enter();
    }
    /// A null pointer makes a guard that does nothing.
    explicit TAutoCriticalSection(TCriticalSection* section) CVQ_ACQUIRE(section)
        : m_section(section) {
        if (m_section) m_section->Enter();
    }
    ~TAutoCriticalSection() CVQ_RELEASE() {
        if (m_section) m_section->Leave();
    }
    TAutoCriticalSection(const TAutoCriticalSection&) = delete;
    TAutoCriticalSection& operator=(const TAutoCriticalSection&) = delete;

private:
    TCriticalSection* m_section;
};

/// The process-wide lock (it guards, among others, memory-mapped views); made on first
/// use, safely also when first used by several threads at once.
TCriticalSection& GetGlobalCriticalSection();
