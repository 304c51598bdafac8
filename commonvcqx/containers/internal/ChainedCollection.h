// commonvcqx/containers/internal/ChainedCollection.h
//
// TChainedCollection: what both double lists are made of. A collection whose elements
// (or the nodes holding them) stand in one chain of the list engine, and the operations
// that both lists do alike: clearing, their order (sorting, the sorted checks,
// absorbing in sorted order) and the chain steps under splicing and splitting.
//
//   class TDoubleList
//       : public cvq::detail::TChainedCollection<TDoubleList, TCollection, TLinks> {
//       friend TChainedCollection;
//       int CompareNodes(const TListElement& a, const TListElement& b) const;
//   };
//
// The list gives CompareNodes(a, b), a's comparison with b (a is always the receiver,
// as each operation has always asked), DeleteAll and DetachAll. Every node stays in one
// of the lists when a comparison throws. The collection's count, the one callers read,
// follows the chain's after every change of membership (SyncCount): counting through a
// reference would tie a list to its address, and value arrays move lists as raw bytes.
#pragma once

#include <commonvcqx/base/IntrusiveList.h>
#include <commonvcqx/containers/Collection.h>

namespace cvq::detail {

template <class TList, class TBase, class TLinks>
class TChainedCollection : public TBase {
public:
    using TNode = typename TLinks::TElement;

    /// Owning: DeleteAll; otherwise DetachAll.
    void Clear() {
        if (this->ShouldDeleteElements())
            Self().DeleteAll();
        else
            Self().DetachAll();
    }

    /// Stable merge sort (count/2 first, then the rest, then the merge); the sorted
    /// state is set once the list is sorted.
    void Sort() {
        m_chain.Sort(Before());
        this->m_flags |= TCollection::kSortedState;
    }
    /// No element compares above the next one.
    char IsSorted() const { return m_chain.IsSorted(Before()); }
    /// No element compares below the next one.
    char IsSortedBackwards() const {
        return m_chain.IsSorted(
            [this](const TNode& a, const TNode& b) { return Compare(b, a) < 0; });
    }
    /// Merges when both lists carry the sorted state: walking this list, each of other's
    /// elements goes before the first one that compares above it, so this list's equal
    /// elements come first. Otherwise each of other's elements, from its first, goes
    /// before the first element it compares below. other ends empty.
    void AbsorbAndSort(TList& other) {
        if (&other == this) return;
        if (this->m_flags & other.m_flags & TCollection::kSortedState) {
            TNode* second = other.m_chain.First();
            AbsorbChain(other, nullptr);  // all across first: a throwing merge loses none
            m_chain.MergeFrom(second, Before());
            return;
        }
        while (TNode* q = other.m_chain.First()) {
            TNode* pos = SortedPlace(*q);
            other.m_chain.Unlink(*q);
            other.SyncCount();
            m_chain.InsertBefore(*q, pos);
            SyncCount();
        }
    }
    void Reverse() noexcept { m_chain.Reverse(); }

protected:
    using TBase::TBase;
    /// The base's state; the chain starts empty for the list to fill.
    TChainedCollection(const TChainedCollection& other) noexcept : TBase(other) {}
    /// The base's state; the list has emptied its chain.
    TChainedCollection& operator=(const TChainedCollection& other) noexcept {
        TBase::operator=(other);
        return *this;
    }

    void SyncCount() noexcept { this->m_count = m_chain.Count(); }

    void SwapWith(TChainedCollection& other) noexcept {
        TBase::SwapWith(other);
        m_chain.SwapWith(other.m_chain);
    }

    /// Splices other's whole chain in before pos (null: at the end); other ends empty.
    void AbsorbChain(TChainedCollection& other, TNode* pos) noexcept {
        if (&other == this) return;
        m_chain.Splice(pos, other.m_chain);
        SyncCount();
        other.SyncCount();
    }

    /// Moves the nodes from `at` to the last to other, which is empty.
    void SplitChain(TChainedCollection& other, TNode& at) noexcept {
        m_chain.Split(at, other.m_chain);
        SyncCount();
        other.SyncCount();
    }

    /// The first node that e compares below (null: none), where sorted insertion puts e.
    TNode* SortedPlace(const TNode& e) const {
        return m_chain.FindFirst([this, &e](const TNode& x) { return Compare(e, x) < 0; });
    }

    TIntrusiveList<TLinks> m_chain;

private:
    TList& Self() noexcept { return static_cast<TList&>(*this); }
    int Compare(const TNode& a, const TNode& b) const {
        return static_cast<const TList&>(*this).CompareNodes(a, b);
    }
    // The engine's order: a before b when b compares above a.
    auto Before() const {
        return [this](const TNode& a, const TNode& b) { return Compare(b, a) > 0; };
    }
};

}  // namespace cvq::detail
