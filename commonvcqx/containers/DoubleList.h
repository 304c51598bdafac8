// commonvcqx/containers/DoubleList.h
//
// TDoubleList: an intrusive doubly linked list of TListElements. Each element carries
// its own links, so it is in one list at a time, and insertion and removal take
// constant time without allocating. Comparing, cloning and deleting go through the
// elements' TObject operations with the list's compare mode. An owning list (the
// default) deletes its elements when it is cleared or destroyed.
//
//   TDoubleList files;
//   files.Append(new TFileName("C:\\a.wav"));
//   for (TListElement* e = files.GetFirst(); e; e = files.GetNext(e)) Show(*e);
//   files.Sort();                      // stable: equal elements keep their order
//
// Operations that name an element expect it to be in this list; indices are not
// checked. ForEach fetches the next element before each call, so the function may
// detach or delete the element it is given.
#pragma once

#include <commonvcqx/base/IntrusiveList.h>
#include <commonvcqx/containers/Collection.h>
#include <commonvcqx/containers/internal/ChainedCollection.h>

#include <cstdint>

class TListElement : public TObject {
public:
    TListElement() noexcept : m_next(nullptr), m_prev(nullptr) {}
    /// Copies both links; every insertion overwrites them.
    TListElement(const TListElement& other) noexcept = default;
    TListElement& operator=(const TListElement& other) noexcept = default;

    TListElement* GetNext() const noexcept { return m_next; }
    TListElement* GetPrev() const noexcept { return m_prev; }

protected:
    ~TListElement() override;

private:
    friend class TDoubleList;
    TListElement* m_next;
    TListElement* m_prev;
    using TLinks = cvq::TMemberLinks<TListElement, &TListElement::m_next, &TListElement::m_prev>;
};

class TDoubleList
    : public cvq::detail::TChainedCollection<TDoubleList, TCollection, TListElement::TLinks> {
public:
    explicit TDoubleList(char ownsElements = 1, TElementFactory factory = nullptr) noexcept
        : TChainedCollection(ownsElements, factory) {}
    /// Flags, factory and compare mode; the elements are clones (null context).
    TDoubleList(const TDoubleList& other);
    /// Takes over the compare mode and flags, then assigns clones (null context).
    TDoubleList& operator=(const TDoubleList& other);
    /// An owning list deletes its elements, first to last.
    ~TDoubleList() override;

    // Navigation.
    TListElement* GetFirst() const noexcept { return m_chain.First(); }
    TListElement* GetLast() const noexcept { return m_chain.Last(); }
    TListElement* GetNext(const TListElement* e) const noexcept { return e->GetNext(); }
    TListElement* GetPrev(const TListElement* e) const noexcept { return e->GetPrev(); }
    /// Walks from the first element.
    TListElement* Element(int32_t index) const noexcept;
    TListElement* operator[](int32_t index) const noexcept { return Element(index); }

    // Insertion; each returns the element.
    TListElement* Prepend(TListElement* e) noexcept;
    TListElement* Append(TListElement* e) noexcept;
    TListElement* Add(TListElement* e) noexcept { return Append(e); }
    TListElement* Push(TListElement* e) noexcept { return Prepend(e); }
    /// A null position prepends.
    TListElement* InsertAfter(TListElement* e, TListElement* pos) noexcept;
    /// A null position appends.
    TListElement* InsertBefore(TListElement* e, TListElement* pos) noexcept;
    /// Before the first element e compares below; equal elements keep insertion order.
    TListElement* InsertInSortedList(TListElement* e);
    /// Appends e unless an equal element is present; then returns that one, deleting e
    /// when the list owns its elements.
    TListElement* AddUnique(TListElement* e);

    // Removal. Delete operations delete whatever the ownership.
    TListElement* Detach(TListElement* e) noexcept;
    void Delete(TListElement* e);
    TListElement* Pop() noexcept { return Detach(GetFirst()); }
    TListElement* DetachFirst() noexcept { return Detach(GetFirst()); }
    TListElement* DetachLast() noexcept { return Detach(GetLast()); }
    void DeleteFirst() { Delete(GetFirst()); }
    void DeleteLast() { Delete(GetLast()); }
    /// Forgets every element (their links are left as they are).
    void DetachAll() noexcept;
    /// Deletes every element, first to last.
    void DeleteAll();
    TListElement* DetachEqual(const TListElement& probe);
    char DeleteEqual(const TListElement& probe);
    // Clear (owning: DeleteAll, else DetachAll) comes from TChainedCollection.

    // Moving.
    void MoveToFront(TListElement* e) noexcept;
    void MoveToEnd(TListElement* e) noexcept;
    /// e lying before target goes directly after it; lying after, directly before it.
    void MoveAt(TListElement* e, TListElement* target) noexcept;
    void Swap(TListElement* a, TListElement* b) noexcept;
    /// Puts newElement where old was; old is deleted when the list owns it.
    TListElement* Replace(TListElement* old, TListElement* newElement);

    // Whole lists. Clones are made by CreateClone(context).
    void Assign(const TDoubleList& other, void* context);
    void Add(const TDoubleList& other, void* context) { Insert(other, nullptr, context); }
    /// Clones of other's elements, in order, before pos (null: at the end).
    void Insert(const TDoubleList& other, TListElement* pos, void* context);
    void Append(const TDoubleList& other, void* context) { Insert(other, nullptr, context); }
    TDoubleList& operator+=(const TDoubleList& other) {
        Insert(other, nullptr, nullptr);
        return *this;
    }
    /// Splices other's whole chain in before pos (null: at the end); other ends empty.
    void Absorb(TDoubleList& other, TListElement* pos) noexcept;
    /// other is cleared, then receives the elements from `at` to the last.
    void Split(TDoubleList& other, TListElement* at);
    void SwapWith(TDoubleList& other) noexcept;

    // Searches: the element is the Compare receiver, the first of equals wins.
    TListElement* FindEqual(const TListElement& probe) const;
    int32_t FindIndexOfEqual(const TListElement& probe) const;
    int32_t FindIndexOfElement(const TListElement* e) const noexcept;
    char HasElement(const TListElement* e) const noexcept { return FindIndexOfElement(e) >= 0; }
    TListElement* FindFirstThat(char (*test)(const TObject&, const void*), const void* data) const;
    TListElement* FindLastThat(char (*test)(const TObject&, const void*), const void* data) const;
    TListElement* FindSmallest() const;
    TListElement* FindGreatest() const;
    TListElement* FindClosestSmaller(const TListElement& probe) const;
    TListElement* FindEqualOrSmaller(const TListElement& probe) const;
    TListElement* FindClosestGreater(const TListElement& probe) const;
    TListElement* FindEqualOrGreater(const TListElement& probe) const;
    void SetCompareMode(int mode) noexcept { m_compareMode = mode; }
    int GetCompareMode() const noexcept { return m_compareMode; }

    // Order: Sort (stable), IsSorted, IsSortedBackwards, AbsorbAndSort and Reverse come
    // from TChainedCollection, with each element the receiver of Compare.
    /// Reproducible for a positive seed; linear, with a temporary array of the elements.
    void Shuffle(int seed);

    void ForEach(void (*fn)(TObject&, void*), void* data);

    /// Writes the count as "Siz" and each element as "E" i inside the group (name, index).
    void WriteState(TTaggedOutputStream& out, int32_t context, const char* name, int index) const;
    /// Appends the elements stored under (name, index), made by the element factory;
    /// false (list unchanged) when the group is missing. Restoring ends at the first
    /// element that is absent or fails (that element is deleted); with no factory no
    /// element is made. The stream is left in the group it was in.
    char RestoreState(TTaggedInputStream& in, int32_t context, const char* name, int index);

protected:
    int m_compareMode = 0;

private:
    friend TChainedCollection;
    int CompareNodes(const TListElement& a, const TListElement& b) const {
        return a.Compare(b, m_compareMode);
    }
};

/// Same list, or the same count and each pair in order comparing 0 with `compareMode`.
char AreEqual(const TDoubleList& a, const TDoubleList& b, int compareMode);
