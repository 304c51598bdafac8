// The object array: insertion, removal, whole-array copies, sorting and searching.
#include <commonvcqx/containers/ArrayBase.h>

#include <utility>

TArrayBase::TArrayBase(int initialSize, int expansionSize, char ownsElements,
                       TElementFactory factory)
    : TSlotSequence(int(sizeof(TObject*)), initialSize, expansionSize, ownsElements, factory,
                    nullptr),
      m_compareMode(0) {}

TArrayBase::TArrayBase(const TArrayBase& other)
    : TSlotSequence(other, 0), m_compareMode(other.m_compareMode) {
    Insert(other, 0, nullptr);
}

TArrayBase::~TArrayBase() {
    Clear();
}

// ---- Insertion and removal ------------------------------------------------------

TObject* TArrayBase::Insert(TObject* obj, int32_t index) {
    if (index == m_count && m_count < m_capacity) {
        Slots()[m_count++] = obj;  // appending into room already there
        return obj;
    }
    InsertSlot(&obj, index);
    return obj;
}

int32_t TArrayBase::InsertInSortedArray(TObject* obj) {
    int32_t index;
    if (!BinaryFindClosestGreater(obj, &index)) index = m_count;
    Insert(obj, index);
    return index;
}

TObject* TArrayBase::AddUnique(TObject* obj) {
    if (!IsMarkedAsSorted() || BinaryFindEqual(obj)) {
        if (TObject* found = LinearFindEqual(obj)) {
            // The offered object may be the stored one itself: deleting it would leave
            // the array pointing at freed memory.
            if (ShouldDeleteElements() && found != obj) obj->Delete();
            return found;
        }
    }
    InsertInSortedArray(obj);
    return obj;
}

TObject* TArrayBase::Pop() noexcept {
    return Slot(--m_count);
}

TObject* TArrayBase::CutDetach(int32_t index) noexcept {
    TObject* obj = Slot(index);
    CutSlots(index, 1);
    return obj;
}

void TArrayBase::CutDelete(int32_t index) {
    TObject* obj = CutDetach(index);
    if (obj) obj->Delete();
}

void TArrayBase::CutRange(int32_t start, int32_t n, char deleteThem) {
    if (n <= 0) return;
    if (deleteThem) {
        // Taken out first, so that a destructor that looks at the array sees it whole.
        TArrayBase cut(0, n, 0, nullptr);
        cut.EnsureNumSlots(n);
        for (int32_t i = 0; i < n; ++i) cut.Insert(Slot(start + i), i);
        CutSlots(start, n);
        for (int32_t i = 0; i < n; ++i)
            if (TObject* obj = cut.Slot(i)) obj->Delete();
        return;
    }
    CutSlots(start, n);
}

TObject* TArrayBase::Replace(TObject* obj, int32_t index) {
    TObject* old = Slot(index);
    if (old == obj) return obj;
    Slots()[index] = obj;
    if (ShouldDeleteElements() && old) old->Delete();
    return obj;
}

void TArrayBase::Clear() {
    if (ShouldDeleteElements())
        DeleteAll(1);
    else
        FreeMemory();
}

void TArrayBase::DeleteAll(char freeMemory) {
    // The count drops before each delete: the array never shows a freed element.
    while (m_count > 0) {
        TObject* obj = Slot(--m_count);
        if (obj) obj->Delete();
    }
    if (freeMemory) FreeMemory();
}

// ---- Whole arrays ------------------------------------------------------------------

void TArrayBase::Assign(const TArrayBase& other, void* context) {
    if (&other == this) return;
    if (ShouldDeleteElements()) DeleteAll(1);
    TSlotSequence::Assign(other, 0);
    Insert(other, 0, context);
}

void TArrayBase::Insert(const TArrayBase& other, int32_t index, void* context) {
    const int32_t n = other.m_count;
    if (n == 0) return;
    if (&other == this) {
        TArrayBase same(0, n, 0, nullptr);
        same.TSlotSequence::Append(*this);
        Insert(same, index, context);
        return;
    }
    TSlotSequence::Insert(other, index, 1);
    // The opened slots are filled one by one; a clone that throws takes back the ones
    // made so far and closes the gap again.
    int32_t made = 0;
    try {
        for (; made < n; ++made) Slots()[index + made] = other.Slot(made)->CreateClone(context);
    } catch (...) {
        for (int32_t i = 0; i < made; ++i)
            if (TObject* clone = Slot(index + i)) clone->Delete();
        m_count += n;
        CutSlots(index, n);
        throw;
    }
    m_count += n;
}

void TArrayBase::Absorb(TArrayBase& other, int32_t index) {
    TSlotSequence::Absorb(other, index);
}

void TArrayBase::AbsorbAndSort(TArrayBase& other) {
    Absorb(other, m_count);
    Sort();
}

void TArrayBase::SwapWith(TArrayBase& other) noexcept {
    TSlotSequence::SwapWith(other);
    std::swap(m_compareMode, other.m_compareMode);
}

// ---- Order -----------------------------------------------------------------------

void TArrayBase::Sort() {
    if (m_count > 1) QuickSort(0, m_count - 1);
}

void TArrayBase::QuickSort(int32_t lo, int32_t hi) {
    TObject** s = Slots();
    while (lo < hi) {
        const TObject* pivot = s[lo + (hi - lo) / 2];
        int32_t i = lo, j = hi;
        do {
            // The bounds matter only for a Compare that is not a consistent order (one
            // that finds the pivot below itself): there they keep the scans inside.
            while (i <= hi && s[i]->Compare(*pivot, m_compareMode) < 0) ++i;
            while (j >= lo && s[j]->Compare(*pivot, m_compareMode) > 0) --j;
            if (j < i) break;
            if (i != j) std::swap(s[i], s[j]);
            --j;
            ++i;
        } while (i <= j);
        if (lo < j) QuickSort(lo, j < hi ? j : hi - 1);
        lo = i > lo ? i : lo + 1;
    }
}

char TArrayBase::IsSorted() const {
    for (int32_t i = 1; i < m_count; ++i)
        if (Slot(i - 1)->Compare(*Slot(i), m_compareMode) > 0) return 0;
    return 1;
}

char TArrayBase::IsSortedBackwards() const {
    for (int32_t i = 1; i < m_count; ++i)
        if (Slot(i - 1)->Compare(*Slot(i), m_compareMode) < 0) return 0;
    return 1;
}

void TArrayBase::MoveAt(int32_t from, int32_t to) {
    if (from == to) return;
    TObject** s = Slots();
    TObject* obj = s[from];
    if (from < to) {
        for (int32_t i = from; i < to; ++i) s[i] = s[i + 1];
    } else {
        for (int32_t i = from; i > to; --i) s[i] = s[i - 1];
    }
    s[to] = obj;
}

// ---- Searches --------------------------------------------------------------------

char TArrayBase::HasElement(const TObject* obj) const noexcept {
    for (int32_t i = 0; i < m_count; ++i)
        if (Slot(i) == obj) return 1;
    return 0;
}

TObject* TArrayBase::LinearFindEqual(const TObject* probe, int32_t* index) const {
    for (int32_t i = 0; i < m_count; ++i)
        if (Slot(i)->Compare(*probe, m_compareMode) == 0) return Found(i, index);
    return Found(-1, index);
}

TObject* TArrayBase::LinearFindSmallest(int32_t* index) const {
    if (m_count == 0) return Found(-1, index);
    int32_t best = 0;
    for (int32_t i = 1; i < m_count; ++i)
        if (Slot(i)->Compare(*Slot(best), m_compareMode) < 0) best = i;
    return Found(best, index);
}

TObject* TArrayBase::LinearFindGreatest(int32_t* index) const {
    if (m_count == 0) return Found(-1, index);
    int32_t best = 0;
    for (int32_t i = 1; i < m_count; ++i)
        if (Slot(i)->Compare(*Slot(best), m_compareMode) > 0) best = i;
    return Found(best, index);
}

TObject* TArrayBase::LinearFindClosestSmaller(const TObject* probe, int32_t* index) const {
    int32_t best = -1;
    for (int32_t i = 0; i < m_count; ++i) {
        if (Slot(i)->Compare(*probe, m_compareMode) >= 0) continue;
        if (best < 0 || Slot(i)->Compare(*Slot(best), m_compareMode) > 0) best = i;
    }
    return Found(best, index);
}

TObject* TArrayBase::LinearFindEqualOrSmaller(const TObject* probe, int32_t* index) const {
    int32_t best = -1;
    for (int32_t i = 0; i < m_count; ++i) {
        const int c = Slot(i)->Compare(*probe, m_compareMode);
        if (c == 0) return Found(i, index);
        if (c > 0) continue;
        if (best < 0 || Slot(i)->Compare(*Slot(best), m_compareMode) > 0) best = i;
    }
    return Found(best, index);
}

TObject* TArrayBase::LinearFindClosestGreater(const TObject* probe, int32_t* index) const {
    int32_t best = -1;
    for (int32_t i = 0; i < m_count; ++i) {
        if (Slot(i)->Compare(*probe, m_compareMode) <= 0) continue;
        if (best < 0 || Slot(i)->Compare(*Slot(best), m_compareMode) < 0) best = i;
    }
    return Found(best, index);
}

TObject* TArrayBase::LinearFindEqualOrGreater(const TObject* probe, int32_t* index) const {
    int32_t best = -1;
    for (int32_t i = 0; i < m_count; ++i) {
        const int c = Slot(i)->Compare(*probe, m_compareMode);
        if (c == 0) return Found(i, index);
        if (c < 0) continue;
        if (best < 0 || Slot(i)->Compare(*Slot(best), m_compareMode) < 0) best = i;
    }
    return Found(best, index);
}

// The three binary searches share one probe sequence, so among duplicates they all
// land on the same element.
int32_t TArrayBase::BinarySearch(const TObject* probe, int32_t& following) const {
    int32_t lo = 0, hi = m_count - 1;
    while (lo <= hi) {
        const int32_t mid = (lo + hi) / 2;
        const int r = probe->Compare(*Slot(mid), m_compareMode);
        if (r < 0)
            hi = mid - 1;
        else if (r > 0)
            lo = mid + 1;
        else
            return mid;
    }
    following = lo;
    return -1;
}

TObject* TArrayBase::BinaryFindEqual(const TObject* probe, int32_t* index) const {
    int32_t following;
    return Found(BinarySearch(probe, following), index);
}

TObject* TArrayBase::BinaryFindEqualOrGreater(const TObject* probe, int32_t* index) const {
    int32_t following;
    const int32_t found = BinarySearch(probe, following);
    return Found(found >= 0 ? found : following < m_count ? following : -1, index);
}

TObject* TArrayBase::BinaryFindEqualOrSmaller(const TObject* probe, int32_t* index) const {
    int32_t following;
    const int32_t found = BinarySearch(probe, following);
    return Found(found >= 0 ? found : following - 1, index);
}

TObject* TArrayBase::BinaryFindClosestGreater(const TObject* probe, int32_t* index) const {
    int32_t lo = 0, hi = m_count - 1, candidate = -1;
    while (lo <= hi) {
        const int32_t mid = (lo + hi) / 2;
        if (probe->Compare(*Slot(mid), m_compareMode) < 0) {
            hi = mid - 1;
            candidate = mid;
        } else {
            lo = mid + 1;
        }
    }
    return Found(candidate, index);
}

TObject* TArrayBase::BinaryFindClosestSmaller(const TObject* probe, int32_t* index) const {
    int32_t lo = 0, hi = m_count - 1;
    while (lo <= hi) {
        const int32_t mid = (lo + hi) / 2;
        if (probe->Compare(*Slot(mid), m_compareMode) <= 0)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return Found(lo - 1, index);
}

// ---- Predicates ------------------------------------------------------------------

void TArrayBase::ForEach(void (*fn)(TObject&, void*), void* data) {
    for (int32_t i = 0; i < m_count; ++i) fn(*Slot(i), data);
}

TObject* TArrayBase::FindFirstThat(char (*test)(const TObject&, const void*), const void* data,
                                   int32_t* index) const {
    for (int32_t i = 0; i < m_count; ++i)
        if (test(*Slot(i), data)) return Found(i, index);
    return Found(-1, index);
}

TObject* TArrayBase::FindLastThat(char (*test)(const TObject&, const void*), const void* data,
                                  int32_t* index) const {
    for (int32_t i = m_count - 1; i >= 0; --i)
        if (test(*Slot(i), data)) return Found(i, index);
    return Found(-1, index);
}

char AreEqual(const TArrayBase& a, const TArrayBase& b, int compareMode) {
    if (&a == &b) return 1;
    if (a.GetCount() != b.GetCount()) return 0;
    for (int32_t i = 0; i < a.GetCount(); ++i)
        if (a[i]->Compare(*b[i], compareMode) != 0) return 0;
    return 1;
}
