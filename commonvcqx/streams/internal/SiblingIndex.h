// commonvcqx/streams/internal/SiblingIndex.h
//
// TSiblingIndex: the children of one large group of a tagged block by stored name, in
// chain order, for lookups that would otherwise walk the chain. It holds offsets only,
// so it stays right while a writer's block moves; the stream adds nodes as far as it
// has checked the chain and marks where a damaged node ends it.
//
//   TSiblingIndex index;
//   index.Add(base, node, nameOffset, length);
//   uint32_t hit = index.FindAfter(base, "E12", 3, after);   // 0 when none
#pragma once

#include <cstdint>
#include <vector>

namespace cvq::detail {

class TSiblingIndex {
public:
    /// The last node added, 0 while none.
    uint32_t GetLast() const noexcept { return m_last; }
    /// The chain goes on past GetLast() with a node that fails the checks.
    bool IsDamaged() const noexcept { return m_damaged; }
    void SetDamaged() noexcept { m_damaged = true; }

    /// Appends the node whose stored name of `length` characters lies at `nameOffset`
    /// in the block at `base`. Nodes come in chain order, so their offsets rise.
    void Add(const char* base, uint32_t node, uint32_t nameOffset, uint32_t length);
    /// The first node after offset `after` whose stored name is the `length`
    /// characters of `name`; names are compared in the block at `base`. 0 when none.
    uint32_t FindAfter(const char* base, const char* name, uint32_t length,
                       uint32_t after) const noexcept;

private:
    struct TEntry {
        uint32_t node;
        uint32_t name;    ///< offset of the stored name
        uint32_t length;  ///< of the stored name
        uint32_t hash;
        int32_t nextSame;  ///< the next entry of the same name, -1 at the last
    };
    struct TSlot {
        int32_t first = -1;  ///< -1: empty
        int32_t last = -1;
    };

    static uint32_t Hash(const char* name, uint32_t length) noexcept;
    /// The slot holding `name`, or the empty slot where it belongs.
    uint32_t SlotOf(const char* base, const char* name, uint32_t length,
                    uint32_t hash) const noexcept;
    void Grow();

    std::vector<TEntry> m_entries;
    std::vector<TSlot> m_slots;  ///< a power of two, at most half full
    uint32_t m_last = 0;
    bool m_damaged = false;
};

}  // namespace cvq::detail
