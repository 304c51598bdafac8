// commonvcqx/frame/Object.h
//
// TObject: the root of every class whose objects live in containers, are cloned or
// are persisted. It holds no data; it fixes the six operations containers and the
// tagged stream format call on their elements, each with a default that does nothing.
//
//   class TTake : public TObject {
//   public:
//       int Compare(const TObject& other, int mode) const override;
//       TObject* CreateClone(void*) const override { return new TTake(*this); }
//   };
//   TObject* copy = take.CreateClone(nullptr);
//   copy->Delete();
//
// Objects are destroyed through Delete() or by their owner; the destructor is
// protected so that a TObject is never deleted by a plain `delete` of the base.
#pragma once

#include <cstdint>

class TTaggedOutputStream;
class TTaggedInputStream;

class TObject {
public:
    TObject() noexcept = default;
    TObject(const TObject&) noexcept = default;
    TObject& operator=(const TObject&) noexcept { return *this; }

    /// Negative when this orders before `other`, 0 when equal, positive after. The mode
    /// is whatever the container passes through. Default: -1.
    virtual int Compare(const TObject& other, int compareMode) const;
    /// A new, separately allocated copy; `context` is passed through by the caller.
    /// Default: null (no clone exists).
    virtual TObject* CreateClone(void* context) const;
    /// The 32-bit hash used by hash maps. Default: 0.
    virtual unsigned int GetHashedValue() const;
    /// Destroys and frees the object through its virtual destructor.
    virtual void Delete();
    /// Writes the object's state under (name, index). Default: writes nothing.
    virtual void WriteState(TTaggedOutputStream& out, int32_t context, const char* name,
                            int index) const;
    /// Reads the state back; non-zero when it was restored. Default: 0.
    virtual char RestoreState(TTaggedInputStream& in, int32_t context, const char* name, int index);

protected:
    virtual ~TObject();
};

/// Makes a new default-constructed element for a container that restores its elements
/// from a stream; the argument is the context the container was given. A container
/// with a null factory cannot restore elements.
using TElementFactory = TObject* (*)(int32_t context);

/// Replaces the owned polymorphic object *target by a clone of `source`: a non-null
/// *target is deleted first and set to null; then, when `source` is non-null, *target
/// becomes source->CreateClone(nullptr).
void __AssignCloneVirtual(const TObject* source, TObject** target);
