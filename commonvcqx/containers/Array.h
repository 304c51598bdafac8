// commonvcqx/containers/Array.h
//
// TArray<T>: an array of T values held in the slots of a TSlotSequence (slot size =
// sizeof(T)), growing linearly in steps of the expansion size. The values are
// constructed and destroyed in place; the buffer moves them as raw bytes when it grows,
// so T must be relocatable that way (TString, pointers and plain records are).
//
//   TArray<TString> words;
//   words.Add("one");
//   words += TString("two");
//   for (int i = 0; i < words.GetCount(); ++i) Use(words[i]);
//   words.Clear();             // destroys the values, frees the buffer
#pragma once

#include <commonvcqx/containers/SlotSequence.h>

#include <new>
#include <utility>

template <class T>
class TArray : public TSlotSequence {
public:
    explicit TArray(int initialSize = 20, int expansionSize = 20, NH_Heap* heap = nullptr)
        : TSlotSequence(int(sizeof(T)), initialSize, expansionSize, 1, nullptr, heap) {}
    TArray(const TArray& other) : TSlotSequence(other, 0) { AppendValues(other); }
    TArray& operator=(const TArray& other) {
        if (&other != this) {
            Clear();
            TSlotSequence::Assign(other, 0);
            AppendValues(other);
        }
        return *this;
    }
    ~TArray() override { Clear(); }

    T& operator[](int32_t i) noexcept { return *Value(i); }
    const T& operator[](int32_t i) const noexcept { return *Value(i); }
    T& At(int32_t i) noexcept { return *Value(i); }
    const T& At(int32_t i) const noexcept { return *Value(i); }
    const T& GetAt(int32_t i) const noexcept { return *Value(i); }
    T& First() noexcept { return *Value(0); }
    T& Last() noexcept { return *Value(m_count - 1); }
    const T& GetFirst() const noexcept { return *Value(0); }
    const T& GetLast() const noexcept { return *Value(m_count - 1); }
    T* GetData() noexcept { return Value(0); }
    const T* GetData() const noexcept { return Value(0); }

    /// Appends a copy of `value` (growth by one slot, rounded); returns the stored one.
    T& Add(const T& value) { return Emplace(value); }
    /// Appends a value made from `args`; returns the stored one.
    template <class... TArgs>
    T& Emplace(TArgs&&... args) {
        if (m_count == m_capacity) {
            // The arguments may live in the buffer that is about to move.
            T value(std::forward<TArgs>(args)...);
            ResizeForOneMore();
            T* slot = ::new (SlotPtr(m_count)) T(std::move(value));
            ++m_count;
            return *slot;
        }
        T* slot = ::new (SlotPtr(m_count)) T(std::forward<TArgs>(args)...);
        ++m_count;
        return *slot;
    }
    T& Append(const T& value) { return Add(value); }
    T& Push(const T& value) { return Add(value); }
    TArray& operator+=(const T& value) {
        Add(value);
        return *this;
    }
    /// Inserts a copy of `value` at `index`, moving later values up.
    T& Insert(const T& value, int32_t index) {
        T copy(value);  // `value` may live in this array
        InsertSlot(nullptr, index);
        return *::new (SlotPtr(index)) T(std::move(copy));
    }
    /// Destroys n values from `start`; later ones move down.
    void Remove(int32_t start, int32_t n = 1) {
        for (int32_t i = start; i < start + n; ++i) Value(i)->~T();
        CutSlots(start, n);
    }
    /// Removes the last value.
    void Pop() { Remove(m_count - 1, 1); }
    /// Index of the first value equal to `value`, -1 if none.
    int32_t Find(const T& value) const {
        for (int32_t i = 0; i < m_count; ++i)
            if (*Value(i) == value) return i;
        return -1;
    }
    /// Destroys every value, first to last, and frees the buffer.
    void Clear() {
        for (int32_t i = 0; i < m_count; ++i) Value(i)->~T();
        m_count = 0;
        FreeMemory();
    }
    void SwapWith(TArray& other) noexcept { TSlotSequence::SwapWith(other); }

    T* begin() noexcept { return Value(0); }
    T* end() noexcept { return Value(m_count); }
    const T* begin() const noexcept { return Value(0); }
    const T* end() const noexcept { return Value(m_count); }

    // Byte copies would share what the values own: whole-array copies go through the
    // value's own copy instead.
    void Insert(const TSlotSequence&, int32_t, char) = delete;
    void Append(const TSlotSequence&) = delete;
    TArray& operator+=(const TSlotSequence&) = delete;
    void Assign(const TSlotSequence&, char) = delete;

private:
    T* Value(int32_t i) const noexcept { return static_cast<T*>(SlotPtr(i)); }
    void ResizeForOneMore() {
        AppendSlot();  // rounds the growth like every single insertion
        --m_count;
    }
    void AppendValues(const TArray& other) {
        EnsureNumSlots(other.m_count);
        for (int32_t i = 0; i < other.m_count; ++i) {
            ::new (SlotPtr(m_count)) T(*other.Value(i));
            ++m_count;
        }
    }
};
