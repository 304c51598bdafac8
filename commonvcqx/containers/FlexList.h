// commonvcqx/containers/FlexList.h
//
// TFlexList<T>: a TDoubleList whose elements are all T (a TListElement class), so that
// its navigation and searches hand out T pointers. It adds no state of its own.
//
//   TFlexList<TStringItem<TListElement>> lines;
//   lines.Append(new TStringItem<TListElement>("first"));
//   for (auto* line = lines.GetFirst(); line; line = lines.GetNext(line)) Show(line->GetString());
//   for (auto& line : lines) Show(line.GetString());
#pragma once

#include <commonvcqx/containers/DoubleList.h>

template <class T>
class TFlexList : public TDoubleList {
public:
    explicit TFlexList(char ownsElements = 1, TElementFactory factory = nullptr) noexcept
        : TDoubleList(ownsElements, factory) {}
    TFlexList(const TFlexList& other) = default;
    TFlexList& operator=(const TFlexList& other) = default;

    T* GetFirst() const noexcept { return Cast(TDoubleList::GetFirst()); }
    T* GetLast() const noexcept { return Cast(TDoubleList::GetLast()); }
    T* GetNext(const T* e) const noexcept { return Cast(TDoubleList::GetNext(e)); }
    T* GetPrev(const T* e) const noexcept { return Cast(TDoubleList::GetPrev(e)); }
    T* Element(int32_t index) const noexcept { return Cast(TDoubleList::Element(index)); }
    T* operator[](int32_t index) const noexcept { return Element(index); }

    T* Prepend(T* e) noexcept { return Cast(TDoubleList::Prepend(e)); }
    T* Append(T* e) noexcept { return Cast(TDoubleList::Append(e)); }
    T* Add(T* e) noexcept { return Cast(TDoubleList::Add(e)); }
    T* Push(T* e) noexcept { return Cast(TDoubleList::Push(e)); }
    T* InsertAfter(T* e, T* pos) noexcept { return Cast(TDoubleList::InsertAfter(e, pos)); }
    T* InsertBefore(T* e, T* pos) noexcept { return Cast(TDoubleList::InsertBefore(e, pos)); }
    T* InsertInSortedList(T* e) { return Cast(TDoubleList::InsertInSortedList(e)); }
    T* AddUnique(T* e) { return Cast(TDoubleList::AddUnique(e)); }

    T* Detach(T* e) noexcept { return Cast(TDoubleList::Detach(e)); }
    T* Pop() noexcept { return Cast(TDoubleList::Pop()); }
    T* DetachFirst() noexcept { return Cast(TDoubleList::DetachFirst()); }
    T* DetachLast() noexcept { return Cast(TDoubleList::DetachLast()); }
    T* DetachEqual(const T& probe) { return Cast(TDoubleList::DetachEqual(probe)); }
    T* Replace(T* old, T* newElement) { return Cast(TDoubleList::Replace(old, newElement)); }

    T* FindEqual(const T& probe) const { return Cast(TDoubleList::FindEqual(probe)); }
    T* FindFirstThat(char (*test)(const TObject&, const void*), const void* data) const {
        return Cast(TDoubleList::FindFirstThat(test, data));
    }
    T* FindLastThat(char (*test)(const TObject&, const void*), const void* data) const {
        return Cast(TDoubleList::FindLastThat(test, data));
    }
    T* FindSmallest() const { return Cast(TDoubleList::FindSmallest()); }
    T* FindGreatest() const { return Cast(TDoubleList::FindGreatest()); }
    T* FindClosestSmaller(const T& p) const { return Cast(TDoubleList::FindClosestSmaller(p)); }
    T* FindEqualOrSmaller(const T& p) const { return Cast(TDoubleList::FindEqualOrSmaller(p)); }
    T* FindClosestGreater(const T& p) const { return Cast(TDoubleList::FindClosestGreater(p)); }
    T* FindEqualOrGreater(const T& p) const { return Cast(TDoubleList::FindEqualOrGreater(p)); }

    // Whole lists keep the base forms.
    using TDoubleList::Add;
    using TDoubleList::Append;

    /// Forward iteration over the elements; the current element must stay in the list.
    class iterator {
    public:
        explicit iterator(T* e) noexcept : m_e(e) {}
        T& operator*() const noexcept { return *m_e; }
        T* operator->() const noexcept { return m_e; }
        iterator& operator++() noexcept {
            m_e = Cast(m_e->GetNext());
            return *this;
        }
        bool operator==(const iterator& other) const noexcept { return m_e == other.m_e; }

    private:
        T* m_e;
    };
    iterator begin() const noexcept { return iterator(GetFirst()); }
    iterator end() const noexcept { return iterator(nullptr); }

private:
    static T* Cast(TListElement* e) noexcept { return static_cast<T*>(e); }
};
