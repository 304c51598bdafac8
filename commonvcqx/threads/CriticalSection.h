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

#include <commonvcqx/platform/CriticalSection.h>

class TCriticalSection {
public:
    TCriticalSection() { Init(); }
    TCriticalSection(const TCriticalSection&) { Init(); }
    /// Keeps this object's own lock; its state is not touched, so a holder stays safe.
    TCriticalSection& operator=(const TCriticalSection&) { return *this; }
    ~TCriticalSection() { DeleteCriticalSection(&section_); }

    void Enter() const { EnterCriticalSection(&section_); }
    void Leave() const { LeaveCriticalSection(&section_); }

private:
    void Init() { InitializeCriticalSection(&section_); }

    mutable CRITICAL_SECTION section_;
};

class TAutoCriticalSection {
public:
    explicit TAutoCriticalSection(TCriticalSection& section) : section_(&section) {
        section_->Enter();
    }
    /// A null pointer makes a guard that does nothing.
    explicit TAutoCriticalSection(TCriticalSection* section) : section_(section) {
        if (section_) section_->Enter();
    }
    ~TAutoCriticalSection() {
        if (section_) section_->Leave();
    }
    TAutoCriticalSection(const TAutoCriticalSection&) = delete;
    TAutoCriticalSection& operator=(const TAutoCriticalSection&) = delete;

private:
    TCriticalSection* section_;
};

/// The process-wide lock (it guards, among others, memory-mapped views); made on first
/// use, safely also when first used by several threads at once.
TCriticalSection& GetGlobalCriticalSection();
