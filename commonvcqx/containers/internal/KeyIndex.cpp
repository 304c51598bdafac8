// The key index: linear probing with backward-shift removal (no tombstones).
#include <commonvcqx/containers/internal/KeyIndex.h>
#include <commonvcqx/memory/Heap.h>

#include <cstring>

namespace cvq::detail {

namespace {

constexpr uint32_t kFirstSize = 16;

}  // namespace

TKeyIndex::~TKeyIndex() {
    NH_Heap::FreeMem(m_entries);
}

bool TKeyIndex::Grow() noexcept {
    const uint32_t size = m_entries ? (m_mask + 1) * 2 : kFirstSize;
    if (size == 0) return false;  // the table would pass 2^32 entries
    TEntry* entries = nullptr;
    try {
        entries = static_cast<TEntry*>(NH_Heap::Default().AllocArray(size, sizeof(TEntry), 1));
    } catch (...) {  // the heap's out-of-memory handler may throw
    }
    if (!entries) return false;
    TEntry* old = m_entries;
    const uint32_t oldSize = old ? m_mask + 1 : 0;
    m_entries = entries;
    m_mask = size - 1;
    m_shift = 32 - __builtin_ctz(size);
    for (uint32_t j = 0; j < oldSize; ++j) {
        if (!old[j].element) continue;
        uint32_t i = Home(old[j].tag);
        while (m_entries[i].element) i = (i + 1) & m_mask;
        m_entries[i] = old[j];
    }
    NH_Heap::FreeMem(old);
    return true;
}

void TKeyIndex::GiveUp() noexcept {
    NH_Heap::FreeMem(m_entries);
    m_entries = nullptr;
    m_mask = 0;
    m_shift = 32;
    m_count = 0;
    m_usable = false;
}

void TKeyIndex::Add(THashableElement& e, uint32_t tag) noexcept {
    if (!m_usable) return;
    const uint64_t size = m_entries ? uint64_t(m_mask) + 1 : 0;
    if ((uint64_t(m_count) + 1) * 4 > size * 3 && !Grow()) {
        GiveUp();
        return;
    }
    for (uint32_t i = Home(tag);; i = (i + 1) & m_mask) {
        TEntry& entry = m_entries[i];
        if (!entry.element) {
            entry = {&e, tag};
            ++m_count;
            return;
        }
        if (entry.tag == tag && m_sameKey(*entry.element, e)) {
            GiveUp();  // which of the two a lookup must find is the list's to say
            return;
        }
    }
}

void TKeyIndex::Remove(const THashableElement& e, uint32_t tag) noexcept {
    if (!m_entries) return;
    uint32_t hole = Home(tag);
    while (m_entries[hole].element != &e) {
        if (!m_entries[hole].element) return;
        hole = (hole + 1) & m_mask;
    }
    // Later entries of the cluster move back into the hole unless that would put them
    // before their home.
    for (uint32_t j = (hole + 1) & m_mask; m_entries[j].element; j = (j + 1) & m_mask) {
        const uint32_t home = Home(m_entries[j].tag);
        if (((j - home) & m_mask) >= ((j - hole) & m_mask)) {
            m_entries[hole] = m_entries[j];
            hole = j;
        }
    }
    m_entries[hole].element = nullptr;
    --m_count;
}

void TKeyIndex::Clear() noexcept {
    if (m_entries) std::memset(m_entries, 0, (size_t(m_mask) + 1) * sizeof(TEntry));
    m_count = 0;
    m_usable = true;
}

}  // namespace cvq::detail
