// The chained hash map: bucket runs inside one list, prime bucket counts.
#include <commonvcqx/containers/FlexHashMap.h>
#include <commonvcqx/containers/internal/ContainerFailures.h>
#include <commonvcqx/memory/Heap.h>

#include <cstring>

namespace {

constexpr int32_t kPrimes[] = {
    3,        7,        13,       31,        61,        127,       251,       509,
    1021,     2017,     4093,     5987,      9551,      15683,     19609,     31397,
    65521,    131071,   262139,   524287,    1048573,   2097143,   4194301,   8388593,
    16777213, 33554393, 67108859, 134217689, 268435399, 536870909, 1073741789};

}  // namespace

THashableElement::~THashableElement() = default;

int32_t TFlexHashMapImp::GetPrimeAbove(int32_t size) noexcept {
    for (int32_t p : kPrimes)
        if (p > size) return p;
    return kPrimes[sizeof kPrimes / sizeof kPrimes[0] - 1];
}

THashableElement** TFlexHashMapImp::NewBuckets(int32_t n) {
    void* block = NH_Heap::Default().Alloc(size_t(n) * sizeof(THashableElement*), 1);
    if (!block) cvq::detail::ThrowContainerOutOfMemory();
    return static_cast<THashableElement**>(block);
}

TFlexHashMapImp::TFlexHashMapImp(int32_t size, char ownsElements)
    : TDoubleList(ownsElements, nullptr),
      m_buckets(NewBuckets(GetPrimeAbove(size))),
      m_numSlots(0),
      m_autoSize(1) {
    SetNumSlots(GetPrimeAbove(size));
}

TFlexHashMapImp::TFlexHashMapImp(const TFlexHashMapImp& other)
    : TDoubleList(other), m_buckets(nullptr), m_numSlots(0), m_autoSize(other.m_autoSize) {
    SetNumSlots(other.m_numSlots);
    // The list copy made the clones; they get a bucket array of their own.
    try {
        m_buckets = NewBuckets(m_numSlots);
    } catch (...) {
        TDoubleList::Clear();
        throw;
    }
    Reindex();
}

TFlexHashMapImp& TFlexHashMapImp::operator=(const TFlexHashMapImp& other) {
    if (&other == this) return *this;
    Clear();
    if (m_numSlots != other.m_numSlots) {
        THashableElement** buckets = NewBuckets(other.m_numSlots);
        NH_Heap::FreeMem(m_buckets);
        m_buckets = buckets;
        SetNumSlots(other.m_numSlots);
    }
    m_autoSize = other.m_autoSize;
    TDoubleList::operator=(other);
    Reindex();
    return *this;
}

TFlexHashMapImp::~TFlexHashMapImp() {
    NH_Heap::FreeMem(m_buckets);
    m_buckets = nullptr;
    // The list's destructor deletes the elements of an owning map.
}

void TFlexHashMapImp::Reindex() noexcept {
    std::memset(m_buckets, 0, size_t(m_numSlots) * sizeof(THashableElement*));
    TDoubleList all(0, nullptr);
    all.Absorb(*this, nullptr);
    while (TListElement* e = all.DetachFirst()) {
        auto* h = static_cast<THashableElement*>(e);
        Link(h, h->GetHashedValue());
    }
}

void TFlexHashMapImp::Filed(THashableElement&) noexcept {}
void TFlexHashMapImp::Unfiled(THashableElement&) noexcept {}
void TFlexHashMapImp::UnfiledAll() noexcept {}

// ---- Adding ----------------------------------------------------------------------

THashableElement* TFlexHashMapImp::Add(THashableElement* e) {
    if (m_count >= m_numSlots) Remap(-1, 1);
    return PureAdd(e);
}

THashableElement* TFlexHashMapImp::PureAdd(THashableElement* e) {
    Link(e, e->GetHashedValue());
    Filed(*e);
    return e;
}

THashableElement* TFlexHashMapImp::AddHashed(THashableElement* e, uint32_t hash) {
    if (m_count >= m_numSlots) Remap(-1, 1);
    Link(e, hash);
    Filed(*e);
    return e;
}

void TFlexHashMapImp::Link(THashableElement* e, uint32_t hash) {
    const uint32_t bucket = BucketFor(hash);
    e->m_bucket = bucket;
    if (THashableElement* head = m_buckets[bucket]) {
        InsertAfter(e, head);
    } else {
        Append(e);
        m_buckets[bucket] = e;
    }
}

THashableElement* TFlexHashMapImp::AddUnique(THashableElement* e) {
    THashableElement* found = FindEqual(*e);
    if (!found) return Add(e);
    // An element offered again is its own equal: deleting it would free a member.
    if (ShouldDeleteElements() && found != e) e->Delete();
    return found;
}

// ---- Finding ---------------------------------------------------------------------

THashableElement* TFlexHashMapImp::FindEqual(const THashableElement& probe) const {
    const uint32_t bucket = BucketFor(probe.GetHashedValue());
    for (THashableElement* e = m_buckets[bucket]; e && e->m_bucket == bucket;
         e = static_cast<THashableElement*>(e->GetNext()))
        if (e->Compare(probe, m_compareMode) == 0) return e;
    return nullptr;
}

int32_t TFlexHashMapImp::FindNumEqual(const THashableElement& probe) const {
    const uint32_t bucket = BucketFor(probe.GetHashedValue());
    int32_t n = 0;
    for (THashableElement* e = m_buckets[bucket]; e && e->m_bucket == bucket;
         e = static_cast<THashableElement*>(e->GetNext()))
        if (e->Compare(probe, m_compareMode) == 0) ++n;
    return n;
}

int32_t TFlexHashMapImp::ForEachEqual(const THashableElement& probe, void (*fn)(TObject&, void*),
                                      void* data) {
    const uint32_t bucket = BucketFor(probe.GetHashedValue());
    int32_t n = 0;
    for (THashableElement* e = m_buckets[bucket]; e && e->m_bucket == bucket;) {
        auto* next = static_cast<THashableElement*>(e->GetNext());
        if (e->Compare(probe, m_compareMode) == 0) {
            fn(*e, data);
            ++n;
        }
        e = next;
    }
    return n;
}

int32_t TFlexHashMapImp::DeleteAllEqual(const THashableElement& probe) {
    const uint32_t bucket = BucketFor(probe.GetHashedValue());
    int32_t n = 0;
    for (THashableElement* e = m_buckets[bucket]; e && e->m_bucket == bucket;) {
        auto* next = static_cast<THashableElement*>(e->GetNext());
        if (e->Compare(probe, m_compareMode) == 0) {
            Delete(e);
            ++n;
        }
        e = next;
    }
    return n;
}

// ---- Removing --------------------------------------------------------------------

THashableElement* TFlexHashMapImp::Detach(THashableElement* e) noexcept {
    if (!e) return nullptr;
    Unfiled(*e);
    const uint32_t bucket = e->m_bucket;
    if (m_buckets[bucket] == e) {
        auto* next = static_cast<THashableElement*>(e->GetNext());
        m_buckets[bucket] = next && next->m_bucket == bucket ? next : nullptr;
    }
    TDoubleList::Detach(e);
    return e;
}

void TFlexHashMapImp::Delete(THashableElement* e) {
    if (e) Detach(e)->Delete();
}

char TFlexHashMapImp::DeleteEqual(const THashableElement& probe) {
    THashableElement* e = FindEqual(probe);
    if (!e) return 0;
    Delete(e);
    return 1;
}

void TFlexHashMapImp::DetachAll() noexcept {
    TDoubleList::DetachAll();
    std::memset(m_buckets, 0, size_t(m_numSlots) * sizeof(THashableElement*));
    UnfiledAll();
}

void TFlexHashMapImp::DeleteAll() {
    while (GetFirst()) Delete(First());
}

void TFlexHashMapImp::Clear() {
    if (ShouldDeleteElements())
        DeleteAll();
    else
        DetachAll();
}

void TFlexHashMapImp::Remap(int32_t size, char growOnly) {
    if (size < 0) size = m_count;
    const int32_t n = GetPrimeAbove(size);
    if (n == m_numSlots || (n < m_numSlots && growOnly)) return;
    THashableElement** buckets = NewBuckets(n);
    NH_Heap::FreeMem(m_buckets);
    m_buckets = buckets;
    SetNumSlots(n);
    Reindex();
}
