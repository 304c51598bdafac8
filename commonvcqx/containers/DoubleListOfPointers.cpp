// The list of pointers: the list engine over nodes of its own, one per element, found
// by walking from the front.
#include <commonvcqx/containers/DoubleListOfPointers.h>
#include <commonvcqx/geometry/Randomizer.h>

#include <memory>
#include <utility>

namespace {

// Without a comparer, pointers order by address (equal only when identical).
int32_t ComparePointers(TCollectionOfPointers::TComparer comparer, const void* a, const void* b) {
    if (comparer) return comparer(a, b);
    return a < b ? -1 : (a > b ? 1 : 0);
}

// The nodes whose element compares 0 with the probe (element first).
auto EqualTo(TCollectionOfPointers::TComparer comparer, const void* probe) {
    return [comparer, probe](const TListNode& n) {
        return ComparePointers(comparer, n.element, probe) == 0;
    };
}

auto Holding(const void* e) {
    return [e](const TListNode& n) { return n.element == e; };
}

}  // namespace

TDoubleListOfPointers::TDoubleListOfPointers(const TDoubleListOfPointers& other)
    : TChainedCollection(other) {
    Insert(other, nullptr, nullptr);
}

TDoubleListOfPointers& TDoubleListOfPointers::operator=(const TDoubleListOfPointers& other) {
    if (&other == this) return *this;
    Clear();
    TChainedCollection::operator=(other);
    Insert(other, nullptr, nullptr);
    return *this;
}

TDoubleListOfPointers::~TDoubleListOfPointers() {
    Clear();
}

// ---- Nodes -----------------------------------------------------------------------

int32_t TDoubleListOfPointers::CompareNodes(const TListNode& a, const TListNode& b) const {
    return ComparePointers(m_comparer, a.element, b.element);
}

void* TDoubleListOfPointers::DetachNode(TListNode* node) noexcept {
    if (!node) return nullptr;
    m_chain.Unlink(*node);
    SyncCount();
    void* e = node->element;
    delete node;
    return e;
}

TListNode* TDoubleListOfPointers::FindNode(int32_t index) const noexcept {
    return m_chain.At(index);
}

TListNode* TDoubleListOfPointers::FindNode(const void* e) const noexcept {
    return m_chain.FindFirst(Holding(e));
}

void* TDoubleListOfPointers::GetNext(const void* e) const noexcept {
    TListNode* n = FindNode(e);
    return n ? ElementOf(n->next) : nullptr;
}

void* TDoubleListOfPointers::GetPrev(const void* e) const noexcept {
    TListNode* n = FindNode(e);
    return n ? ElementOf(n->prev) : nullptr;
}

void* TDoubleListOfPointers::Element(int32_t index) const noexcept {
    return ElementOf(FindNode(index));
}

// ---- Insertion and removal -------------------------------------------------------

void* TDoubleListOfPointers::Prepend(void* e) {
    m_chain.PushFront(*new TListNode{nullptr, nullptr, e});
    SyncCount();
    return e;
}

void* TDoubleListOfPointers::Append(void* e) {
    m_chain.PushBack(*new TListNode{nullptr, nullptr, e});
    SyncCount();
    return e;
}

void* TDoubleListOfPointers::InsertAfter(void* e, const void* pos) {
    TListNode* at = pos ? FindNode(pos) : nullptr;
    m_chain.InsertAfter(*new TListNode{nullptr, nullptr, e}, at);
    SyncCount();
    return e;
}

void* TDoubleListOfPointers::InsertBefore(void* e, const void* pos) {
    TListNode* at = pos ? FindNode(pos) : nullptr;
    m_chain.InsertBefore(*new TListNode{nullptr, nullptr, e}, at);
    SyncCount();
    return e;
}

void* TDoubleListOfPointers::InsertInSortedList(void* e) {
    const TListNode probe{nullptr, nullptr, e};
    TListNode* pos = SortedPlace(probe);
    m_chain.InsertBefore(*new TListNode{nullptr, nullptr, e}, pos);
    SyncCount();
    return e;
}

void* TDoubleListOfPointers::AddUnique(void* e) {
    TListNode* found = m_chain.FindFirst(EqualTo(m_comparer, e));
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
    if (TListNode* n = m_chain.First()) DeleteElement(DetachNode(n));
}

void TDoubleListOfPointers::DeleteLast() {
    if (TListNode* n = m_chain.Last()) DeleteElement(DetachNode(n));
}

void TDoubleListOfPointers::DetachAll() noexcept {
    m_chain.ForEach([](TListNode& n) { delete &n; });
    m_chain.Clear();
    SyncCount();
}

void TDoubleListOfPointers::DeleteAll() {
    while (TListNode* n = m_chain.First()) DeleteElement(DetachNode(n));
}

void* TDoubleListOfPointers::DetachEqual(const void* probe) {
    return DetachNode(m_chain.FindFirst(EqualTo(m_comparer, probe)));
}

char TDoubleListOfPointers::DeleteEqual(const void* probe) {
    TListNode* n = m_chain.FindFirst(EqualTo(m_comparer, probe));
    if (!n) return 0;
    DeleteElement(DetachNode(n));
    return 1;
}

// ---- Moving: the nodes move, nothing is allocated ----------------------------------

void TDoubleListOfPointers::MoveToFront(const void* e) {
    TListNode* n = e ? FindNode(e) : nullptr;
    if (n && n != m_chain.First()) m_chain.MoveBefore(*n, m_chain.First());
}

void TDoubleListOfPointers::MoveToEnd(const void* e) {
    TListNode* n = e ? FindNode(e) : nullptr;
    if (n) m_chain.MoveBefore(*n, nullptr);
}

void TDoubleListOfPointers::MoveAt(const void* e, const void* target) {
    if (e == target) return;
    TListNode* met = m_chain.FindFirst(
        [e, target](const TListNode& n) { return n.element == e || n.element == target; });
    if (!met) return;
    TListNode* node = met->element == e ? met : FindNode(e);
    if (!node) return;
    m_chain.Unlink(*node);
    if (node == met)
        m_chain.InsertAfter(*node, FindNode(target));
    else
        m_chain.InsertBefore(*node, met);
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
    for (TListNode* n = other.GetFirstNode(); n; n = n->next) {
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
    if (&other == this || other.IsEmpty()) return;
    AbsorbChain(other, pos ? FindNode(pos) : nullptr);
}

void TDoubleListOfPointers::Split(TDoubleListOfPointers& other, const void* at) {
    if (&other == this) return;
    TListNode* node = FindNode(at);
    if (!node) return;
    other.Clear();
    SplitChain(other, *node);
}

void TDoubleListOfPointers::SwapWith(TDoubleListOfPointers& other) noexcept {
    TChainedCollection::SwapWith(other);
}

// ---- Searches and order ----------------------------------------------------------

void* TDoubleListOfPointers::FindEqual(const void* probe) const {
    return ElementOf(m_chain.FindFirst(EqualTo(m_comparer, probe)));
}

int32_t TDoubleListOfPointers::FindIndexOfEqual(const void* probe) const {
    return m_chain.IndexOfFirst(EqualTo(m_comparer, probe));
}

int32_t TDoubleListOfPointers::FindIndexOfElement(const void* e) const noexcept {
    return m_chain.IndexOfFirst(Holding(e));
}

void* TDoubleListOfPointers::FindFirstThat(char (*test)(const void*, const void*),
                                           const void* data) const {
    return ElementOf(
        m_chain.FindFirst([test, data](const TListNode& n) { return test(n.element, data) != 0; }));
}

void* TDoubleListOfPointers::FindLastThat(char (*test)(const void*, const void*),
                                          const void* data) const {
    return ElementOf(
        m_chain.FindLast([test, data](const TListNode& n) { return test(n.element, data) != 0; }));
}

void TDoubleListOfPointers::Shuffle(int seed) {
    if (m_count < 2) return;
    // The walk from the last node exchanges its pointer with the one at a drawn index
    // and steps back one node: a Fisher-Yates shuffle of the pointers in node order.
    const int32_t n = m_count;
    std::unique_ptr<void*[]> elements(new void*[size_t(n)]);
    int32_t i = 0;
    m_chain.ForEach([&](TListNode& node) { elements[size_t(i++)] = node.element; });
    TRandomizer random(seed);
    for (i = 0; i < n; ++i)
        std::swap(elements[random.Get(uint32_t(n - i))], elements[size_t(n - 1 - i)]);
    i = 0;
    m_chain.ForEach([&](TListNode& node) { node.element = elements[size_t(i++)]; });
}

void TDoubleListOfPointers::ForEach(void (*fn)(void*, void*), void* data) {
    m_chain.ForEach([fn, data](TListNode& n) { fn(n.element, data); });
}

char AreEqual(const TDoubleListOfPointers& a, const TDoubleListOfPointers& b) {
    if (&a == &b) return 1;
    if (a.GetCount() != b.GetCount()) return 0;
    for (TListNode *x = a.GetFirstNode(), *y = b.GetFirstNode(); x && y; x = x->next, y = y->next)
        if (ComparePointers(a.GetComparer(), x->element, y->element) != 0) return 0;
    return 1;
}
