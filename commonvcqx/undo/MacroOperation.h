// commonvcqx/undo/MacroOperation.h
//
// TMacroOperation: a sequence of operations executed, undone and redone as one. It
// owns the operations it holds; each of them knows its macro. A TChiefOperator records
// macros itself (StartMacroRecording); a host may also build one and launch it.
//
//   auto* macro = new TMacroOperation(g_normalizeAll, &chief);
//   for (TTrack& t : tracks) macro->AddOperation(new TGainOperation(&chief, t, 0.5));
//   macro->Launch(0, 1, nullptr);   // one undo step for all tracks
//
// Each contained operation's execution, undo and redo is logged by the chief operator
// one by one; the macro itself is never logged.
#pragma once

#include <commonvcqx/containers/FlexList.h>
#include <commonvcqx/undo/Operation.h>

class TMacroOperation : public TOperation {
public:
    /// Keys 0 and 0, empty.
    TMacroOperation(const TTemplate& tmpl, TChiefOperator* chiefOperator) noexcept
        : TOperation(tmpl, chiefOperator, 0, 0) {}

    /// A copy with clones of every contained operation, or null when one of them has
    /// no clone (a macro is cloned whole or not at all).
    TObject* CreateClone(void* context) const override;

    int32_t GetNumOperations() const noexcept { return m_operations.GetCount(); }
    /// The contained operations, first to last.
    TOperation* GetFirstOperation() const noexcept { return m_operations.GetFirst(); }
    TOperation* GetNextOperation(const TOperation* o) const noexcept {
        return m_operations.GetNext(o);
    }
    /// Appends `operation` (owned from now on); returns the new count.
    int32_t AddOperation(TOperation* operation) noexcept;
    /// Unlinks and returns the first operation (no longer in this macro), or null.
    TOperation* DetachFirstOperation() noexcept;

    /// Executes every operation in order; true if at least one did something.
    char Execute(int32_t argument) override;
    void Reexecute(int32_t argument) override;
    /// Undoes the operations from the last to the first.
    void Unexecute(int32_t argument) override;
    /// Merges position by position with an equally long macro of the same types. A
    /// refusal part of the way returns false, and the merges made before it stay.
    char MergeWithPreviousOperation(TOperation& previous) override;
    char IsMacro() const override;

protected:
    TMacroOperation(const TMacroOperation& other) noexcept : TOperation(other) {}
    ~TMacroOperation() override;

private:
    friend class TChiefOperator;

    /// Unlinks `operation`; returns the remaining count.
    int32_t DetachOperation(TOperation* operation) noexcept;

    TFlexList<TOperation> m_operations;
};
