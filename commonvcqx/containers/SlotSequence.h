// commonvcqx/containers/SlotSequence.h
//
// TSlotSequence: a growable buffer of fixed-size slots, copied as raw bytes, living on
// an NH_Heap. It grows linearly, in whole steps of the expansion size, and shrinks only
// when asked (OptimizeSize, FreeMemory). No buffer exists until the first slot is
// needed. The count of TCollection is the number of busy slots.
//
//   TSlotSequence points(sizeof(TPoint), 20, 20, 0, nullptr, nullptr);
//   TPoint p{1, 2};
//   points.InsertSlot(&p, points.GetNumBusySlots());   // capacity 20, count 1
//
// Indices are not checked. Allocation failure throws the library's out-of-memory
// exception and leaves the sequence as it was.
#pragma once

#include <commonvcqx/containers/Collection.h>

#include <cstddef>
#include <cstdint>

class NH_Heap;

class TSlotSequence : public TCollection {
public:
    /// A null heap means the calling thread's default heap.
    explicit TSlotSequence(int slotSize, int initialSize = 20, int expansionSize = 20,
                           char ownsElements = 1, TElementFactory factory = nullptr,
                           NH_Heap* heap = nullptr);
    /// With copyData the new sequence gets a buffer of the source's capacity on the
    /// source's heap holding the source's bytes; without, it starts empty.
    TSlotSequence(const TSlotSequence& other, char copyData = 1);
    TSlotSequence& operator=(const TSlotSequence& other) {
        Assign(other, 1);
        return *this;
    }
    ~TSlotSequence() override;

    int32_t GetNumSlots() const noexcept { return m_capacity; }
    int32_t GetNumBusySlots() const noexcept { return m_count; }
    void SetNumBusySlots(int32_t n) noexcept { m_count = n; }
    void IncNumBusySlots() noexcept { ++m_count; }
    void DecNumBusySlots() noexcept { --m_count; }
    char IsFull() const noexcept { return m_count == m_capacity; }
    char HasAllocatedMemory() const noexcept { return m_buffer != nullptr; }
    NH_Heap* GetHeap() const noexcept { return m_heap; }
    uint32_t GetSlotSize() const noexcept { return m_slotSize; }
    int32_t GetExpansionSize() const noexcept { return m_expansionSize; }
    int32_t GetInitialSize() const noexcept { return m_initialSize; }

    void* SlotPtr(int32_t i) const noexcept { return m_buffer + size_t(i) * m_slotSize; }
    void* GetSlotPtr(int32_t i) const noexcept { return SlotPtr(i); }
    void* FirstSlot() const noexcept { return m_buffer; }
    void* GetFirstSlot() const noexcept { return m_buffer; }
    size_t GetRangeSize(int32_t n) const noexcept { return size_t(n) * m_slotSize; }

    /// The growth step in slots; values below 1 count as 1.
    void SetExpansionSize(int32_t n) noexcept { m_expansionSize = n; }
    /// Grows the buffer to exactly n slots when it holds fewer.
    void EnsureNumSlots(int32_t n);
    /// For n != 0: exactly n slots, all busy (their bytes are not set).
    void AllocateBusySlots(int32_t n);
    /// One more busy slot at the end (bytes not set); returns its address.
    void* AppendSlot();
    /// Opens a slot at `index`, fills it from `src` unless null; returns its address.
    void* InsertSlot(const void* src, int32_t index);
    void* FillSlot(int32_t index, const void* src);
    /// Opens other's count of slots at `index`; unless reserveOnly, copies other's busy
    /// slots there and raises the count. With reserveOnly the caller fills the opened
    /// slots and raises the count itself.
    void Insert(const TSlotSequence& other, int32_t index, char reserveOnly);
    void Append(const TSlotSequence& other) { Insert(other, m_count, 0); }
    TSlotSequence& operator+=(const TSlotSequence& other) {
        Append(other);
        return *this;
    }
    /// Copies other's slots in at `index`, then frees other's buffer.
    void Absorb(TSlotSequence& other, int32_t index);
    /// Removes n slots from `start`; later slots move down. The buffer stays.
    void CutSlots(int32_t start, int32_t n);
    /// Zero bytes over the busy slots; the count stays.
    void ClearAll();
    void FreeMemory();
    /// Shrinks the buffer to exactly the count (no buffer when empty).
    void OptimizeSize();

    /// The C library's quicksort over the busy slots.
    void Sort(int (*compare)(const void*, const void*));
    void Reverse();
    void InverseOrder();
    /// Reproducible for a positive seed: for i from 0 to count-2, swaps the slot drawn
    /// below count-i with slot count-1-i.
    void Shuffle(int seed);
    void SwapWith(TSlotSequence& other) noexcept;
    /// The root state from other with count 0, other's slot parameters, this heap; the
    /// old buffer is freed and, with copyData, replaced by a copy of other's.
    void Assign(const TSlotSequence& other, char copyData);

protected:
    void SwapSlots(int32_t a, int32_t b) noexcept;

    char* m_buffer;
    int32_t m_capacity;
    int32_t m_expansionSize;
    int32_t m_initialSize;
    uint32_t m_slotSize;
    NH_Heap* m_heap;

private:
    void ResizeSlotBuffer(int32_t n, char round);
};

/// Same count and the same bytes over count x slot size (of the first).
bool operator==(const TSlotSequence& a, const TSlotSequence& b);
