// commonvcqx/undo/Undoable.h
//
// TUndoable: an object that keeps snapshots of its own earlier states on two stacks.
// Undo brings back the newest snapshot and files one of the state it replaced on the
// redo stack; redo goes the other way; a new snapshot makes the undone states
// unreachable and empties the redo stack.
//
//   class TTrack : public TUndoable {
//       TUndoMemento* ApplyMemento(TUndoMemento* m, char redo) override;  // restore m,
//   };                                                 // return a memento of the old state
//   if (track.IsUndoEnabledFor("Gain")) track.AdoptMemento(new TGainMemento(gain));
//   SetGain(2.0);
//   track.UndoCurrentState();                          // gain is back
//
// Consecutive mementos of one run of an action may be packed into the oldest, identical
// ones are dropped, and one action name can be kept from saving while it repeats
// (DoNotSaveUndoMementosWithName). Mementos given to the object belong to it.
//
// The cost reports are kept as running sums, so they take constant time: a memento's
// costs are read once, when it is filed. Sums past 0xFFFFFFFF report 0xFFFFFFFF.
//
// While ApplyMemento runs, the applied memento stays in its list; if the call adopts a
// memento, clears or trims the lists, the applied memento is only taken out, and deleted
// afterwards unless ApplyMemento returned it (then it is filed as the result). Undo and
// redo do nothing while a memento is being applied.
//
// Not locked: one thread uses an object at a time.
#pragma once

#include <commonvcqx/containers/FlexList.h>
#include <commonvcqx/text/String.h>
#include <commonvcqx/undo/UndoMemento.h>

#include <cstdint>

class TUndoable {
public:
    /// Empty stacks, undo enabled, at most 2147483647 mementos per stack.
    TUndoable();
    /// Clones the other object's mementos (a memento without a clone is left out).
    TUndoable(const TUndoable& other);
    TUndoable& operator=(const TUndoable& other);
    /// Deletes all mementos; virtual, so a derived object may be deleted through this base.
    virtual ~TUndoable();

    /// Files `memento` (null: nothing) on the undo stack and empties the redo stack; the
    /// object owns it from now on, also when it is dropped or cannot be kept.
    void AdoptMemento(TUndoMemento* memento);
    /// Deletes `memento` and returns false if it holds the same state as `reference`;
    /// otherwise adopts it and returns true.
    char AdoptMementoIfDifference(TUndoMemento* memento, const TUndoMemento& reference);
    void UndoCurrentState();
    void RedoLastUndoneState();
    void ClearUndoMementos();

    int32_t GetNumUndoMementos() const noexcept { return m_undo.list.GetCount(); }
    int32_t GetNumRedoMementos() const noexcept { return m_redo.list.GetCount(); }
    /// The stacks from the newest memento to older ones.
    TUndoMemento* GetFirstUndoMemento() const noexcept { return m_undo.list.GetFirst(); }
    TUndoMemento* GetNextUndoMemento(const TUndoMemento* m) const noexcept {
        return m_undo.list.GetNext(m);
    }
    TUndoMemento* GetFirstRedoMemento() const noexcept { return m_redo.list.GetFirst(); }
    TUndoMemento* GetNextRedoMemento(const TUndoMemento* m) const noexcept {
        return m_redo.list.GetNext(m);
    }
    /// The action name of the newest memento, or an empty string.
    TString GetPendingUndoName() const { return GetPendingActionName(m_undo); }
    TString GetPendingRedoName() const { return GetPendingActionName(m_redo); }

    void EnableUndo(char enable) noexcept { m_undoDisabled = enable ? 0 : 1; }
    char IsUndoEnabled() const noexcept { return m_maximumNumber > 0 && !m_undoDisabled; }
    /// False when undo is off, or when `actionName` is both the pending undo name and the
    /// excluded name (a repetition that is not to be saved).
    char IsUndoEnabledFor(const TString& actionName) const;
    void DoNotSaveUndoMementosWithName(const TString& actionName) { m_excludedName = actionName; }
    void SaveUndoMementosWithAnyName();
    /// Only lowers the maximum; each stack then keeps its newest `number` mementos.
    void SetMaxNumOfUndoMementos(int32_t number);

    /// Files of the undo stack.
    virtual uint32_t GetNumInvolvedUndoFiles() const;
    /// Memory of both stacks.
    virtual uint32_t GetInvolvedUndoMemory() const;
    /// Disk space of the undo stack.
    virtual uint32_t GetInvolvedUndoDiskSpace() const;
    /// True if a memento of the undo stack is a major modification.
    virtual char HasMajorModification() const;

protected:
    /// At most `maximumNumber` mementos per stack; 0 or less keeps none.
    explicit TUndoable(int32_t maximumNumber);

    /// Brings the object into the state of `memento` and returns a new memento of the
    /// state it left (or `memento` itself, refilled with that state), or null.
    virtual TUndoMemento* ApplyMemento(TUndoMemento* memento, char redo) = 0;

private:
    // What a stack's mementos reported when they were filed; 64 bits cannot overflow.
    struct TSums {
        uint64_t memory = 0;
        uint64_t diskSpace = 0;
        uint64_t files = 0;
        int32_t majors = 0;
    };
    struct TStack {
        TFlexList<TUndoMemento> list;
        TSums sums;
    };
    class TApplication;

    static TString GetPendingActionName(const TStack& stack);
    static void Push(TStack& stack, TUndoMemento* memento);
    static void Detach(TStack& stack, TUndoMemento* memento) noexcept;
    static void Recount(TStack& stack);
    void AddToUndoList(TUndoMemento* memento, char fromRedo);
    void AddToRedoList(TUndoMemento* memento);
    void PackRun(TUndoMemento* newest);
    void Discard(TStack& stack, TUndoMemento* memento) noexcept;
    void DiscardAll(TStack& stack) noexcept;
    void TrimTo(TStack& stack, int32_t number) noexcept;
    TUndoMemento* ApplyNewest(TStack& stack, char redo, TUndoMemento*& result);

    TStack m_undo;
    TStack m_redo;
    char m_undoDisabled = 0;
    int32_t m_maximumNumber;
    TString m_excludedName;
    // The memento ApplyMemento is working on, and whether it has left its list meanwhile.
    TUndoMemento* m_applying = nullptr;
    bool m_applyingDetached = false;
};
