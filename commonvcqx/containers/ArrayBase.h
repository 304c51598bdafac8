// commonvcqx/containers/ArrayBase.h
//
// TArrayBase: a growable array of TObject pointers (one pointer per slot of a
// TSlotSequence). Comparing, cloning, deleting and persisting go through the elements'
// TObject operations, with the array's compare mode passed to every Compare. An owning
// array (the default) deletes its elements when it is cleared or destroyed.
//
//   TArrayBase takes;                     // owning, grows by 20 slots
//   takes.InsertInSortedArray(new TTake(3));
//   int at;
//   TTake probe(3);
//   TObject* hit = takes.BinaryFindEqual(&probe, &at);
//
// Every order decision calls X.Compare(Y) and reads a negative result as "X first";
// which side is X is fixed per operation (binary searches and AddUnique: the probe;
// linear searches and the sort: the element), so element classes whose Compare is not
// antisymmetric see the same calls every time. Indices are not checked.
#pragma once

#include <commonvcqx/containers/SlotSequence.h>

#include <cstdint>

class TArrayBase : public TSlotSequence {
public:
    explicit TArrayBase(int initialSize = 20, int expansionSize = 20, char ownsElements = 1,
                        TElementFactory factory = nullptr);
    /// Same slot parameters, flags, factory and compare mode; the elements are clones.
    TArrayBase(const TArrayBase& other);
    TArrayBase& operator=(const TArrayBase& other) {
        Assign(other, nullptr);
        return *this;
    }
    /// Clear(): an owning array deletes its elements, last to first.
    ~TArrayBase() override;

    // Access.
    TObject* operator[](int32_t i) const noexcept { return Slot(i); }
    TObject* At(int32_t i) const noexcept { return Slot(i); }
    TObject* GetAt(int32_t i) const noexcept { return Slot(i); }
    TObject* First() const noexcept { return Slot(0); }
    TObject* GetFirst() const noexcept { return Slot(0); }
    TObject* Last() const noexcept { return Slot(m_count - 1); }
    TObject* GetLast() const noexcept { return Slot(m_count - 1); }
    /// The slot just past the last element; defined only when capacity exceeds count.
    TObject* End() const noexcept { return Slot(m_count); }
    TObject* GetEnd() const noexcept { return Slot(m_count); }

    // Insertion; each returns the element.
    TObject* Insert(TObject* obj, int32_t index);
    TObject* Prepend(TObject* obj) { return Insert(obj, 0); }
    TObject* Add(TObject* obj) { return Insert(obj, m_count); }
    TObject* Append(TObject* obj) { return Insert(obj, m_count); }
    TObject* Push(TObject* obj) { return Insert(obj, m_count); }
    TArrayBase& operator+=(TObject* obj) {
        Insert(obj, m_count);
        return *this;
    }
    /// Inserts before the first element strictly greater; equal ones keep insertion
    /// order. Returns the index used.
    int32_t InsertInSortedArray(TObject* obj);
    /// Returns the first equal element already present (deleting `obj` when the array
    /// owns its elements), or inserts `obj` in sorted position and returns it.
    TObject* AddUnique(TObject* obj);

    // Removal.
    TObject* Pop() noexcept;
    TObject* CutDetach(int32_t index) noexcept;
    /// Removes the element and deletes it, whatever the ownership.
    void CutDelete(int32_t index);
    void CutRange(int32_t start, int32_t n, char deleteThem);
    /// Stores `obj` at `index`; the old element is deleted when the array owns it.
    TObject* Replace(TObject* obj, int32_t index);
    /// Owning: DeleteAll(1); otherwise the buffer is released, the elements kept.
    void Clear();
    /// Deletes every element, last to first; the count becomes 0. The buffer is
    /// released when `freeMemory` is set and kept otherwise.
    void DeleteAll(char freeMemory);

    // Whole arrays. Clones are made by CreateClone(context).
    void Assign(const TArrayBase& other, void* context);
    void Insert(const TArrayBase& other, int32_t index, void* context);
    void Append(const TArrayBase& other, void* context) { Insert(other, m_count, context); }
    TArrayBase& operator+=(const TArrayBase& other) {
        Insert(other, m_count, nullptr);
        return *this;
    }
    /// Takes over other's pointers at `index` (no cloning); other ends empty.
    void Absorb(TArrayBase& other, int32_t index);
    void AbsorbAndSort(TArrayBase& other);
    void SwapWith(TArrayBase& other) noexcept;

    // Order.
    /// Quicksort, not stable; leaves the sorted mark alone.
    void Sort();
    char IsSorted() const;
    char IsSortedBackwards() const;
    /// Takes the element at `from` out and puts it at `to`.
    void MoveAt(int32_t from, int32_t to);

    // Searches. `index` may be null; it receives -1 when nothing is found.
    char HasElement(const TObject* obj) const noexcept;
    TObject* LinearFindEqual(const TObject* probe, int32_t* index = nullptr) const;
    TObject* LinearFindSmallest(int32_t* index = nullptr) const;
    TObject* LinearFindGreatest(int32_t* index = nullptr) const;
    TObject* LinearFindClosestSmaller(const TObject* probe, int32_t* index = nullptr) const;
    TObject* LinearFindEqualOrSmaller(const TObject* probe, int32_t* index = nullptr) const;
    TObject* LinearFindClosestGreater(const TObject* probe, int32_t* index = nullptr) const;
    TObject* LinearFindEqualOrGreater(const TObject* probe, int32_t* index = nullptr) const;
    TObject* BinaryFindEqual(const TObject* probe, int32_t* index = nullptr) const;
    TObject* BinaryFindEqualOrGreater(const TObject* probe, int32_t* index = nullptr) const;
    TObject* BinaryFindClosestGreater(const TObject* probe, int32_t* index = nullptr) const;
    TObject* BinaryFindClosestSmaller(const TObject* probe, int32_t* index = nullptr) const;
    TObject* BinaryFindEqualOrSmaller(const TObject* probe, int32_t* index = nullptr) const;

    // Predicates, in index order (FindLastThat: last to first).
    void ForEach(void (*fn)(TObject&, void*), void* data);
    TObject* FindFirstThat(char (*test)(const TObject&, const void*), const void* data,
                           int32_t* index = nullptr) const;
    TObject* FindLastThat(char (*test)(const TObject&, const void*), const void* data,
                          int32_t* index = nullptr) const;

    void SetCompareMode(int mode) noexcept { m_compareMode = mode; }
    int GetCompareMode() const noexcept { return m_compareMode; }

    /// Writes the count as "Siz" and each element as "E" i inside the group (name, index).
    void WriteState(TTaggedOutputStream& out, int32_t context, const char* name, int index) const;
    /// Appends the elements stored under (name, index), made by the element factory;
    /// false (array unchanged) when the group is missing. Restoring ends at the first
    /// element that is absent or fails (that element is deleted); with no factory no
    /// element is made. The stream is left in the group it was in.
    char RestoreState(TTaggedInputStream& in, int32_t context, const char* name, int index);

private:
    TObject* Slot(int32_t i) const noexcept { return static_cast<TObject**>(FirstSlot())[i]; }
    TObject** Slots() const noexcept { return static_cast<TObject**>(FirstSlot()); }
    TObject* Found(int32_t i, int32_t* index) const noexcept {
        if (index) *index = i;
        return i >= 0 ? Slot(i) : nullptr;
    }
    /// Index of an element equal to probe, or -1 with `following` the first greater one.
    int32_t BinarySearch(const TObject* probe, int32_t& following) const;
    void QuickSort(int32_t lo, int32_t hi);

    int m_compareMode;
};

/// Same array, or the same count and every pair at one index comparing 0 (element i of
/// `a` asked about element i of `b`).
char AreEqual(const TArrayBase& a, const TArrayBase& b, int compareMode);
