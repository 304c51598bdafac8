// commonvcqx/containers/Collection.h
//
// TCollection: what every container shares: whether it owns (and deletes) its
// elements, the user's "sorted" mark, the merge sort's sorted state, the element count
// and the factory that makes elements when a container is restored from a stream.
// TCollectionOfPointers adds the deleter, comparer and cloner that containers of raw
// pointers use in place of the object operations.
//
//   TArrayBase names;                 // owning: deletes its elements
//   names.ShouldDeleteElements(0);    // from now on the caller keeps them
//
// Containers are not locked: one thread uses an instance at a time.
#pragma once

#include <commonvcqx/frame/Object.h>

#include <cstdint>

class TCollection {
public:
    virtual ~TCollection();

    char IsEmpty() const noexcept { return m_count == 0; }
    int32_t GetCount() const noexcept { return m_count; }
    int32_t GetLastIndex() const noexcept { return m_count - 1; }
    int32_t GetEndIndex() const noexcept { return m_count; }
    char IsValidIndex(int32_t i) const noexcept { return i >= 0 && i < m_count; }

    /// Non-zero when the container deletes its elements.
    char ShouldDeleteElements() const noexcept { return (m_flags & kOwnsElements) != 0; }
    void ShouldDeleteElements(char owns) noexcept { SetFlag(kOwnsElements, owns); }
    char IsMarkedAsSorted() const noexcept { return (m_flags & kMarkedSorted) != 0; }
    void MarkAsSorted(char sorted) noexcept { SetFlag(kMarkedSorted, sorted); }
    /// Accepted and ignored.
    void SetName(const char*) noexcept {}

    TElementFactory GetElementFactory() const noexcept { return m_factory; }
    void SetElementFactory(TElementFactory factory) noexcept { m_factory = factory; }

protected:
    static constexpr uint32_t kOwnsElements = 0x1;
    static constexpr uint32_t kMarkedSorted = 0x2;
    static constexpr uint32_t kSortedState = 0x4;
    static constexpr uint32_t kAllFlags = kOwnsElements | kMarkedSorted | kSortedState;

    TCollection(char ownsElements, TElementFactory factory) noexcept
        : m_flags(ownsElements ? kOwnsElements : 0), m_count(0), m_factory(factory) {}
    /// Flags and factory; the count starts at 0 for the derived class to fill.
    TCollection(const TCollection& other) noexcept
        : m_flags(other.m_flags & kAllFlags), m_count(0), m_factory(other.m_factory) {}
    TCollection& operator=(const TCollection& other) noexcept {
        m_flags = other.m_flags & kAllFlags;
        m_count = 0;
        m_factory = other.m_factory;
        return *this;
    }
    /// Exchanges flags, count and factory.
    void SwapWith(TCollection& other) noexcept;

    void SetFlag(uint32_t flag, char on) noexcept {
        if (on)
            m_flags |= flag;
        else
            m_flags &= ~flag;
    }

    uint32_t m_flags;
    int32_t m_count;
    TElementFactory m_factory;
};

class TCollectionOfPointers : public TCollection {
public:
    using TDeleter = void (*)(void* element);
    using TComparer = int32_t (*)(const void* a, const void* b);
    using TCloner = void* (*)(const void* element, void* context);

    explicit TCollectionOfPointers(char ownsElements = 1) noexcept
        : TCollection(ownsElements, nullptr) {}
    TCollectionOfPointers(const TCollectionOfPointers& other) noexcept = default;
    TCollectionOfPointers& operator=(const TCollectionOfPointers& other) noexcept = default;

    void SetDeleter(TDeleter deleter) noexcept { m_deleter = deleter; }
    void SetComparer(TComparer comparer) noexcept { m_comparer = comparer; }
    void SetCloner(TCloner cloner) noexcept { m_cloner = cloner; }
    TDeleter GetDeleter() const noexcept { return m_deleter; }
    TComparer GetComparer() const noexcept { return m_comparer; }
    TCloner GetCloner() const noexcept { return m_cloner; }

protected:
    void SwapWith(TCollectionOfPointers& other) noexcept;

    TDeleter m_deleter = nullptr;
    TComparer m_comparer = nullptr;
    TCloner m_cloner = nullptr;
};
