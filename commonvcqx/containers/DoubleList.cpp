// The intrusive double list: the list engine over the elements' own links, with the
// elements' Compare, CreateClone and Delete.
#include <commonvcqx/containers/DoubleList.h>
#include <commonvcqx/geometry/Randomizer.h>

#include <memory>
#include <span>
#include <utility>

TListElement::~TListElement() = default;

namespace {

int Sign(int c) {
    return (c > 0) - (c < 0);
}

enum class EAdmit { kSkip, kCandidate, kExact };

// The arrays' linear searches: among the elements `admit` lets in, the first that no
// later one beats (its Compare with the best so far has the sign `better`); an element
// `admit` calls exact ends the search at once.
template <class TAdmit>
TListElement* BestOf(TListElement* first, int mode, int better, TAdmit admit) {
    TListElement* best = nullptr;
    for (TListElement* e = first; e; e = e->GetNext()) {
        const EAdmit a = admit(*e);
        if (a == EAdmit::kExact) return e;
        if (a == EAdmit::kSkip) continue;
        if (!best || Sign(e->Compare(*best, mode)) == better) best = e;
    }
    return best;
}

// Admits the elements whose Compare with the probe has the sign `side`; with `orEqual`
// an equal one is exact.
auto Side(const TListElement& probe, int mode, int side, bool orEqual) {
    return [&probe, mode, side, orEqual](const TListElement& e) {
        const int c = Sign(e.Compare(probe, mode));
        if (c == 0 && orEqual) return EAdmit::kExact;
        return c == side ? EAdmit::kCandidate : EAdmit::kSkip;
    };
}

EAdmit All(const TListElement&) {
    return EAdmit::kCandidate;
}

}  // namespace

TDoubleList::TDoubleList(const TDoubleList& other)
    : TChainedCollection(other), m_compareMode(other.m_compareMode) {
    Insert(other, nullptr, nullptr);
}

TDoubleList& TDoubleList::operator=(const TDoubleList& other) {
    if (&other == this) return *this;
    Clear();
    TChainedCollection::operator=(other);
    m_compareMode = other.m_compareMode;
    Insert(other, nullptr, nullptr);
    return *this;
}

TDoubleList::~TDoubleList() {
    if (ShouldDeleteElements()) DeleteAll();
}

// ---- Navigation and insertion ----------------------------------------------------

TListElement* TDoubleList::Element(int32_t index) const noexcept {
    return m_chain.At(index);
}

TListElement* TDoubleList::Prepend(TListElement* e) noexcept {
    m_chain.PushFront(*e);
    SyncCount();
    return e;
}

TListElement* TDoubleList::Append(TListElement* e) noexcept {
    m_chain.PushBack(*e);
    SyncCount();
    return e;
}

TListElement* TDoubleList::InsertAfter(TListElement* e, TListElement* pos) noexcept {
    m_chain.InsertAfter(*e, pos);
    SyncCount();
    return e;
}

TListElement* TDoubleList::InsertBefore(TListElement* e, TListElement* pos) noexcept {
    m_chain.InsertBefore(*e, pos);
    SyncCount();
    return e;
}

TListElement* TDoubleList::InsertInSortedList(TListElement* e) {
    return InsertBefore(e, SortedPlace(*e));
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
    m_chain.Unlink(*e);
    SyncCount();
    return e;
}

void TDoubleList::Delete(TListElement* e) {
    if (!e) return;
    Detach(e)->Delete();
}

void TDoubleList::DetachAll() noexcept {
    m_chain.Clear();
    SyncCount();
}

void TDoubleList::DeleteAll() {
    // Each element leaves the list before it is deleted: a destructor that looks at
    // the list never finds a freed element in it.
    while (TListElement* e = GetFirst()) Detach(e)->Delete();
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

// ---- Moving ----------------------------------------------------------------------

void TDoubleList::MoveToFront(TListElement* e) noexcept {
    if (e == GetFirst()) return;
    Prepend(Detach(e));
}

void TDoubleList::MoveToEnd(TListElement* e) noexcept {
    if (e == GetLast()) return;
    Append(Detach(e));
}

void TDoubleList::MoveAt(TListElement* e, TListElement* target) noexcept {
    if (e == target) return;
    const TListElement* met =
        m_chain.FindFirst([e, target](const TListElement& x) { return &x == e || &x == target; });
    if (met == e)
        InsertAfter(Detach(e), target);
    else if (met == target)
        InsertBefore(Detach(e), target);
}

void TDoubleList::Swap(TListElement* a, TListElement* b) noexcept {
    m_chain.Exchange(*a, *b);
}

TListElement* TDoubleList::Replace(TListElement* old, TListElement* newElement) {
    if (old == newElement) return newElement;
    TListElement* before = old->GetPrev();
    if (ShouldDeleteElements())
        Delete(old);
    else
        Detach(old);
    return InsertAfter(newElement, before);
}

// ---- Whole lists -----------------------------------------------------------------

void TDoubleList::Assign(const TDoubleList& other, void* context) {
    if (&other == this) return;
    Clear();
    Insert(other, nullptr, context);
}

void TDoubleList::Insert(const TDoubleList& other, TListElement* pos, void* context) {
    // The clones are gathered first: a list copying itself would otherwise meet its
    // own new clones, and a clone that throws leaves this list untouched.
    TDoubleList clones(1, nullptr);
    for (TListElement* e = other.GetFirst(); e; e = e->GetNext()) {
        TObject* clone = e->CreateClone(context);
        if (!clone) continue;  // an element that cannot be cloned is not copied
        clones.Append(static_cast<TListElement*>(clone));
    }
    Absorb(clones, pos);
}

void TDoubleList::Absorb(TDoubleList& other, TListElement* pos) noexcept {
    AbsorbChain(other, pos);
}

void TDoubleList::Split(TDoubleList& other, TListElement* at) {
    if (&other == this || !at) return;
    other.Clear();
    SplitChain(other, *at);
}

void TDoubleList::SwapWith(TDoubleList& other) noexcept {
    TChainedCollection::SwapWith(other);
    std::swap(m_compareMode, other.m_compareMode);
}

// ---- Searches --------------------------------------------------------------------

TListElement* TDoubleList::FindEqual(const TListElement& probe) const {
    return m_chain.FindFirst([&probe, mode = m_compareMode](const TListElement& e) {
        return e.Compare(probe, mode) == 0;
    });
}

int32_t TDoubleList::FindIndexOfEqual(const TListElement& probe) const {
    return m_chain.IndexOfFirst([&probe, mode = m_compareMode](const TListElement& e) {
        return e.Compare(probe, mode) == 0;
    });
}

int32_t TDoubleList::FindIndexOfElement(const TListElement* target) const noexcept {
    return m_chain.IndexOfFirst([target](const TListElement& e) { return &e == target; });
}

TListElement* TDoubleList::FindFirstThat(char (*test)(const TObject&, const void*),
                                         const void* data) const {
    return m_chain.FindFirst([test, data](const TListElement& e) { return test(e, data) != 0; });
}

TListElement* TDoubleList::FindLastThat(char (*test)(const TObject&, const void*),
                                        const void* data) const {
    return m_chain.FindLast([test, data](const TListElement& e) { return test(e, data) != 0; });
}

TListElement* TDoubleList::FindSmallest() const {
    return BestOf(GetFirst(), m_compareMode, -1, All);
}

TListElement* TDoubleList::FindGreatest() const {
    return BestOf(GetFirst(), m_compareMode, 1, All);
}

TListElement* TDoubleList::FindClosestSmaller(const TListElement& probe) const {
    return BestOf(GetFirst(), m_compareMode, 1, Side(probe, m_compareMode, -1, false));
}

TListElement* TDoubleList::FindEqualOrSmaller(const TListElement& probe) const {
    return BestOf(GetFirst(), m_compareMode, 1, Side(probe, m_compareMode, -1, true));
}

TListElement* TDoubleList::FindClosestGreater(const TListElement& probe) const {
    return BestOf(GetFirst(), m_compareMode, -1, Side(probe, m_compareMode, 1, false));
}

TListElement* TDoubleList::FindEqualOrGreater(const TListElement& probe) const {
    return BestOf(GetFirst(), m_compareMode, -1, Side(probe, m_compareMode, 1, true));
}

// ---- Order -----------------------------------------------------------------------

void TDoubleList::Shuffle(int seed) {
    if (m_count < 2) return;
    std::unique_ptr<TListElement*[]> scratch(new TListElement*[size_t(m_count)]);
    TRandomizer random(seed);
    m_chain.Shuffle(std::span(scratch.get(), size_t(m_count)),
                    [&random](uint32_t n) { return random.Get(n); });
}

void TDoubleList::ForEach(void (*fn)(TObject&, void*), void* data) {
    m_chain.ForEach([fn, data](TListElement& e) { fn(e, data); });
}

char AreEqual(const TDoubleList& a, const TDoubleList& b, int compareMode) {
    if (&a == &b) return 1;
    if (a.GetCount() != b.GetCount()) return 0;
    for (TListElement *x = a.GetFirst(), *y = b.GetFirst(); x && y;
         x = x->GetNext(), y = y->GetNext())
        if (x->Compare(*y, compareMode) != 0) return 0;
    return 1;
}
