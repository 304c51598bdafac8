// commonvcqx/undo/UndoMemento.h
//
// TUndoMemento: a snapshot of an undoable object's state, taken just before a user
// action changes it. The host derives its own mementos, which hold the state in memory
// or in files, and reports what they cost so that the undo data can be shown or limited.
//
//   class TGainMemento : public TUndoMemento {
//   public:
//       TGainMemento(double gain) : TUndoMemento("Gain", 0, 1, 0), m_gain(gain) {}
//       char IsSameState(const TUndoMemento& o) const override {
//           return static_cast<const TGainMemento&>(o).m_gain == m_gain;
//       }
//       char IsDiscardable() const override { return 1; }
//       double m_gain;
//   };
//
// A TUndoable owns the mementos it is given and deletes them with Delete().
#pragma once

#include <commonvcqx/containers/DoubleList.h>
#include <commonvcqx/text/String.h>

#include <cstdint>

class TUndoMemento : public TListElement {
public:
    /// The user action the snapshot precedes, shown as the pending undo or redo name.
    const TString& GetActionName() const noexcept { return m_actionName; }
    /// Two mementos belong to one run of an action only if name and instance are equal.
    int32_t GetActionInstance() const noexcept { return m_actionInstance; }
    char IsMajorModification() const noexcept { return m_majorModification; }
    /// A run of mementos of one action ending in this one may shrink to its oldest.
    char IsPackable() const noexcept { return m_packable; }

    /// Bytes of memory the snapshot holds; the base counts its own record.
    virtual uint32_t GetInvolvedMemory() const;
    virtual uint32_t GetInvolvedDiskSpace() const;
    virtual uint32_t GetNumInvolvedFiles() const;
    /// True when both snapshots hold the same state.
    virtual char IsSameState(const TUndoMemento& other) const = 0;
    /// True when the memento may be compared, dropped or packed.
    virtual char IsDiscardable() const = 0;
    /// True when `other` adds nothing to this memento. Base: false.
    virtual char CanGroup(const TUndoMemento& other) const;

protected:
    TUndoMemento(const TString& actionName, int32_t actionInstance, char packable,
                 char majorModification);
    TUndoMemento(const char* actionName, int32_t actionInstance, char packable,
                 char majorModification);
    /// Copy the four values (not the list links).
    TUndoMemento(const TUndoMemento& other);
    TUndoMemento& operator=(const TUndoMemento& other);
    ~TUndoMemento() override;

private:
    friend class TUndoable;

    TString m_actionName;
    int32_t m_actionInstance;
    char m_majorModification;
    char m_packable;
    // The costs as reported when the memento was filed: what the owner's running sums
    // hold for it, whatever the memento reports later.
    uint32_t m_filedMemory = 0;
    uint32_t m_filedDiskSpace = 0;
    uint32_t m_filedFiles = 0;
};
