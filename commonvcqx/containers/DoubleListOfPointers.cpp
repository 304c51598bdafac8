// The list of pointers: one node per element, found by walking from the front.
#include <commonvcqx/containers/DoubleListOfPointers.h>
#include <commonvcqx/geometry/Randomizer.h>

#include <utility>

namespace {

// Without a comparer, pointers order by address (equal only when identical).
int32_t ComparePointers(TCollectionOfPointers::TComparer comparer, const void* a, const void* b) {
    if (comparer) return comparer(a, b);
    return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

TDoubleListOfPointers::TDoubleListOfPointers(const TDoubleListOfPointers& other)
    : TCollectionOfPointers(other) {
    Insert(other, nullptr, nullptr);
}

TDoubleListOfPointers& TDoubleListOfPointers::operator=(const TDoubleListOfPointers& other) {
    if (&other == this) return *this;
    Clear();
    TCollectionOfPointers::operator=(other);
    Insert(other, nullptr, nullptr);
    return *this;
}

TDoubleListOfPointers::~TDoubleListOfPointers() {
    Clear();
}

// ---- Nodes -----------------------------------------------------------------------

TListNode* TDoubleListOfPointers::NewNode(void* e) {
    return new TListNode{nullptr, nullptr, e};
}

void TDoubleListOfPointers::LinkBefore(TListNode* node, TListNode* pos) noexcept {
    node->next = pos;
    node->prev = pos ? pos->prev : m_last;
    if (node->prev)
        node->prev->next = node;
    else
        m_first = node;
    if (pos)
        pos->prev = node;
    else
        m_last = node;
    ++m_count;
}

void TDoubleListOfPointers::LinkAfter(TListNode* node, TListNode* pos) noexcept {
    LinkBefore(node, pos ? pos->next : m_first);
}

void* TDoubleListOfPointers::DetachNode(TListNode* node) noexcept {
    if (!node) return nullptr;
    if (node->prev)
        node->prev->next = node->next;
    else
        m_first = node->next;
    if (node->next)
        node->next->prev = node->prev;
    else
        m_last = node->prev;
    --m_count;
    void* e = node->element;
    delete node;
    return e;
}

TListNode* TDoubleListOfPointers::FindNode(int32_t index) const noexcept {
    TListNode* n = m_first;
    while (index-- > 0 && n) n = n->next;
    return n;
}

TListNode* TDoubleListOfPointers::FindNode(const void* e) const noexcept {
    for (TListNode* n = m_first; n; n = n->next)
        if (n->element == e) return n;
    return nullptr;
}

void* TDoubleListOfPointers::GetNext(const void* e) const noexcept {
    TListNode* n = FindNode(e);
    return n && n->next ? n->next->element : nullptr;
}

void* TDoubleListOfPointers::GetPrev(const void* e) const noexcept {
    TListNode* n = FindNode(e);
    return n && n->prev ? n->prev->element : nullptr;
}

void* TDoubleListOfPointers::Element(int32_t index) const noexcept {
    TListNode* n = FindNode(index);
    return n ? n->element : nullptr;
}

// ---- Insertion and removal -------------------------------------------------------

void* TDoubleListOfPointers::Prepend(void* e) {
    LinkBefore(NewNode(e), m_first);
    return e;
}

void* TDoubleListOfPointers::Append(void* e) {
    LinkBefore(NewNode(e), nullptr);
    return e;
}

void* TDoubleListOfPointers::InsertAfter(void* e, const void* pos) {
    TListNode* at = pos ? FindNode(pos) : nullptr;
    LinkAfter(NewNode(e), at);
    return e;
}

void* TDoubleListOfPointers::InsertBefore(void* e, const void* pos) {
    TListNode* at = pos ? FindNode(pos) : nullptr;
    LinkBefore(NewNode(e), at);
    return e;
}

void* TDoubleListOfPointers::InsertInSortedList(void* e) {
    TListNode* n = m_first;
    while (n && ComparePointers(m_comparer, e, n->element) >= 0) n = n->next;
    LinkBefore(NewNode(e), n);
    return e;
}

void* TDoubleListOfPointers::AddUnique(void* e) {
    TListNode* found = nullptr;
    for (TListNode* n = m_first; n && !found; n = n->next)
        if (ComparePointers(m_comparer, n->element, e) == 0) found = n;
    if (!found) return Append(e);
    if (ShouldDeleteElements() && found->element != e) DeleteElement(e);
    return found->element;
}

void* TDoubleListOfPointers::Detach(const void* e) noexcept {
    if (!e) return nullptr;
    return DetachNode(FindNode(e));
}

void TDoubleListOfPointers::Delete(const void* e) {
    TListNode* n = e ? FindNode(e) : nullptr;
    if (n) DeleteElement(DetachNode(n));
}

void TDoubleListOfPointers::DeleteFirst() {
    if (m_first) DeleteElement(DetachNode(m_first));
}

void TDoubleListOfPointers::DeleteLast() {
    if (m_last) DeleteElement(DetachNode(m_last));
}

void TDoubleListOfPointers::DetachAll() noexcept {
    while (m_first) DetachNode(m_first);
}

void TDoubleListOfPointers::DeleteAll() {
    while (m_first) DeleteElement(DetachNode(m_first));
}

void* TDoubleListOfPointers::DetachEqual(const void* probe) {
    for (TListNode* n = m_first; n; n = n->next)
        if (ComparePointers(m_comparer, n->element, probe) == 0) return DetachNode(n);
    return nullptr;
}

char TDoubleListOfPointers::DeleteEqual(const void* probe) {
    for (TListNode* n = m_first; n; n = n->next) {
        if (ComparePointers(m_comparer, n->element, probe) == 0) {
            DeleteElement(DetachNode(n));
            return 1;
        }
    }
    return 0;
}

void TDoubleListOfPointers::Clear() {
    if (ShouldDeleteElements())
        DeleteAll();
    else
        DetachAll();
}

// ---- Moving ----------------------------------------------------------------------

void TDoubleListOfPointers::MoveToFront(const void* e) {
    void* p = Detach(e);
    if (p) Prepend(p);
}

void TDoubleListOfPointers::MoveToEnd(const void* e) {
    void* p = Detach(e);
    if (p) Append(p);
}

void TDoubleListOfPointers::MoveAt(const void* e, const void* target) {
    if (e == target) return;
    for (TListNode* n = m_first; n; n = n->next) {
        if (n->element == e) {
            void* p = Detach(e);
            InsertAfter(p, target);
            return;
        }
        if (n->element == target) {
            void* p = Detach(e);
            InsertBefore(p, target);
            return;
        }
    }
}

void TDoubleListOfPointers::Swap(const void* a, const void* b) noexcept {
    if (a == b) return;
    TListNode* x = FindNode(a);
    TListNode* y = FindNode(b);
    if (x && y) std::swap(x->element, y->element);
}

void* TDoubleListOfPointers::Replace(const void* old, void* newElement) {
    if (old == newElement) return newElement;
    TListNode* n = FindNode(old);
    if (!n) return newElement;
    void* previous = n->element;
    n->element = newElement;
    if (ShouldDeleteElements()) DeleteElement(previous);
    return newElement;
}

void TDoubleListOfPointers::Reverse() noexcept {
    for (TListNode* n = m_first; n; n = n->prev) std::swap(n->next, n->prev);
    std::swap(m_first, m_last);
}

// ---- Whole lists -----------------------------------------------------------------

void TDoubleListOfPointers::Assign(const TDoubleListOfPointers& other, void* context) {
    if (&other == this) return;
    Clear();
    Insert(other, nullptr, context);
}

void TDoubleListOfPointers::Insert(const TDoubleListOfPointers& other, const void* pos,
                                   void* context) {
    // Gathered first (a list may copy itself); on a failure the clones made so far are
    // deleted with this list's deleter and this list stays as it was.
    TDoubleListOfPointers clones(1);
    clones.m_deleter = m_deleter;
    for (TListNode* n = other.m_first; n; n = n->next) {
        void* copy = other.m_cloner ? other.m_cloner(n->element, context) : n->element;
        try {
            clones.Append(copy);
        } catch (...) {
            if (other.m_cloner) clones.DeleteElement(copy);
            if (!other.m_cloner) clones.DetachAll();
            throw;
        }
    }
    if (!other.m_cloner) clones.ShouldDeleteElements(0);
    Absorb(clones, pos);
}

void TDoubleListOfPointers::Absorb(TDoubleListOfPointers& other, const void* pos) noexcept {
    if (&other == this || !other.m_first) return;
    TListNode* at = pos ? FindNode(pos) : nullptr;
    TListNode* before = at ? at->prev : m_last;
    other.m_first->prev = before;
    other.m_last->next = at;
    if (before)
        before->next = other.m_first;
    else
        m_first = other.m_first;
    if (at)
        at->prev = other.m_last;
    else
        m_last = other.m_last;
    m_count += other.m_count;
    other.m_first = other.m_last = nullptr;
    other.m_count = 0;
}

void TDoubleListOfPointers::AbsorbAndSort(TDoubleListOfPointers& other) {
    if (&other == this) return;
    if ((m_flags & kSortedState) && (other.m_flags & kSortedState)) {
        if (!m_first) {
            Absorb(other, nullptr);
            return;
        }
        TListNode* p = m_first;
        TListNode* q = other.m_first;
        while (q) {
            if (ComparePointers(m_comparer, p->element, q->element) <= 0) {
                p = p->next;
                if (!p) {
                    Absorb(other, nullptr);
                    return;
                }
            } else {
                // The node itself moves across: no allocation while merging.
                TListNode* next = q->next;
                if (q->prev)
                    q->prev->next = q->next;
                else
                    other.m_first = q->next;
                if (q->next)
                    q->next->prev = q->prev;
                else
                    other.m_last = q->prev;
                --other.m_count;
                LinkBefore(q, p);
                q = next;
            }
        }
        return;
    }
    while (other.m_first) {
        TListNode* q = other.m_first;
        other.m_first = q->next;
        if (other.m_first)
            other.m_first->prev = nullptr;
        else
            other.m_last = nullptr;
        --other.m_count;
        TListNode* n = m_first;
        while (n && ComparePointers(m_comparer, q->element, n->element) >= 0) n = n->next;
        LinkBefore(q, n);
    }
}

void TDoubleListOfPointers::Split(TDoubleListOfPointers& other, const void* at) {
    if (&other == this) return;
    SplitAt(other, FindNode(at));
}

void TDoubleListOfPointers::SplitAt(TDoubleListOfPointers& other, TListNode* node) {
    if (!node) return;
    other.Clear();
    const int32_t total = m_count;
    TListNode* before = node->prev;
    other.m_first = node;
    other.m_last = m_last;
    node->prev = nullptr;
    if (before)
        before->next = nullptr;
    else
        m_first = nullptr;
    m_last = before;
    int32_t kept = 0;
    for (TListNode* n = m_first; n; n = n->next) ++kept;
    m_count = kept;
    other.m_count = total - kept;
}

void TDoubleListOfPointers::SwapWith(TDoubleListOfPointers& other) noexcept {
    TCollectionOfPointers::SwapWith(other);
    std::swap(m_first, other.m_first);
    std::swap(m_last, other.m_last);
}

// ---- Searches and order ----------------------------------------------------------

void* TDoubleListOfPointers::FindEqual(const void* probe) const {
    for (TListNode* n = m_first; n; n = n->next)
        if (ComparePointers(m_comparer, n->element, probe) == 0) return n->element;
    return nullptr;
}

int32_t TDoubleListOfPointers::FindIndexOfEqual(const void* probe) const {
    int32_t i = 0;
    for (TListNode* n = m_first; n; n = n->next, ++i)
        if (ComparePointers(m_comparer, n->element, probe) == 0) return i;
    return -1;
}

int32_t TDoubleListOfPointers::FindIndexOfElement(const void* e) const noexcept {
    int32_t i = 0;
    for (TListNode* n = m_first; n; n = n->next, ++i)
        if (n->element == e) return i;
    return -1;
}

void* TDoubleListOfPointers::FindFirstThat(char (*test)(const void*, const void*),
                                           const void* data) const {
    for (TListNode* n = m_first; n; n = n->next)
        if (test(n->element, data)) return n->element;
    return nullptr;
}

void* TDoubleListOfPointers::FindLastThat(char (*test)(const void*, const void*),
                                          const void* data) const {
    for (TListNode* n = m_last; n; n = n->prev)
        if (test(n->element, data)) return n->element;
    return nullptr;
}

void TDoubleListOfPointers::Sort() {
    if (m_count >= 2) {
        TDoubleListOfPointers second(0);
        second.m_comparer = m_comparer;
        SplitAt(second, FindNode(m_count / 2));
        try {
            Sort();
            second.Sort();
            AbsorbAndSort(second);
        } catch (...) {
            Absorb(second, nullptr);
            throw;
        }
    }
    m_flags |= kSortedState;
}

char TDoubleListOfPointers::IsSorted() const {
    for (TListNode* n = m_first; n && n->next; n = n->next)
        if (ComparePointers(m_comparer, n->element, n->next->element) > 0) return 0;
    return 1;
}

char TDoubleListOfPointers::IsSortedBackwards() const {
    for (TListNode* n = m_first; n && n->next; n = n->next)
        if (ComparePointers(m_comparer, n->element, n->next->element) < 0) return 0;
    return 1;
}

void TDoubleListOfPointers::Shuffle(int seed) {
    if (m_count < 2) return;
    TRandomizer random(seed);
    TListNode* current = m_last;
    for (int32_t i = 0; i < m_count && current; ++i) {
        TListNode* k = FindNode(int32_t(random.Get(uint32_t(m_count - i))));
        std::swap(k->element, current->element);
        current = current->prev;
    }
}

void TDoubleListOfPointers::ForEach(void (*fn)(void*, void*), void* data) {
    for (TListNode* n = m_first; n;) {
        TListNode* next = n->next;
        fn(n->element, data);
        n = next;
    }
}

char AreEqual(const TDoubleListOfPointers& a, const TDoubleListOfPointers& b) {
    if (&a == &b) return 1;
    if (a.GetCount() != b.GetCount()) return 0;
    for (TListNode *x = a.GetFirstNode(), *y = b.GetFirstNode(); x && y; x = x->next, y = y->next)
        if (ComparePointers(a.GetComparer(), x->element, y->element) != 0) return 0;
    return 1;
}
