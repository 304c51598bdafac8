// commonvcqx/containers/DoubleListOfPointers.h
//
// TDoubleListOfPointers: a doubly linked list of arbitrary pointers, each held in a
// node of the list's own (allocated per element, freed when it leaves). Deleting,
// comparing and cloning go through the deleter, comparer and cloner of
// TCollectionOfPointers. Elements are named by pointer value: every operation that
// names one walks from the first node to the first node holding it.
//
//   TDoubleListOfPointers names(1);
//   names.SetDeleter([](void* p) { delete[] static_cast<char*>(p); });
//   names.SetComparer([](const void* a, const void* b) {
//       return int32_t(strcmp(static_cast<const char*>(a), static_cast<const char*>(b)));
//   });
//   names.InsertInSortedList(strnewdup("b"));
#pragma once

#include <commonvcqx/base/IntrusiveList.h>
#include <commonvcqx/containers/Collection.h>
#include <commonvcqx/containers/internal/ChainedCollection.h>

#include <cstdint>

struct TListNode {
    TListNode* next;
    TListNode* prev;
    void* element;
    using TLinks = cvq::TMemberLinks<TListNode, &TListNode::next, &TListNode::prev>;
};

/// A position in a TDoubleListOfPointers.
struct TListOfPointersIteratorImp {
    TListNode* current = nullptr;
};

class TDoubleListOfPointers
    : public cvq::detail::TChainedCollection<TDoubleListOfPointers, TCollectionOfPointers,
                                             TListNode::TLinks> {
public:
    explicit TDoubleListOfPointers(char ownsElements = 1) noexcept
        : TChainedCollection(ownsElements) {}
    /// Flags and the three functions; the elements are clones made by the cloner.
    TDoubleListOfPointers(const TDoubleListOfPointers& other);
    TDoubleListOfPointers& operator=(const TDoubleListOfPointers& other);
    /// An owning list deletes its elements (first to last); every node is freed.
    ~TDoubleListOfPointers() override;

    // Navigation: null when empty or at the ends.
    void* GetFirst() const noexcept { return ElementOf(m_chain.First()); }
    void* GetLast() const noexcept { return ElementOf(m_chain.Last()); }
    void* GetNext(const void* e) const noexcept;
    void* GetPrev(const void* e) const noexcept;
    void* Element(int32_t index) const noexcept;
    void* operator[](int32_t index) const noexcept { return Element(index); }
    TListNode* FindNode(int32_t index) const noexcept;
    TListNode* FindNode(const void* e) const noexcept;
    void* Get(const TListOfPointersIteratorImp& it) const noexcept { return ElementOf(it.current); }
    TListNode* GetFirstNode() const noexcept { return m_chain.First(); }
    TListNode* GetLastNode() const noexcept { return m_chain.Last(); }

    // Insertion; each returns the element.
    void* Prepend(void* e);
    void* Append(void* e);
    void* Add(void* e) { return Append(e); }
    void* Push(void* e) { return Prepend(e); }
    /// A null position (or one not in the list) prepends.
    void* InsertAfter(void* e, const void* pos);
    /// A null position (or one not in the list) appends.
    void* InsertBefore(void* e, const void* pos);
    void* InsertInSortedList(void* e);
    void* AddUnique(void* e);

    // Removal. Delete operations call the deleter whatever the ownership.
    void* Detach(const void* e) noexcept;
    void Delete(const void* e);
    void* Pop() noexcept { return DetachNode(m_chain.First()); }
    void* DetachFirst() noexcept { return DetachNode(m_chain.First()); }
    void* DetachLast() noexcept { return DetachNode(m_chain.Last()); }
    void DeleteFirst();
    void DeleteLast();
    /// Frees every node; the elements are left alone.
    void DetachAll() noexcept;
    void DeleteAll();
    void* DetachEqual(const void* probe);
    char DeleteEqual(const void* probe);
    // Clear (owning: DeleteAll, else DetachAll) comes from TChainedCollection.

    // Moving.
    void MoveToFront(const void* e);
    void MoveToEnd(const void* e);
    /// Moves e's node (nothing when e is not in the list) after target when e stands
    /// before it, else before it; a target not in the list puts e at the front.
    void MoveAt(const void* e, const void* target);
    /// Exchanges the pointers the two nodes hold.
    void Swap(const void* a, const void* b) noexcept;
    /// Stores newElement in old's node, calling the deleter on old when owning.
    void* Replace(const void* old, void* newElement);

    // Whole lists; clones come from the source list's cloner.
    void Assign(const TDoubleListOfPointers& other, void* context);
    void Add(const TDoubleListOfPointers& other, void* context) { Insert(other, nullptr, context); }
    void Insert(const TDoubleListOfPointers& other, const void* pos, void* context);
    void Append(const TDoubleListOfPointers& other, void* context) {
        Insert(other, nullptr, context);
    }
    TDoubleListOfPointers& operator+=(const TDoubleListOfPointers& other) {
        Insert(other, nullptr, nullptr);
        return *this;
    }
    void Absorb(TDoubleListOfPointers& other, const void* pos) noexcept;
    void Split(TDoubleListOfPointers& other, const void* at);
    void SwapWith(TDoubleListOfPointers& other) noexcept;

    // Searches: comparer(element, probe) == 0, first from the front.
    void* FindEqual(const void* probe) const;
    int32_t FindIndexOfEqual(const void* probe) const;
    int32_t FindIndexOfElement(const void* e) const noexcept;
    char HasElement(const void* e) const noexcept { return FindNode(e) != nullptr; }
    void* FindFirstThat(char (*test)(const void*, const void*), const void* data) const;
    void* FindLastThat(char (*test)(const void*, const void*), const void* data) const;

    // Order: Sort (stable), IsSorted, IsSortedBackwards, AbsorbAndSort and Reverse come
    // from TChainedCollection, with each element the comparer's first argument.
    /// Moves the pointers between the nodes, which keep their places; linear, with a
    /// temporary array of the pointers.
    void Shuffle(int seed);
    void ForEach(void (*fn)(void*, void*), void* data);

private:
    friend TChainedCollection;
    int32_t CompareNodes(const TListNode& a, const TListNode& b) const;
    static void* ElementOf(const TListNode* n) noexcept { return n ? n->element : nullptr; }
    void* DetachNode(TListNode* node) noexcept;
    void DeleteElement(void* e) {
        if (m_deleter && e) m_deleter(e);
    }
};

/// Same list, or the same count and each pair comparing 0 with a's comparer.
char AreEqual(const TDoubleListOfPointers& a, const TDoubleListOfPointers& b);
