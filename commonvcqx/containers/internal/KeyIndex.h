// commonvcqx/containers/internal/KeyIndex.h
//
// TKeyIndex: an open-addressed table (linear probing, power-of-two size, at most three
// quarters full) from a 32-bit key tag to the elements of a hash map, kept beside the
// map's buckets. A lookup reads one table line and then only the element it names,
// where a bucket walk reads every element standing before the one it looks for: with
// a weak hash, runs are long and each element is a memory access of its own. The tag
// must tell keys apart far better than the map's hash does.
//
// An index holds each key once. When an element comes whose key is already there, or
// the table cannot grow, the index gives up (IsUsable false) until it is cleared, and
// the map's lookups walk the buckets meanwhile.
#pragma once

#include <cstdint>

class THashableElement;

namespace cvq::detail {

class TKeyIndex {
public:
    /// Whether two elements hold the same key.
    using TSameKey = bool (*)(const THashableElement&, const THashableElement&) noexcept;

    explicit TKeyIndex(TSameKey sameKey) noexcept : m_sameKey(sameKey) {}
    TKeyIndex(const TKeyIndex&) = delete;
    TKeyIndex& operator=(const TKeyIndex&) = delete;
    ~TKeyIndex();

    /// False once the index gave up: Find's answer means nothing then.
    bool IsUsable() const noexcept { return m_usable; }
    void Add(THashableElement& e, uint32_t tag) noexcept;
    /// `tag` is the one `e` was added with.
    void Remove(const THashableElement& e, uint32_t tag) noexcept;
    /// Empty and usable again; the table keeps its size.
    void Clear() noexcept;

    /// The element under `tag` that `matches` accepts, or null.
    template <class TMatch>
    THashableElement* Find(uint32_t tag, TMatch&& matches) const {
        if (!m_entries) return nullptr;
        for (uint32_t i = Home(tag);; i = (i + 1) & m_mask) {
            const TEntry& entry = m_entries[i];
            if (!entry.element) return nullptr;
            if (entry.tag == tag && matches(*entry.element)) return entry.element;
        }
    }

private:
    struct TEntry {
        THashableElement* element;  // null: a free entry
        uint32_t tag;
    };

    uint32_t Home(uint32_t tag) const noexcept { return (tag * 0x9E3779B9u) >> m_shift; }
    bool Grow() noexcept;
    void GiveUp() noexcept;

    TEntry* m_entries = nullptr;
    uint32_t m_mask = 0;  // entries - 1
    int m_shift = 32;     // 32 - log2(entries)
    uint32_t m_count = 0;
    bool m_usable = true;
    TSameKey m_sameKey;
};

}  // namespace cvq::detail
