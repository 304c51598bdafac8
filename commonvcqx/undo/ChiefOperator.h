// commonvcqx/undo/ChiefOperator.h
//
// TChiefOperator: the operation history of one document or subsystem. It executes or
// stores the operations it is given, keeps the undoable ones in one list with an
// undo/redo cursor, merges consecutive operations of one type, trims the history by
// count and by age, undoes, redoes and repeats, records macros, and can write a line
// per executed or undone operation to a log file. A host derives from it to hear about
// changes through the On... hooks.
//
//   TChiefOperator chief("Song", nullptr, 100, TTimeSpan(0));   // 100 steps, no age limit
//   (new TTitleOperation(&chief, "Intro"))->Launch(0, 1, nullptr);
//   chief.UndoOperation(0, nullptr);
//   chief.RedoOperation(0, nullptr);
//
// Ownership, one rule: an operation handed to SubmitOperation (Launch, Store) belongs
// to the chief operator from then on, whatever the result; one that is refused (by
// OnPreExecuteOperation) or fails is deleted at once.
//
// The history is oldest first; the operations before the cursor are undoable, the
// cursor and those after it redoable. Log lines read
// "<%d %b %Y %X> <text 18029 (undone) or 18030 (done)><detailed description> (<name>)",
// the time in the C locale; the log appends to its file in batches of 1000 lines.
//
// Not locked: a chief operator is used from one thread.
#pragma once

#include <commonvcqx/containers/FlexList.h>
#include <commonvcqx/files/FileName.h>
#include <commonvcqx/text/String.h>
#include <commonvcqx/time/Time.h>
#include <commonvcqx/time/TimeSpan.h>
#include <commonvcqx/undo/MacroOperation.h>
#include <commonvcqx/undo/Operation.h>

#include <cstdint>
#include <memory>

class TLogFile;

class TChiefOperator {
public:
    /// The clock of execution times and of the age limit: seconds since 1970.
    using TClock = int32_t (*)() noexcept;

    /// Empty history. `maximumCount` 0: no history; below 0: no count limit; above 0: at
    /// most that many non-trivial operations. `maximumAge` 0: no age limit. With a log
    /// file name, executed and undone operations are logged to that file (appended).
    TChiefOperator(const char* name, const TFileName* logFileName, int32_t maximumCount,
                   TTimeSpan maximumAge);
    TChiefOperator(const TChiefOperator&) = delete;
    TChiefOperator& operator=(const TChiefOperator&) = delete;
    /// Deletes a macro being recorded, then cleans the history (writing the log).
    virtual ~TChiefOperator();

    /// Executes (or, without `execute`, validates) `operation` and keeps it in the
    /// history when `keepInHistory` and it is undoable; a kept-out or non-undoable
    /// operation empties the history. False when it was refused or failed. The time the
    /// work took goes to `seconds` (0 when the operation is not timed). Owns `operation`.
    char SubmitOperation(TOperation* operation, char execute, int32_t argument, char keepInHistory,
                         double* seconds);

    /// Undo the newest undoable operation, redo the first redoable one, repeat the
    /// newest undoable one (a clone executed again). True also when there was nothing
    /// to do; false when the operation failed or an undo or redo is already running.
    char UndoOperation(int32_t argument, double* seconds);
    char RedoOperation(int32_t argument, double* seconds);
    char RepeatOperation(int32_t argument, double* seconds);
    /// Undo (redo) one by one up to and including `operation`, or all when it is null.
    /// False, doing nothing, when `operation` is not in the undoable (redoable) part.
    char UndoUntilOperation(const TOperation* operation, int32_t argument, double* seconds);
    char RedoUntilOperation(const TOperation* operation, int32_t argument, double* seconds);
    char UndoAllOperations(int32_t argument, double* seconds) {
        return UndoUntilOperation(nullptr, argument, seconds);
    }
    char RedoAllOperations(int32_t argument, double* seconds) {
        return RedoUntilOperation(nullptr, argument, seconds);
    }

    char CanUndoOperation() const noexcept { return FirstUndoableOperation() != nullptr; }
    char CanRedoOperation() const noexcept { return m_cursor != nullptr; }
    /// The newest undoable operation is repeatable and nothing is redoable.
    char CanRepeatOperation() const noexcept;

    /// Index 0 is the newest undoable operation, -1 the one before it (positive indexes
    /// give 0); null past the end.
    TOperation* GetUndoableOperation(int32_t index) const noexcept;
    /// Index 0 is the first redoable operation, 1 the next (negative indexes give 0).
    TOperation* GetRedoableOperation(int32_t index) const noexcept;
    TString GetUndoDescription(int32_t index) const;
    TString GetRedoDescription(int32_t index) const;
    TString GetRepeatDescription() const;

    /// Walking the history: undoable ones from the newest to older ones, redoable ones
    /// from the cursor to newer ones; null at the end.
    TOperation* GetFirstUndoableOperation() const noexcept { return FirstUndoableOperation(); }
    TOperation* GetPreviousUndoableOperation(const TOperation* operation) const noexcept;
    TOperation* GetFirstRedoableOperation() const noexcept { return m_cursor; }
    TOperation* GetNextRedoableOperation(const TOperation* operation) const noexcept;

    int32_t GetNumTotalOperations() const noexcept { return m_operations.GetCount(); }
    int32_t GetNumUndoableOperations() const noexcept;
    int32_t GetNumRedoableOperations() const noexcept;
    /// Executions, undos and redos since the last reset.
    int32_t ExistChanges() const noexcept { return m_changes; }
    void ResetChangeCounter() noexcept { m_changes = 0; }

    char HasNonTrivialUndoableOperations() const noexcept;
    TOperation* FindLastNonTrivialUndoableOperation() const noexcept;
    /// Its id, 0 if none.
    int32_t FindLastNonTrivialUndoableOperationId() const noexcept;
    TOperation* FindUndoableOperation(int32_t id) const noexcept;
    /// The undoable operation directly newer than the one with `id`; null when that
    /// one is the newest or not found.
    TOperation* FindUndoableOperationAfter(int32_t id) const noexcept;

    void EnableDelayedCompressing(char enable) noexcept { m_delayedCompressing = enable; }
    const TString& GetName() const noexcept { return m_name; }
    int32_t GetMaximumCount() const noexcept { return m_maximumCount; }
    /// Applies from the next operation that enters the history.
    void SetMaximumCount(int32_t count) noexcept { m_maximumCount = count; }
    TTimeSpan GetMaximumAge() const noexcept { return m_maximumAge; }
    void SetMaximumAge(TTimeSpan age) noexcept { m_maximumAge = age; }
    /// Replaces the clock (null: TTime::GetTickCount), for hosts and tests that keep
    /// their own time.
    void SetClock(TClock clock) noexcept;
    TTime GetCurrentTime() const noexcept { return TTime(m_clock()); }

    /// Ends logging (a closing line is logged first when anything is undoable), then
    /// deletes every operation. Failures are dropped.
    void CleanupHistory(char notify);

    /// Operations submitted from now on go into a new macro of `tmpl` instead of the
    /// history; with `executeWhileRecording` they are executed as they come. False,
    /// changing nothing, while another recording runs.
    char StartMacroRecording(const TOperation::TTemplate& tmpl, char executeWhileRecording);
    char IsRecordingMacro() const noexcept { return m_recordingMacro != nullptr; }
    /// True while UndoUntilOperation or RedoUntilOperation runs.
    char IsInSerialChange() const noexcept { return m_inSerialChange; }
    /// Ends the recording. Not accepted: operations executed while recording are undone
    /// and the macro is deleted (true). Accepted: an empty macro is deleted (true), a
    /// single operation is submitted alone with `unwrapSingle`, otherwise the macro is
    /// submitted; the submission's result is returned. True without a recording.
    char ValidateMacroRecording(char accept, int32_t argument, char unwrapSingle);

protected:
    /// Null: every operation of the history is about to go.
    virtual void OnPreDeleteOperation(TOperation* operation);
    virtual void OnPostDeleteOperation();
    /// False refuses the operation about to be submitted (it is deleted).
    virtual char OnPreExecuteOperation();
    virtual void OnOperationListChange();
    virtual void OnStartSerialChange();
    virtual void OnEndSerialChange();

    void AddOperation(TOperation* operation) noexcept;
    void DeleteOperation(TOperation* operation, char mergeNeighbours);
    void MergeOperations(TOperation* newer, TOperation* older);
    void RemoveTrivialOperations();
    void MergeNewlyExecutedOperation(TOperation* operation);
    TOperation* FirstUndoableOperation() const noexcept;
    TOperation* FirstRedoableOperation() const noexcept { return m_cursor; }
    char UndoOperation(TOperation* operation, int32_t argument);
    char RedoOperation(TOperation* operation, int32_t argument);
    char RepeatOperation(TOperation* operation, int32_t argument);
    void UpdateLogFile(const TOperation* operation, char undone);

private:
    friend class TMacroOperation;
    class TBusy;

    template <class Series>
    char SerialChange(Series&& series);
    void DeleteAllOperations();
    void DeleteRedoableOperations();
    void TrimHistory();
    void MoveBeforeCursor(TOperation* operation) noexcept;
    char IsUndoable(const TOperation* operation) const noexcept;
    char IsRedoable(const TOperation* operation) const noexcept;

    TString m_name;
    TFlexList<TOperation> m_operations;
    TOperation* m_cursor = nullptr;
    int32_t m_maximumCount;
    TTimeSpan m_maximumAge;
    int32_t m_nonTrivialCount = 0;
    std::unique_ptr<TLogFile> m_logFile;
    TMacroOperation* m_recordingMacro = nullptr;
    int32_t m_busy = 0;
    int32_t m_changes = 0;
    char m_delayedCompressing = 1;
    char m_inSerialChange = 0;
    char m_executeWhileRecording = 0;
    TClock m_clock;
};
