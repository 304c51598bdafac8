// commonvcqx/threads/ReadWriteSynchronizer.h
//
// TReadWriteSynchronizer: a TThreadSynchronizer that also carries two manual-reset
// events for a reading and a writing thread to signal each other. What each event
// means is the two threads' business; the synchronizer only creates and closes them.
//
//   auto* sync = new TReadWriteSynchronizer;         // first event set, second not
//   auto* lock = new TCriticalSection;
//   // writer: sync->GetFirstEvent().WaitForIt(INFINITE); ...; sync->GetSecondEvent().SetTrue();
//   // each thread at its end: sync->SetThreadEndCode(thread, code, lock);
//
// A copy shares both events: it holds references of its own, so every copy closes
// only its own and the events live until the last copy is gone.
#pragma once

#include <commonvcqx/threads/ThreadEvent.h>
#include <commonvcqx/threads/ThreadSynchronizer.h>

class TReadWriteSynchronizer : public TThreadSynchronizer {
public:
    /// The first event starts signalled unless `firstEventReset` is set; the second
    /// starts not signalled.
    explicit TReadWriteSynchronizer(char firstEventReset = 0)
        : m_firstEvent(firstEventReset ? 0 : 1, 0), m_secondEvent(0, 0) {}
    TReadWriteSynchronizer(const TReadWriteSynchronizer&) = default;
    TReadWriteSynchronizer& operator=(const TReadWriteSynchronizer&) = default;
    /// Closes the second event's handle, then the first's.
    ~TReadWriteSynchronizer() override = default;

    TThreadEvent& GetFirstEvent() noexcept { return m_firstEvent; }
    TThreadEvent& GetSecondEvent() noexcept { return m_secondEvent; }
    const TThreadEvent& GetFirstEvent() const noexcept { return m_firstEvent; }
    const TThreadEvent& GetSecondEvent() const noexcept { return m_secondEvent; }

private:
    // Declared in this order so that destruction closes the second event first.
    TThreadEvent m_firstEvent;
    TThreadEvent m_secondEvent;
};
