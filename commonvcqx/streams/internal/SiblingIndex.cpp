#include <commonvcqx/streams/internal/SiblingIndex.h>

#include <cstring>

namespace cvq::detail {

uint32_t TSiblingIndex::Hash(const char* name, uint32_t length) noexcept {
    // FNV-1a: names are short, and mostly differ in their last digits.
    uint32_t hash = 2166136261u;
    for (uint32_t i = 0; i < length; ++i) hash = (hash ^ uint8_t(name[i])) * 16777619u;
    return hash;
}

uint32_t TSiblingIndex::SlotOf(const char* base, const char* name, uint32_t length,
                               uint32_t hash) const noexcept {
    const uint32_t mask = uint32_t(m_slots.size()) - 1;
    for (uint32_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const int32_t first = m_slots[slot].first;
        if (first < 0) return slot;
        const TEntry& entry = m_entries[size_t(first)];
        if (entry.hash == hash && entry.length == length &&
            std::memcmp(base + entry.name, name, length) == 0)
            return slot;
    }
}

void TSiblingIndex::Grow() {
    std::vector<TSlot> old;
    old.swap(m_slots);
    m_slots.assign(old.empty() ? 16 : old.size() * 2, TSlot());
    const uint32_t mask = uint32_t(m_slots.size()) - 1;
    // Every old slot holds a name of its own: only its hash is needed to place it.
    for (const TSlot& slot : old) {
        if (slot.first < 0) continue;
        uint32_t at = m_entries[size_t(slot.first)].hash & mask;
        while (m_slots[at].first >= 0) at = (at + 1) & mask;
        m_slots[at] = slot;
    }
}

void TSiblingIndex::Add(const char* base, uint32_t node, uint32_t nameOffset, uint32_t length) {
    if ((m_entries.size() + 1) * 2 > m_slots.size()) Grow();
    const uint32_t hash = Hash(base + nameOffset, length);
    const int32_t at = int32_t(m_entries.size());
    m_entries.push_back({node, nameOffset, length, hash, -1});
    TSlot& slot = m_slots[SlotOf(base, base + nameOffset, length, hash)];
    if (slot.first < 0)
        slot.first = at;
    else
        m_entries[size_t(slot.last)].nextSame = at;
    slot.last = at;
    m_last = node;
}

uint32_t TSiblingIndex::FindAfter(const char* base, const char* name, uint32_t length,
                                  uint32_t after) const noexcept {
    if (m_slots.empty()) return 0;
    int32_t at = m_slots[SlotOf(base, name, length, Hash(name, length))].first;
    while (at >= 0 && m_entries[size_t(at)].node <= after) at = m_entries[size_t(at)].nextSame;
    return at >= 0 ? m_entries[size_t(at)].node : 0;
}

}  // namespace cvq::detail
