// The intrusive double list: linking, whole-list splices, the stable merge sort.
#include <commonvcqx/containers/DoubleList.h>
#include <commonvcqx/geometry/Randomizer.h>

#include <utility>

TListElement::~TListElement() = default;

TDoubleList::TDoubleList(const TDoubleList& other)
    : TCollection(other), m_compareMode(other.m_compareMode) {
    Insert(other, nullptr, nullptr);
}

TDoubleList& TDoubleList::operator=(const TDoubleList& other) {
    if (&other == this) return *this;
    if (ShouldDeleteElements())
        DeleteAll();
    else
        DetachAll();
    TCollection::operator=(other);
    m_compareMode = other.m_compareMode;
    Insert(other, nullptr, nullptr);
    return *this;
}

TDoubleList::~TDoubleList() {
    if (ShouldDeleteElements()) DeleteAll();
}

// ---- Navigation and insertion ----------------------------------------------------

TListElement* TDoubleList::Element(int32_t index) const noexcept {
    TListElement* e = m_first;
    while (index-- > 0 && e) e = e->m_next;
    return e;
}

TListElement* TDoubleList::Prepend(TListElement* e) noexcept {
    e->m_prev = nullptr;
    e->m_next = m_first;
    if (m_first)
        m_first->m_prev = e;
    else
        m_last = e;
    m_first = e;
    ++m_count;
    return e;
}

TListElement* TDoubleList::Append(TListElement* e) noexcept {
    e->m_next = nullptr;
    e->m_prev = m_last;
    if (m_last)
        m_last->m_next = e;
    else
        m_first = e;
    m_last = e;
    ++m_count;
    return e;
}

TListElement* TDoubleList::InsertAfter(TListElement* e, TListElement* pos) noexcept {
    if (!pos) return Prepend(e);
    e->m_prev = pos;
    e->m_next = pos->m_next;
    if (pos->m_next)
        pos->m_next->m_prev = e;
    else
        m_last = e;
    pos->m_next = e;
    ++m_count;
    return e;
}

TListElement* TDoubleList::InsertBefore(TListElement* e, TListElement* pos) noexcept {
    if (!pos) return Append(e);
    e->m_next = pos;
    e->m_prev = pos->m_prev;
    if (pos->m_prev)
        pos->m_prev->m_next = e;
    else
        m_first = e;
    pos->m_prev = e;
    ++m_count;
    return e;
}

TListElement* TDoubleList::InsertInSortedList(TListElement* e) {
    for (TListElement* x = m_first; x; x = x->m_next)
        if (e->Compare(*x, m_compareMode) < 0) return InsertBefore(e, x);
    return Append(e);
}

TListElement* TDoubleList::AddUnique(TListElement* e) {
    TListElement* found = FindEqual(*e);
    if (!found) return Append(e);
    // An element offered again is its own equal: deleting it would free a list member.
    if (ShouldDeleteElements() && found != e) e->Delete();
    return found;
}

// ---- Removal ---------------------------------------------------------------------

TListElement* TDoubleList::Detach(TListElement* e) noexcept {
    if (!e) return nullptr;
    if (e->m_prev)
        e->m_prev->m_next = e->m_next;
    else
        m_first = e->m_next;
    if (e->m_next)
        e->m_next->m_prev = e->m_prev;
    else
        m_last = e->m_prev;
    Unlinked(e);
    --m_count;
    return e;
}

void TDoubleList::Delete(TListElement* e) {
    if (!e) return;
    Detach(e)->Delete();
}

void TDoubleList::DetachAll() noexcept {
    m_first = m_last = nullptr;
    m_count = 0;
}

void TDoubleList::DeleteAll() {
    // Each element leaves the list before it is deleted: a destructor that looks at
    // the list never finds a freed element in it.
    while (m_first) Detach(m_first)->Delete();
}

TListElement* TDoubleList::DetachEqual(const TListElement& probe) {
    return Detach(FindEqual(probe));
}

char TDoubleList::DeleteEqual(const TListElement& probe) {
    TListElement* e = FindEqual(probe);
    if (!e) return 0;
    Delete(e);
    return 1;
}

void TDoubleList::Clear() {
    if (ShouldDeleteElements())
        DeleteAll();
    else
        DetachAll();
}

// ---- Moving ----------------------------------------------------------------------

void TDoubleList::MoveToFront(TListElement* e) noexcept {
    if (e == m_first) return;
    Prepend(Detach(e));
}

void TDoubleList::MoveToEnd(TListElement* e) noexcept {
    if (e == m_last) return;
    Append(Detach(e));
}

void TDoubleList::MoveAt(TListElement* e, TListElement* target) noexcept {
    if (e == target) return;
    for (TListElement* x = m_first; x; x = x->m_next) {
        if (x == e) {
            InsertAfter(Detach(e), target);
            return;
        }
        if (x == target) {
            InsertBefore(Detach(e), target);
            return;
        }
    }
}

void TDoubleList::Swap(TListElement* a, TListElement* b) noexcept {
    if (a == b) return;
    if (b->m_next == a) std::swap(a, b);
    if (a->m_next == b) {
        // Neighbours: p a b n becomes p b a n.
        TListElement* p = a->m_prev;
        TListElement* n = b->m_next;
        b->m_prev = p;
        b->m_next = a;
        a->m_prev = b;
        a->m_next = n;
        if (p)
            p->m_next = b;
        else
            m_first = b;
        if (n)
            n->m_prev = a;
        else
            m_last = a;
        return;
    }
    TListElement* ap = a->m_prev;
    TListElement* an = a->m_next;
    TListElement* bp = b->m_prev;
    TListElement* bn = b->m_next;
    a->m_prev = bp;
    a->m_next = bn;
    b->m_prev = ap;
    b->m_next = an;
    if (ap)
        ap->m_next = b;
    else
        m_first = b;
    if (an)
        an->m_prev = b;
    else
        m_last = b;
    if (bp)
        bp->m_next = a;
    else
        m_first = a;
    if (bn)
        bn->m_prev = a;
    else
        m_last = a;
}

TListElement* TDoubleList::Replace(TListElement* old, TListElement* newElement) {
    if (old == newElement) return newElement;
    TListElement* before = old->m_prev;
    if (ShouldDeleteElements())
        Delete(old);
    else
        Detach(old);
    return InsertAfter(newElement, before);
}

void TDoubleList::Reverse() noexcept {
    for (TListElement* e = m_first; e; e = e->m_prev) std::swap(e->m_next, e->m_prev);
    std::swap(m_first, m_last);
}

// ---- Whole lists -----------------------------------------------------------------

void TDoubleList::Assign(const TDoubleList& other, void* context) {
    if (&other == this) return;
    if (ShouldDeleteElements())
        DeleteAll();
    else
        DetachAll();
    Insert(other, nullptr, context);
}

void TDoubleList::Insert(const TDoubleList& other, TListElement* pos, void* context) {
    // The clones are gathered first: a list copying itself would otherwise meet its
    // own new clones, and a clone that throws leaves this list untouched.
    TDoubleList clones(1, nullptr);
    for (TListElement* e = other.m_first; e; e = e->m_next) {
        TObject* clone = e->CreateClone(context);
        if (!clone) continue;  // an element that cannot be cloned is not copied
        clones.Append(static_cast<TListElement*>(clone));
    }
    Absorb(clones, pos);
}

void TDoubleList::Absorb(TDoubleList& other, TListElement* pos) noexcept {
    if (&other == this || !other.m_first) return;
    TListElement* head = other.m_first;
    TListElement* tail = other.m_last;
    TListElement* before = pos ? pos->m_prev : m_last;
    head->m_prev = before;
    tail->m_next = pos;
    if (before)
        before->m_next = head;
    else
        m_first = head;
    if (pos)
        pos->m_prev = tail;
    else
        m_last = tail;
    m_count += other.m_count;
    other.DetachAll();
}

void TDoubleList::AbsorbAndSort(TDoubleList& other) {
    if (&other == this) return;
    if ((m_flags & kSortedState) && (other.m_flags & kSortedState)) {
        if (!m_first) {
            Absorb(other, nullptr);
            return;
        }
        TListElement* p = m_first;
        TListElement* q = other.m_first;
        while (q) {
            if (p->Compare(*q, m_compareMode) <= 0) {
                p = p->m_next;
                if (!p) {
                    Absorb(other, nullptr);
                    return;
                }
            } else {
                TListElement* next = q->m_next;
                InsertBefore(other.Detach(q), p);
                q = next;
            }
        }
        return;
    }
    while (TListElement* q = other.m_first) InsertInSortedList(other.Detach(q));
}

void TDoubleList::Split(TDoubleList& other, TListElement* at) {
    if (&other == this || !at) return;
    other.Clear();
    const int32_t total = m_count;
    TListElement* before = at->m_prev;
    other.m_first = at;
    other.m_last = m_last;
    at->m_prev = nullptr;
    if (before)
        before->m_next = nullptr;
    else
        m_first = nullptr;
    m_last = before;
    int32_t kept = 0;
    for (TListElement* e = m_first; e; e = e->m_next) ++kept;
    m_count = kept;
    other.m_count = total - kept;
}

void TDoubleList::SwapWith(TDoubleList& other) noexcept {
    TCollection::SwapWith(other);
    std::swap(m_compareMode, other.m_compareMode);
    std::swap(m_first, other.m_first);
    std::swap(m_last, other.m_last);
}

// ---- Searches --------------------------------------------------------------------

TListElement* TDoubleList::FindEqual(const TListElement& probe) const {
    for (TListElement* e = m_first; e; e = e->m_next)
        if (e->Compare(probe, m_compareMode) == 0) return e;
    return nullptr;
}

int32_t TDoubleList::FindIndexOfEqual(const TListElement& probe) const {
    int32_t i = 0;
    for (TListElement* e = m_first; e; e = e->m_next, ++i)
        if (e->Compare(probe, m_compareMode) == 0) return i;
    return -1;
}

int32_t TDoubleList::FindIndexOfElement(const TListElement* target) const noexcept {
    int32_t i = 0;
    for (TListElement* e = m_first; e; e = e->m_next, ++i)
        if (e == target) return i;
    return -1;
}

TListElement* TDoubleList::FindFirstThat(char (*test)(const TObject&, const void*),
                                         const void* data) const {
    for (TListElement* e = m_first; e; e = e->m_next)
        if (test(*e, data)) return e;
    return nullptr;
}

TListElement* TDoubleList::FindLastThat(char (*test)(const TObject&, const void*),
                                        const void* data) const {
    for (TListElement* e = m_last; e; e = e->m_prev)
        if (test(*e, data)) return e;
    return nullptr;
}

TListElement* TDoubleList::FindSmallest() const {
    TListElement* best = m_first;
    for (TListElement* e = best ? best->m_next : nullptr; e; e = e->m_next)
        if (e->Compare(*best, m_compareMode) < 0) best = e;
    return best;
}

TListElement* TDoubleList::FindGreatest() const {
    TListElement* best = m_first;
    for (TListElement* e = best ? best->m_next : nullptr; e; e = e->m_next)
        if (e->Compare(*best, m_compareMode) > 0) best = e;
    return best;
}

TListElement* TDoubleList::FindClosestSmaller(const TListElement& probe) const {
    TListElement* best = nullptr;
    for (TListElement* e = m_first; e; e = e->m_next) {
        if (e->Compare(probe, m_compareMode) >= 0) continue;
        if (!best || e->Compare(*best, m_compareMode) > 0) best = e;
    }
    return best;
}

TListElement* TDoubleList::FindEqualOrSmaller(const TListElement& probe) const {
    TListElement* best = nullptr;
    for (TListElement* e = m_first; e; e = e->m_next) {
        const int c = e->Compare(probe, m_compareMode);
        if (c == 0) return e;
        if (c > 0) continue;
        if (!best || e->Compare(*best, m_compareMode) > 0) best = e;
    }
    return best;
}

TListElement* TDoubleList::FindClosestGreater(const TListElement& probe) const {
    TListElement* best = nullptr;
    for (TListElement* e = m_first; e; e = e->m_next) {
        if (e->Compare(probe, m_compareMode) <= 0) continue;
        if (!best || e->Compare(*best, m_compareMode) < 0) best = e;
    }
    return best;
}

TListElement* TDoubleList::FindEqualOrGreater(const TListElement& probe) const {
    TListElement* best = nullptr;
    for (TListElement* e = m_first; e; e = e->m_next) {
        const int c = e->Compare(probe, m_compareMode);
        if (c == 0) return e;
        if (c < 0) continue;
        if (!best || e->Compare(*best, m_compareMode) < 0) best = e;
    }
    return best;
}

// ---- Order -----------------------------------------------------------------------

void TDoubleList::Sort() {
    if (m_count >= 2) {
        TDoubleList second(0, nullptr);
        second.m_compareMode = m_compareMode;
        Split(second, Element(m_count / 2));
        try {
            Sort();
            second.Sort();
            AbsorbAndSort(second);
        } catch (...) {
            Absorb(second, nullptr);  // a Compare that throws loses no element
            throw;
        }
    }
    m_flags |= kSortedState;
}

char TDoubleList::IsSorted() const {
    for (TListElement* e = m_first; e && e->m_next; e = e->m_next)
        if (e->Compare(*e->m_next, m_compareMode) > 0) return 0;
    return 1;
}

char TDoubleList::IsSortedBackwards() const {
    for (TListElement* e = m_first; e && e->m_next; e = e->m_next)
        if (e->Compare(*e->m_next, m_compareMode) < 0) return 0;
    return 1;
}

void TDoubleList::Shuffle(int seed) {
    if (m_count < 2) return;
    TRandomizer random(seed);
    TListElement* p = m_last;
    for (int32_t i = 0; i < m_count && p; ++i) {
        TListElement* x = Element(int32_t(random.Get(uint32_t(m_count - i))));
        TListElement* before = p->m_prev;
        Swap(x, p);
        p = before;
    }
}

void TDoubleList::ForEach(void (*fn)(TObject&, void*), void* data) {
    for (TListElement* e = m_first; e;) {
        TListElement* next = e->m_next;
        fn(*e, data);
        e = next;
    }
}

char AreEqual(const TDoubleList& a, const TDoubleList& b, int compareMode) {
    if (&a == &b) return 1;
    if (a.GetCount() != b.GetCount()) return 0;
    for (TListElement *x = a.GetFirst(), *y = b.GetFirst(); x && y;
         x = x->GetNext(), y = y->GetNext())
        if (x->Compare(*y, compareMode) != 0) return 0;
    return 1;
}
