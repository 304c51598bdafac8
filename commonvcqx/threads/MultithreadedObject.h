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

    const TCriticalSection& GetCriticalSection() const { return section_; }
    void LockAccess() const { section_.Enter(); }
    void UnlockAccess() const { section_.Leave(); }

private:
    TCriticalSection section_;
};

class TAutoLock {
public:
    explicit TAutoLock(const TMultithreadedObject& object) : object_(&object) {
        object_->LockAccess();
    }
    /// A null pointer makes a guard that does nothing.
    explicit TAutoLock(const TMultithreadedObject* object) : object_(object) {
        if (object_) object_->LockAccess();
    }
    ~TAutoLock() {
        if (object_) object_->UnlockAccess();
    }
    TAutoLock(const TAutoLock&) = delete;
    TAutoLock& operator=(const TAutoLock&) = delete;

private:
    const TMultithreadedObject* object_;
};
