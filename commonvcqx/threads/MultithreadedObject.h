// commonvcqx/threads/MultithreadedObject.h
//
// TMultithreadedObject: a base for objects that carry their own lock; TAutoLock holds
// that lock for a scope. Copies of the object get a lock of their own.
//
//   class TMailbox : public TMultithreadedObject { ... };
//   void TMailbox::Put(int value) {
//       TAutoLock guard(this);
//       ...
//   }
#pragma once

#include <commonvcqx/threads/CriticalSection.h>

class TMultithreadedObject {
public:
    TMultithreadedObject() = default;
    TMultithreadedObject(const TMultithreadedObject&) {}
    TMultithreadedObject& operator=(const TMultithreadedObject&) { return *this; }
    ~TMultithreadedObject() = default;

    const TCriticalSection& GetCriticalSection() const { return m_section; }
    void LockAccess() const CVQ_ACQUIRE(m_section) { m_section.Enter(); }
    void UnlockAccess() const CVQ_RELEASE(m_section) { m_section.Leave(); }

private:
    TCriticalSection m_section;
};

class TAutoLock {
public:
    explicit TAutoLock(const TMultithreadedObject& object) : m_object(&object) {
        m_object->LockAccess();
    }
    /// A null pointer makes a guard that does nothing.
    explicit TAutoLock(const TMultithreadedObject* object) : m_object(object) {
        if (m_object) m_object->LockAccess();
    }
    ~TAutoLock() {
        if (m_object) m_object->UnlockAccess();
    }
    TAutoLock(const TAutoLock&) = delete;
    TAutoLock& operator=(const TAutoLock&) = delete;

private:
    const TMultithreadedObject* m_object;
};
