// commonvcqx/base/IntrusiveList.h
//
// cvq::TIntrusiveList: the library's one doubly linked list engine. Elements carry their
// own links and a link policy says where they are, so one element type can stand in
// several lists at once (one pair of links for each). The engine keeps the first and
// the last element and the count; it never allocates. Linking, unlinking, moving and
// splicing take constant time; splitting walks the shorter part, the stable merge sort
// takes n log n comparisons with a recursion log n deep, and every other whole-list
// operation is linear.
//
//   struct TPageSet { TPageSet* nextFree; TPageSet* prevFree; uintptr_t base; };
//   using TFreeLinks = cvq::TMemberLinks<TPageSet, &TPageSet::nextFree, &TPageSet::prevFree>;
//   cvq::TIntrusiveList<TFreeLinks> free;
//   free.PushBack(pageSet);
//   free.Sort([](const TPageSet& a, const TPageSet& b) { return a.base < b.base; });
//
// A policy of one's own names `TElement` and has static Next(e) and Prev(e) giving
// references to the two links. An element named as a position or given to Unlink must
// be in this list; one given to a linking operation must be in none. A null position
// is one past either end: InsertBefore null links at the back, InsertAfter null at the
// front. Comparators and predicates may throw: the chain stays whole, with every
// element in it. Not locked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

namespace cvq {

template <class T, T* T::*kNext, T* T::*kPrev>
struct TMemberLinks {
    using TElement = T;
    static T*& Next(T& e) noexcept { return e.*kNext; }
    static T*& Prev(T& e) noexcept { return e.*kPrev; }
};

/// Selects the list constructor that leaves the list's state untouched.
struct TKeepList {};
inline constexpr TKeepList kKeepList{};

template <class TLinks>
class TIntrusiveList {
public:
    using TElement = typename TLinks::TElement;

    constexpr TIntrusiveList() noexcept : m_first(nullptr), m_last(nullptr), m_count(0) {}
    /// Leaves the list as it is: for a list in static storage that is in use before its
    /// owner's constructor runs (the heaps), which must not wipe it.
    explicit TIntrusiveList(TKeepList) noexcept {}
    // A chain has one owner; Splice and SwapWith hand it over.
    TIntrusiveList(const TIntrusiveList&) = delete;
    TIntrusiveList& operator=(const TIntrusiveList&) = delete;

    TElement* First() const noexcept { return m_first; }
    TElement* Last() const noexcept { return m_last; }
    int32_t Count() const noexcept { return m_count; }
    bool IsEmpty() const noexcept { return m_first == nullptr; }
    static TElement* Next(TElement& e) noexcept { return TLinks::Next(e); }
    static TElement* Prev(TElement& e) noexcept { return TLinks::Prev(e); }

    /// Walks from the first element: a negative index gives the first, one past the
    /// last gives null.
    TElement* At(int32_t index) const noexcept {
        TElement* e = m_first;
        while (index-- > 0 && e) e = TLinks::Next(*e);
        return e;
    }

    // ---- Linking -------------------------------------------------------------------

    void PushFront(TElement& e) noexcept { Link(e, nullptr, m_first); }
    void PushBack(TElement& e) noexcept { Link(e, m_last, nullptr); }
    /// A null position links e at the back.
    void InsertBefore(TElement& e, TElement* pos) noexcept {
        Link(e, pos ? TLinks::Prev(*pos) : m_last, pos);
    }
    /// A null position links e at the front.
    void InsertAfter(TElement& e, TElement* pos) noexcept {
        Link(e, pos, pos ? TLinks::Next(*pos) : m_first);
    }
    /// Takes e out; its links are cleared.
    void Unlink(TElement& e) noexcept {
        Drop(e);
        TLinks::Next(e) = TLinks::Prev(e) = nullptr;
    }
    /// Moves e, which is in this list, before pos (null: to the back); pos is not e.
    void MoveBefore(TElement& e, TElement* pos) noexcept {
        Drop(e);
        InsertBefore(e, pos);
    }
    /// e was moved in memory, links and all, from where it stood in this list: its
    /// neighbours and the ends point to its new place.
    void Relocated(TElement& e) noexcept {
        (TLinks::Prev(e) ? TLinks::Next(*TLinks::Prev(e)) : m_first) = &e;
        (TLinks::Next(e) ? TLinks::Prev(*TLinks::Next(e)) : m_last) = &e;
    }
    /// Forgets every element; their links are left as they are.
    void Clear() noexcept {
        m_first = m_last = nullptr;
        m_count = 0;
    }

    // ---- Whole chains --------------------------------------------------------------

    /// Moves other's whole chain in before pos (null: at the back); other ends empty.
    void Splice(TElement* pos, TIntrusiveList& other) noexcept {
        if (&other == this || !other.m_first) return;
        TElement* before = pos ? TLinks::Prev(*pos) : m_last;
        TLinks::Prev(*other.m_first) = before;
        TLinks::Next(*other.m_last) = pos;
        (before ? TLinks::Next(*before) : m_first) = other.m_first;
        (pos ? TLinks::Prev(*pos) : m_last) = other.m_last;
        m_count += other.m_count;
        other.Clear();
    }

    /// Moves the elements from `at` to the last into rest, which must be empty. The
    /// count of each part comes from walking the shorter one.
    void Split(TElement& at, TIntrusiveList& rest) noexcept {
        int32_t steps = 0;
        TElement* kept = m_first;
        TElement* moved = &at;
        while (kept != &at && moved) {
            kept = TLinks::Next(*kept);
            moved = TLinks::Next(*moved);
            ++steps;
        }
        Cut(at, kept == &at ? steps : m_count - steps, rest);
    }

    void SwapWith(TIntrusiveList& other) noexcept {
        std::swap(m_first, other.m_first);
        std::swap(m_last, other.m_last);
        std::swap(m_count, other.m_count);
    }

    // ---- Order ---------------------------------------------------------------------
    // less(a, b) is true when a must stand before b. Equal elements keep their order:
    // the merges ask less(later, earlier) and move the later one forward only then.

    /// Merges other, sorted by less, into this list, sorted too; of equal elements this
    /// list's come first. other ends empty.
    template <class TLess>
    void Merge(TIntrusiveList& other, TLess less) {
        if (&other == this || !other.m_first) return;
        TElement* second = other.m_first;
        Splice(nullptr, other);
        MergeFrom(second, less);
    }

    /// Merges the two sorted runs of this list, the one before `second` and the one
    /// from `second` to the last (null or the first: nothing to merge).
    template <class TLess>
    void MergeFrom(TElement* second, TLess less) {
        if (second && second != m_first) MergeRuns(m_first, second, nullptr, less);
    }

    /// Stable top-down merge sort: the first count/2 elements and the rest are sorted,
    /// then merged. Nothing is allocated.
    template <class TLess>
    void Sort(TLess less) {
        if (m_count >= 2) SortRun(m_first, m_count, less);
    }

    /// True when no element should stand before the one preceding it.
    template <class TLess>
    bool IsSorted(TLess less) const {
        for (TElement* e = m_first; e && TLinks::Next(*e); e = TLinks::Next(*e))
            if (less(*TLinks::Next(*e), *e)) return false;
        return true;
    }

    /// Exchanges the places of a and b.
    void Exchange(TElement& a, TElement& b) noexcept {
        if (&a == &b) return;
        TElement* afterA = TLinks::Next(a);
        TElement* afterB = TLinks::Next(b);
        if (afterA == &b) {
            MoveBefore(b, &a);
        } else if (afterB == &a) {
            MoveBefore(a, &b);
        } else {
            MoveBefore(a, afterB);
            MoveBefore(b, afterA);
        }
    }

    void Reverse() noexcept {
        for (TElement* e = m_first; e;) {
            TElement* next = TLinks::Next(*e);
            std::swap(TLinks::Next(*e), TLinks::Prev(*e));
            e = next;
        }
        std::swap(m_first, m_last);
    }

    /// Shuffles in linear time into the order of the walk from the last element that
    /// exchanges the element at draw(count - i), counted from the first, with the
    /// current one and then moves on to the current one's predecessor from before the
    /// exchange: one step and draw for each element, or until the walk runs off the
    /// front. draw(n) gives a number below n; scratch holds at least Count() slots.
    template <class TDraw>
    void Shuffle(std::span<TElement*> scratch, TDraw draw) {
        const int32_t n = m_count;
        int32_t i = 0;
        for (TElement* e = m_first; e; e = TLinks::Next(*e)) scratch[size_t(i++)] = e;
        int32_t current = n - 1;
        for (i = 0; i < n && current >= 0; ++i) {
            const int32_t k = int32_t(draw(uint32_t(n - i)));
            std::swap(scratch[size_t(k)], scratch[size_t(current)]);
            // An exchange with the direct predecessor brings it to the current place.
            if (k != current - 1) --current;
        }
        Relink(scratch.first(size_t(n)));
    }

    // ---- Searching and visiting ----------------------------------------------------

    /// The first element from the front that pred accepts, or null.
    template <class TPred>
    TElement* FindFirst(TPred pred) const {
        for (TElement* e = m_first; e; e = TLinks::Next(*e))
            if (pred(*e)) return e;
        return nullptr;
    }

    /// The first element from the back that pred accepts, or null.
    template <class TPred>
    TElement* FindLast(TPred pred) const {
        for (TElement* e = m_last; e; e = TLinks::Prev(*e))
            if (pred(*e)) return e;
        return nullptr;
    }

    /// The index of the first element pred accepts, or -1.
    template <class TPred>
    int32_t IndexOfFirst(TPred pred) const {
        int32_t i = 0;
        for (TElement* e = m_first; e; e = TLinks::Next(*e), ++i)
            if (pred(*e)) return i;
        return -1;
    }

    /// Calls fn(element) from the first; the next element is taken before each call,
    /// so fn may unlink (or free) the element it is given.
    template <class TFn>
    void ForEach(TFn fn) {
        for (TElement* e = m_first; e;) {
            TElement* next = TLinks::Next(*e);
            fn(*e);
            e = next;
        }
    }

private:
    void Link(TElement& e, TElement* before, TElement* after) noexcept {
        TLinks::Prev(e) = before;
        TLinks::Next(e) = after;
        (before ? TLinks::Next(*before) : m_first) = &e;
        (after ? TLinks::Prev(*after) : m_last) = &e;
        ++m_count;
    }

    // Unlinks e from its neighbours, leaving e's own links as they were.
    void Drop(TElement& e) noexcept {
        TElement* before = TLinks::Prev(e);
        TElement* after = TLinks::Next(e);
        (before ? TLinks::Next(*before) : m_first) = after;
        (after ? TLinks::Prev(*after) : m_last) = before;
        --m_count;
    }

    // at and the elements after it go to rest; `kept` elements stand before at.
    void Cut(TElement& at, int32_t kept, TIntrusiveList& rest) noexcept {
        TElement* before = TLinks::Prev(at);
        rest.m_first = &at;
        rest.m_last = m_last;
        rest.m_count = m_count - kept;
        TLinks::Prev(at) = nullptr;
        (before ? TLinks::Next(*before) : m_first) = nullptr;
        m_last = before;
        m_count = kept;
    }

    // Links the chain anew in the order of `order`, which holds exactly its elements.
    void Relink(std::span<TElement*> order) noexcept {
        TElement* before = nullptr;
        for (TElement* e : order) {
            TLinks::Prev(*e) = before;
            (before ? TLinks::Next(*before) : m_first) = e;
            before = e;
        }
        if (before) TLinks::Next(*before) = nullptr;
        m_last = before;
    }

    // Sorts the n elements from `first` where they stand; returns the first of them
    // afterwards and the element after them (unchanged).
    template <class TLess>
    std::pair<TElement*, TElement*> SortRun(TElement* first, int32_t n, TLess& less) {
        if (n == 1) return {first, TLinks::Next(*first)};
        auto [left, middle] = SortRun(first, n / 2, less);
        auto [right, end] = SortRun(middle, n - n / 2, less);
        return {MergeRuns(left, right, end, less), end};
    }

    // Merges the sorted run from `left` to `right` with the sorted run from `right` to
    // `end`, moving elements of the second forward; returns the first of the result.
    template <class TLess>
    TElement* MergeRuns(TElement* left, TElement* right, TElement* end, TLess& less) {
        TElement* first = left;
        while (right != end && left != right) {
            if (less(*right, *left)) {
                TElement* next = TLinks::Next(*right);
                MoveBefore(*right, left);
                if (left == first) first = right;
                right = next;
            } else {
                left = TLinks::Next(*left);
            }
        }
        return first;
    }

    // No default initializers: the TKeepList constructor must not touch them.
    TElement* m_first;
    TElement* m_last;
    int32_t m_count;
};

}  // namespace cvq
