// commonvcqx/containers/FlexHashMap.h
//
// TFlexHashMapImp: a chained hash map of THashableElements kept in one double list,
// with a bucket table of prime size. All elements of a bucket stand next to each other
// in the list and the bucket points at the first of them. Hashing and equality come
// from the elements' GetHashedValue and Compare (with the list's compare mode).
//
//   TFlexHashMapImp map(0, 1);          // 3 buckets, owning
//   map.Add(new TNamed("a"));           // grows to 7, 13, 31... once full
//   TNamed probe("a");
//   THashableElement* hit = map.FindEqual(probe);
//
// The map grows on Add once it holds as many elements as it has buckets (load factor
// 1), to the next prime of its table above the count. Use the map's own insertion and
// removal operations: the plain list operations that link elements do not maintain
// the buckets.
#pragma once

#include <commonvcqx/containers/DoubleList.h>

#include <cstdint>

class TFlexHashMapImp;

class THashableElement : public TListElement {
public:
    THashableElement() noexcept : m_bucket(0), m_tag(0) {}
    THashableElement(const THashableElement& other) noexcept = default;
    THashableElement& operator=(const THashableElement& other) noexcept = default;

    /// The bucket the element was added to.
    uint32_t GetBucketIndex() const noexcept { return m_bucket; }

protected:
    ~THashableElement() override;

private:
    friend class TFlexHashMapImp;
    uint32_t m_bucket;
    uint32_t m_tag;  // kept by the kind of map the element is filed in
};

class TFlexHashMapImp : public TDoubleList {
public:
    /// Bucket count: the smallest prime of the table strictly greater than `size`.
    explicit TFlexHashMapImp(int32_t size = 0, char ownsElements = 1);
    /// Clones the elements and indexes them in a bucket array of its own.
    TFlexHashMapImp(const TFlexHashMapImp& other);
    TFlexHashMapImp& operator=(const TFlexHashMapImp& other);
    ~TFlexHashMapImp() override;

    /// Remaps first when the count has reached the bucket count.
    THashableElement* Add(THashableElement* e);
    /// Adds without growing.
    THashableElement* PureAdd(THashableElement* e);
    /// Returns an equal element already present (deleting `e` when the map owns its
    /// elements), else adds `e`.
    THashableElement* AddUnique(THashableElement* e);

    THashableElement* FindEqual(const THashableElement& probe) const;
    int32_t FindNumEqual(const THashableElement& probe) const;
    /// Calls fn on every equal element (the next one is fetched first); returns how many.
    int32_t ForEachEqual(const THashableElement& probe, void (*fn)(TObject&, void*), void* data);
    int32_t DeleteAllEqual(const THashableElement& probe);

    THashableElement* Detach(THashableElement* e) noexcept;
    void Delete(THashableElement* e);
    THashableElement* Pop() noexcept { return DetachFirst(); }
    THashableElement* DetachFirst() noexcept { return Detach(First()); }
    THashableElement* DetachLast() noexcept {
        return Detach(static_cast<THashableElement*>(GetLast()));
    }
    void DeleteFirst() { Delete(First()); }
    void DeleteLast() { Delete(static_cast<THashableElement*>(GetLast())); }
    /// The first equal element, taken out of the map; null if none.
    THashableElement* DetachEqual(const THashableElement& probe) {
        return Detach(FindEqual(probe));
    }
    /// Deletes the first equal element; false if none.
    char DeleteEqual(const THashableElement& probe);
    void DetachAll() noexcept;
    void DeleteAll();
    /// Owning: DeleteAll; otherwise DetachAll.
    void Clear();

    /// size < 0 means the count. Rebuilds the buckets for the smallest table prime above
    /// size, unless that is the current count or (with growOnly) a smaller one.
    void Remap(int32_t size, char growOnly);
    int32_t GetNumSlots() const noexcept { return m_numSlots; }
    void SetAutoSize(char autoSize) noexcept { m_autoSize = autoSize; }
    char GetAutoSize() const noexcept { return m_autoSize; }

    /// The smallest prime of the bucket table strictly greater than size (the largest
    /// one for sizes beyond it).
    static int32_t GetPrimeAbove(int32_t size) noexcept;

protected:
    /// Told when an element has been filed and before one is taken out; UnfiledAll when
    /// all of them go at once. Remapping and copying file the elements without telling.
    virtual void Filed(THashableElement& e) noexcept;
    virtual void Unfiled(THashableElement& e) noexcept;
    virtual void UnfiledAll() noexcept;

    /// The first element of the bucket that `hash` falls in; `bucket` receives its index.
    THashableElement* BucketRun(uint32_t hash, uint32_t& bucket) const noexcept {
        bucket = BucketFor(hash);
        return m_buckets[bucket];
    }
    /// hash modulo the bucket count, by multiplying with its reciprocal: a division
    /// would stand between every lookup and its first memory access.
    uint32_t BucketFor(uint32_t hash) const noexcept {
        return uint32_t(
            (static_cast<unsigned __int128>(m_slotReciprocal * hash) * uint32_t(m_numSlots)) >> 64);
    }
    static uint32_t BucketOf(const THashableElement& e) noexcept { return e.m_bucket; }
    /// Add for an element whose GetHashedValue the caller has just taken.
    THashableElement* AddHashed(THashableElement* e, uint32_t hash);
    /// Starts reading the bucket an element of this hash is about to go to.
    void PrefetchBucket(uint32_t hash) const noexcept {
        __builtin_prefetch(&m_buckets[BucketFor(hash)]);
    }
    /// A word a derived map may keep in each of its elements while they are filed.
    static uint32_t& TagOf(THashableElement& e) noexcept { return e.m_tag; }
    static uint32_t TagOf(const THashableElement& e) noexcept { return e.m_tag; }

private:
    THashableElement* First() const noexcept { return static_cast<THashableElement*>(GetFirst()); }
    static THashableElement** NewBuckets(int32_t n);
    void SetNumSlots(int32_t n) noexcept {
        m_numSlots = n;
        m_slotReciprocal = UINT64_MAX / uint32_t(n) + 1;
    }
    /// Files `e` in its bucket and the list.
    void Link(THashableElement* e, uint32_t hash);
    void Reindex() noexcept;

    THashableElement** m_buckets;
    int32_t m_numSlots;
    char m_autoSize;
    uint64_t m_slotReciprocal = 0;  // 2^64 / m_numSlots, rounded up
};
