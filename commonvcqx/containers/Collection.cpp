// The containers' common root.
#include <commonvcqx/containers/Collection.h>

#include <utility>

TCollection::~TCollection() = default;

void TCollection::SwapWith(TCollection& other) noexcept {
    std::swap(m_factory, other.m_factory);
    const uint32_t mine = m_flags & kAllFlags;
    m_flags = (m_flags & ~kAllFlags) | (other.m_flags & kAllFlags);
    other.m_flags = (other.m_flags & ~kAllFlags) | mine;
    std::swap(m_count, other.m_count);
}

void TCollectionOfPointers::SwapWith(TCollectionOfPointers& other) noexcept {
    TCollection::SwapWith(other);
    std::swap(m_deleter, other.m_deleter);
    std::swap(m_comparer, other.m_comparer);
    std::swap(m_cloner, other.m_cloner);
}
