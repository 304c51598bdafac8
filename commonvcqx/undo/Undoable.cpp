// Snapshots on two stacks: filing, dropping, packing, trimming, undo and redo.
#include <commonvcqx/undo/Undoable.h>

#include <commonvcqx/base/CheckedArithmetic.h>

namespace {

// No action has this name: nothing is excluded.
constexpr const char* kNoExcludedName = "%%%%%%%%";

bool SameRun(const TUndoMemento& a, const TUndoMemento& b) {
    return a.GetActionInstance() == b.GetActionInstance() && a.GetActionName() == b.GetActionName();
}

// A memento the object owns but has not filed yet: deleted unless kept, so that a host
// operation that throws on the way loses nothing.
class TPendingMemento {
public:
    explicit TPendingMemento(TUndoMemento* memento) noexcept : m_memento(memento) {}
    ~TPendingMemento() {
        if (m_memento) m_memento->Delete();
    }
    TPendingMemento(const TPendingMemento&) = delete;
    TPendingMemento& operator=(const TPendingMemento&) = delete;

    TUndoMemento* Get() const noexcept { return m_memento; }
    void Keep() noexcept { m_memento = nullptr; }

private:
    TUndoMemento* m_memento;
};

}  // namespace

// Marks the memento being applied while ApplyMemento runs. Finish hands it over, out of
// its list; left by an exception, it stays in its list, or is deleted if it left it.
class TUndoable::TApplication {
public:
    TApplication(TUndoable& owner, TUndoMemento* memento) noexcept : m_owner(owner) {
        owner.m_applying = memento;
        owner.m_applyingDetached = false;
    }
    ~TApplication() {
        TUndoMemento* memento = m_owner.m_applying;
        if (!memento) return;
        m_owner.m_applying = nullptr;
        if (m_owner.m_applyingDetached) memento->Delete();
    }
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    TUndoMemento* Finish(TStack& stack) noexcept {
        TUndoMemento* memento = m_owner.m_applying;
        m_owner.m_applying = nullptr;
        if (!m_owner.m_applyingDetached) Detach(stack, memento);
        return memento;
    }

private:
    TUndoable& m_owner;
};

TUndoable::TUndoable() : TUndoable(0x7FFFFFFF) {}

TUndoable::TUndoable(int32_t maximumNumber)
    : m_maximumNumber(maximumNumber), m_excludedName(kNoExcludedName) {}

TUndoable::TUndoable(const TUndoable& other)
    : m_undo(other.m_undo),
      m_redo(other.m_redo),
      m_undoDisabled(other.m_undoDisabled),
      m_maximumNumber(other.m_maximumNumber),
      m_excludedName(other.m_excludedName) {
    Recount(m_undo);
    Recount(m_redo);
}

TUndoable& TUndoable::operator=(const TUndoable& other) {
    if (&other == this) return *this;
    // Clones first: a clone or a cost report that throws leaves this object as it was.
    TStack undo(other.m_undo);
    TStack redo(other.m_redo);
    Recount(undo);
    Recount(redo);
    DiscardAll(m_undo);
    DiscardAll(m_redo);
    m_undo.list.SwapWith(undo.list);
    m_undo.sums = undo.sums;
    m_redo.list.SwapWith(redo.list);
    m_redo.sums = redo.sums;
    m_undoDisabled = other.m_undoDisabled;
    m_maximumNumber = other.m_maximumNumber;
    m_excludedName = other.m_excludedName;
    return *this;
}

TUndoable::~TUndoable() = default;

void TUndoable::AdoptMemento(TUndoMemento* memento) {
    AddToUndoList(memento, 0);
}

char TUndoable::AdoptMementoIfDifference(TUndoMemento* memento, const TUndoMemento& reference) {
    if (!memento) return 0;
    TPendingMemento pending(memento);
    if (memento->IsSameState(reference)) return 0;
    pending.Keep();
    AddToUndoList(memento, 0);
    return 1;
}

void TUndoable::UndoCurrentState() {
    if (m_applying || m_undo.list.IsEmpty()) return;
    TUndoMemento* result = nullptr;
    TPendingMemento applied(ApplyNewest(m_undo, 0, result));
    if (result == applied.Get()) applied.Keep();
    AddToRedoList(result);
}

void TUndoable::RedoLastUndoneState() {
    if (m_applying || m_redo.list.IsEmpty()) return;
    TUndoMemento* result = nullptr;
    TPendingMemento applied(ApplyNewest(m_redo, 1, result));
    if (result == applied.Get()) applied.Keep();
    AddToUndoList(result, 1);
}

void TUndoable::ClearUndoMementos() {
    DiscardAll(m_undo);
    DiscardAll(m_redo);
}

char TUndoable::IsUndoEnabledFor(const TString& actionName) const {
    if (!IsUndoEnabled()) return 0;
    const TUndoMemento* newest = m_undo.list.GetFirst();
    const bool pending = newest ? newest->GetActionName() == actionName : actionName.IsEmpty();
    return !(pending && actionName == m_excludedName);
}

void TUndoable::SaveUndoMementosWithAnyName() {
    m_excludedName = kNoExcludedName;
}

void TUndoable::SetMaxNumOfUndoMementos(int32_t number) {
    if (number >= m_maximumNumber) return;
    m_maximumNumber = number;
    TrimTo(m_undo, number);
    TrimTo(m_redo, number);
}

uint32_t TUndoable::GetNumInvolvedUndoFiles() const {
    return cvq::SaturateToUInt32(m_undo.sums.files);
}

uint32_t TUndoable::GetInvolvedUndoMemory() const {
    return cvq::SaturateToUInt32(m_undo.sums.memory + m_redo.sums.memory);
}

uint32_t TUndoable::GetInvolvedUndoDiskSpace() const {
    return cvq::SaturateToUInt32(m_undo.sums.diskSpace);
}

char TUndoable::HasMajorModification() const {
    return m_undo.sums.majors > 0;
}

TString TUndoable::GetPendingActionName(const TStack& stack) {
    const TUndoMemento* newest = stack.list.GetFirst();
    return newest ? newest->GetActionName() : TString();
}

void TUndoable::Push(TStack& stack, TUndoMemento* memento) {
    // Every report is read before the memento is linked, so one that throws leaves the
    // stack and its sums untouched.
    const uint32_t memory = memento->GetInvolvedMemory();
    const uint32_t diskSpace = memento->GetInvolvedDiskSpace();
    const uint32_t files = memento->GetNumInvolvedFiles();
    memento->m_filedMemory = memory;
    memento->m_filedDiskSpace = diskSpace;
    memento->m_filedFiles = files;
    stack.sums.memory += memory;
    stack.sums.diskSpace += diskSpace;
    stack.sums.files += files;
    if (memento->IsMajorModification()) ++stack.sums.majors;
    stack.list.Prepend(memento);
}

void TUndoable::Detach(TStack& stack, TUndoMemento* memento) noexcept {
    stack.list.Detach(memento);
    stack.sums.memory -= memento->m_filedMemory;
    stack.sums.diskSpace -= memento->m_filedDiskSpace;
    stack.sums.files -= memento->m_filedFiles;
    if (memento->IsMajorModification()) --stack.sums.majors;
}

void TUndoable::Recount(TStack& stack) {
    TFlexList<TUndoMemento> mementos;
    mementos.SwapWith(stack.list);
    stack.sums = TSums();
    // Oldest first, so that each Push puts the memento back in its place.
    while (TUndoMemento* oldest = mementos.DetachLast()) {
        TPendingMemento pending(oldest);
        Push(stack, oldest);
        pending.Keep();
    }
}

void TUndoable::AddToUndoList(TUndoMemento* memento, char fromRedo) {
    if (!memento) return;
    TPendingMemento pending(memento);
    if (m_maximumNumber <= 0) return;  // not kept, and it is ours now: deleted
    if (!fromRedo) DiscardAll(m_redo);
    if (TUndoMemento* newest = m_undo.list.GetFirst()) {
        if (newest->IsDiscardable() && memento->IsDiscardable() &&
            (newest->IsSameState(*memento) || newest->CanGroup(*memento)))
            return;
        if (!SameRun(*newest, *memento) && newest->IsDiscardable() && newest->IsPackable())
            PackRun(newest);
    }
    Push(m_undo, memento);
    pending.Keep();
    if (m_undo.list.GetCount() > m_maximumNumber) Discard(m_undo, m_undo.list.GetLast());
}

void TUndoable::AddToRedoList(TUndoMemento* memento) {
    if (!memento) return;
    TPendingMemento pending(memento);
    if (m_maximumNumber <= 0) return;
    Push(m_redo, memento);
    pending.Keep();
}

void TUndoable::PackRun(TUndoMemento* newest) {
    // The run starts at the front; it shrinks to its oldest member.
    TUndoMemento* oldest = newest;
    for (TUndoMemento* older = m_undo.list.GetNext(oldest); older && SameRun(*older, *newest);
         older = m_undo.list.GetNext(oldest))
        oldest = older;
    while (m_undo.list.GetFirst() != oldest) Discard(m_undo, m_undo.list.GetFirst());
}

void TUndoable::Discard(TStack& stack, TUndoMemento* memento) noexcept {
    Detach(stack, memento);
    if (memento == m_applying)
        m_applyingDetached = true;  // ApplyMemento still works on it
    else
        memento->Delete();
}

void TUndoable::DiscardAll(TStack& stack) noexcept {
    while (TUndoMemento* first = stack.list.GetFirst()) Discard(stack, first);
}

void TUndoable::TrimTo(TStack& stack, int32_t number) noexcept {
    while (stack.list.GetCount() > 0 && stack.list.GetCount() > number)
        Discard(stack, stack.list.GetLast());
}

TUndoMemento* TUndoable::ApplyNewest(TStack& stack, char redo, TUndoMemento*& result) {
    TUndoMemento* memento = stack.list.GetFirst();
    TApplication application(*this, memento);
    result = ApplyMemento(memento, redo);
    return application.Finish(stack);
}
