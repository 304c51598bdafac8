// The pointer-pair table.
#include <commonvcqx/containers/LookupTable.h>

#include <cstring>

TLookupTableImp::TLookupTableImp(int initialSize, int expansionSize)
    : m_pairs(int(sizeof(TPair)), initialSize, expansionSize, 0, nullptr, nullptr) {}

TLookupTableImp::TLookupTableImp(const TLookupTableImp& other) : m_pairs(other.m_pairs, 0) {
    CopyFrom(other);
}

TLookupTableImp& TLookupTableImp::operator=(const TLookupTableImp& other) {
    if (&other != this) {
        m_pairs.Assign(other.m_pairs, 0);
        CopyFrom(other);
    }
    return *this;
}

void TLookupTableImp::CopyFrom(const TLookupTableImp& other) {
    const int32_t n = other.GetCount();
    if (n == 0) return;
    m_pairs.EnsureNumSlots(n);
    std::memcpy(m_pairs.FirstSlot(), other.m_pairs.FirstSlot(), m_pairs.GetRangeSize(n));
    m_pairs.SetNumBusySlots(n);
}

void TLookupTableImp::Add(const void* first, const void* second) {
    const TPair pair{first, second};
    m_pairs.InsertSlot(&pair, m_pairs.GetNumBusySlots());
}

void* TLookupTableImp::Find1(const void* first) const noexcept {
    for (int32_t i = 0; i < GetCount(); ++i)
        if (Pairs()[i].first == first) return const_cast<void*>(Pairs()[i].second);
    return nullptr;
}

void* TLookupTableImp::Find2(const void* second) const noexcept {
    for (int32_t i = 0; i < GetCount(); ++i)
        if (Pairs()[i].second == second) return const_cast<void*>(Pairs()[i].first);
    return nullptr;
}

char TLookupTableImp::RemoveAt(int32_t index) noexcept {
    m_pairs.CutSlots(index, 1);
    return 1;
}

char TLookupTableImp::Remove(const void* first, const void* second) noexcept {
    for (int32_t i = 0; i < GetCount(); ++i)
        if (Pairs()[i].first == first && Pairs()[i].second == second) return RemoveAt(i);
    return 0;
}

char TLookupTableImp::Remove1(const void* first) noexcept {
    for (int32_t i = 0; i < GetCount(); ++i)
        if (Pairs()[i].first == first) return RemoveAt(i);
    return 0;
}

char TLookupTableImp::Remove2(const void* second) noexcept {
    for (int32_t i = 0; i < GetCount(); ++i)
        if (Pairs()[i].second == second) return RemoveAt(i);
    return 0;
}
