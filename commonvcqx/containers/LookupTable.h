// commonvcqx/containers/LookupTable.h
//
// TLookupTableImp: a small two-way table of pointer pairs, searched linearly from the
// first pair. Pairs may repeat; every lookup and removal takes the first match.
//
//   TLookupTableImp owners;
//   owners.Add(window, document);
//   void* doc = owners.Find1(window);
//   void* win = owners.Find2(document);
#pragma once

#include <commonvcqx/containers/SlotSequence.h>

#include <cstdint>

class TLookupTableImp {
public:
    explicit TLookupTableImp(int initialSize = 20, int expansionSize = 20);
    /// The copy's buffer holds exactly the pairs.
    TLookupTableImp(const TLookupTableImp& other);
    TLookupTableImp& operator=(const TLookupTableImp& other);
    ~TLookupTableImp() = default;

    void Add(const void* first, const void* second);
    /// The second pointer of the first pair whose first pointer is `first`, else null.
    void* Find1(const void* first) const noexcept;
    /// The first pointer of the first pair whose second pointer is `second`, else null.
    void* Find2(const void* second) const noexcept;
    char Remove(const void* first, const void* second) noexcept;
    char Remove1(const void* first) noexcept;
    char Remove2(const void* second) noexcept;
    int32_t GetCount() const noexcept { return m_pairs.GetNumBusySlots(); }

private:
    struct TPair {
        const void* first;
        const void* second;
    };
    const TPair* Pairs() const noexcept { return static_cast<const TPair*>(m_pairs.FirstSlot()); }
    char RemoveAt(int32_t index) noexcept;
    void CopyFrom(const TLookupTableImp& other);

    TSlotSequence m_pairs;
};
