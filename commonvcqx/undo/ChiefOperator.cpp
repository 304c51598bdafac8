// TChiefOperator: the history with its cursor, merging, trimming, undo, redo, repeat,
// macro recording and the operation log.
#include <commonvcqx/undo/ChiefOperator.h>

#include <commonvcqx/files/LogFile.h>
#include <commonvcqx/text/StaticStrings.h>
#include <commonvcqx/time/Timer.h>

namespace {

constexpr int kUndoneWord = 18029;
constexpr int kDoneWord = 18030;
constexpr int32_t kLogBatch = 1000;

// One log line: the operation's time, what it did and whether it was undone.
class TOperationLogEntry : public TLogEntry {
public:
    TOperationLogEntry(TTime time, const TString& description, const TString& history, char undone)
        : m_time(time), m_description(description), m_history(history), m_undone(undone) {}
    TOperationLogEntry(const TOperationLogEntry&) = default;

    TObject* CreateClone(void*) const override { return new TOperationLogEntry(*this); }

    TString GetLogText() const override {
        TString text = m_time.ConvertToString("%d %b %Y %X");
        text += ' ';
        text += GetStaticString(m_undone ? kUndoneWord : kDoneWord);
        text += m_description;
        if (!m_history.IsEmpty()) {
            text += " (";
            text += m_history;
            text += ')';
        }
        return text;
    }

private:
    TTime m_time;
    TString m_description;
    TString m_history;
    char m_undone;
};

// The closing operation of a logged history: it does nothing, and being submitted it
// discards the redoable operations, ends a pending merge run and logs one line.
class TClosingOperation : public TOperation {
public:
    explicit TClosingOperation(TChiefOperator* chief)
        : TOperation(TTemplate::GetNullTemplate(), chief, 0, 0) {}
    char Execute(int32_t) override { return 1; }
};

// Times the work of one call into the caller's `seconds`: 0 when it is not timed.
class TTiming {
public:
    TTiming(double* seconds, const TOperation* operation) noexcept
        : m_seconds(seconds),
          m_timer(TTimer::kSeconds,
                  seconds && (!operation || operation->ShouldMeasureTime()) ? 1 : 0) {}
    TTiming(const TTiming&) = delete;
    TTiming& operator=(const TTiming&) = delete;
    ~TTiming() {
        if (m_seconds) *m_seconds = m_timer.GetElapsedTime();
    }

private:
    double* m_seconds;
    TTimer m_timer;
};

// Owns a submitted operation until the history takes it, so that every way out of
// SubmitOperation, an exception included, leaves no operation unowned.
class TPending {
public:
    explicit TPending(TOperation* operation) noexcept : m_operation(operation) {}
    TPending(const TPending&) = delete;
    TPending& operator=(const TPending&) = delete;
    ~TPending() {
        if (m_operation) m_operation->Delete();
    }
    TOperation* Release() noexcept {
        TOperation* operation = m_operation;
        m_operation = nullptr;
        return operation;
    }

private:
    TOperation* m_operation;
};

}  // namespace

// Holds the busy flag for one undo or redo; released however the call ends, so a hook
// that throws does not lock undo and redo out for good.
class TChiefOperator::TBusy {
public:
    explicit TBusy(int32_t& busy) noexcept : m_busy(busy), m_taken(busy == 0) {
        if (m_taken) m_busy = 1;
    }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;
    ~TBusy() {
        if (m_taken) m_busy = 0;
    }
    bool Taken() const noexcept { return m_taken; }

private:
    int32_t& m_busy;
    bool m_taken;
};

TChiefOperator::TChiefOperator(const char* name, const TFileName* logFileName, int32_t maximumCount,
                               TTimeSpan maximumAge)
    : m_name(name),
      m_maximumCount(maximumCount),
      m_maximumAge(maximumAge),
      m_clock(&TTime::GetTickCount) {
    if (logFileName) m_logFile = std::make_unique<TLogFile>(*logFileName, 0, kLogBatch);
}

TChiefOperator::~TChiefOperator() {
    if (m_recordingMacro) {
        TMacroOperation* macro = m_recordingMacro;
        m_recordingMacro = nullptr;
        macro->Delete();
    }
    CleanupHistory(0);
}

void TChiefOperator::SetClock(TClock clock) noexcept {
    m_clock = clock ? clock : &TTime::GetTickCount;
}

// Positions.

TOperation* TChiefOperator::FirstUndoableOperation() const noexcept {
    return m_cursor ? m_operations.GetPrev(m_cursor) : m_operations.GetLast();
}

char TChiefOperator::IsUndoable(const TOperation* operation) const noexcept {
    for (TOperation* o = FirstUndoableOperation(); o; o = m_operations.GetPrev(o))
        if (o == operation) return 1;
    return 0;
}

char TChiefOperator::IsRedoable(const TOperation* operation) const noexcept {
    for (TOperation* o = m_cursor; o; o = m_operations.GetNext(o))
        if (o == operation) return 1;
    return 0;
}

char TChiefOperator::CanRepeatOperation() const noexcept {
    TOperation* newest = FirstUndoableOperation();
    return newest && newest->IsRepeatable() && !m_cursor;
}

TOperation* TChiefOperator::GetUndoableOperation(int32_t index) const noexcept {
    TOperation* o = FirstUndoableOperation();
    for (; o && index < 0; ++index) o = m_operations.GetPrev(o);
    return o;
}

TOperation* TChiefOperator::GetRedoableOperation(int32_t index) const noexcept {
    TOperation* o = m_cursor;
    for (; o && index > 0; --index) o = m_operations.GetNext(o);
    return o;
}

TString TChiefOperator::GetUndoDescription(int32_t index) const {
    TOperation* o = GetUndoableOperation(index);
    return o ? o->GetDescription() : TString();
}

TString TChiefOperator::GetRedoDescription(int32_t index) const {
    TOperation* o = GetRedoableOperation(index);
    return o ? o->GetDescription() : TString();
}

TString TChiefOperator::GetRepeatDescription() const {
    return CanRepeatOperation() ? GetUndoDescription(0) : TString();
}

TOperation* TChiefOperator::GetPreviousUndoableOperation(const TOperation* o) const noexcept {
    return o ? m_operations.GetPrev(o) : nullptr;
}

TOperation* TChiefOperator::GetNextRedoableOperation(const TOperation* o) const noexcept {
    return o ? m_operations.GetNext(o) : nullptr;
}

int32_t TChiefOperator::GetNumUndoableOperations() const noexcept {
    return m_operations.GetCount() - GetNumRedoableOperations();
}

int32_t TChiefOperator::GetNumRedoableOperations() const noexcept {
    int32_t count = 0;
    for (TOperation* o = m_cursor; o; o = m_operations.GetNext(o)) ++count;
    return count;
}

char TChiefOperator::HasNonTrivialUndoableOperations() const noexcept {
    TOperation* oldest = m_operations.GetFirst();
    return oldest && !oldest->IsTrivial() && oldest != m_cursor;
}

TOperation* TChiefOperator::FindLastNonTrivialUndoableOperation() const noexcept {
    for (TOperation* o = FirstUndoableOperation(); o; o = m_operations.GetPrev(o))
        if (!o->IsTrivial()) return o;
    return nullptr;
}

int32_t TChiefOperator::FindLastNonTrivialUndoableOperationId() const noexcept {
    TOperation* o = FindLastNonTrivialUndoableOperation();
    return o ? o->GetId() : 0;
}

TOperation* TChiefOperator::FindUndoableOperation(int32_t id) const noexcept {
    for (TOperation* o = FirstUndoableOperation(); o; o = m_operations.GetPrev(o))
        if (o->GetId() == id) return o;
    return nullptr;
}

TOperation* TChiefOperator::FindUndoableOperationAfter(int32_t id) const noexcept {
    TOperation* o = FindUndoableOperation(id);
    if (!o) return nullptr;
    TOperation* newer = m_operations.GetNext(o);
    return newer == m_cursor ? nullptr : newer;
}

// The list.

void TChiefOperator::AddOperation(TOperation* operation) noexcept {
    m_operations.InsertBefore(operation, m_cursor);
    if (!operation->IsTrivial()) ++m_nonTrivialCount;
}

void TChiefOperator::DeleteOperation(TOperation* operation, char mergeNeighbours) {
    if (!operation->IsTrivial()) --m_nonTrivialCount;
    if (operation == m_cursor) m_cursor = m_operations.GetNext(m_cursor);
    if (mergeNeighbours) {
        TOperation* older = m_operations.GetPrev(operation);
        TOperation* newer = m_operations.GetNext(operation);
        if (older && newer && newer != m_cursor) MergeOperations(newer, older);
    }
    m_operations.Detach(operation);
    TPending gone(operation);
    OnPreDeleteOperation(operation);
    gone.Release()->Delete();
    OnPostDeleteOperation();
}

void TChiefOperator::DeleteAllOperations() {
    // The history is consistent (empty) before any hook or destructor runs.
    TFlexList<TOperation> all;
    all.SwapWith(m_operations);
    m_cursor = nullptr;
    m_nonTrivialCount = 0;
    OnPreDeleteOperation(nullptr);
    all.DeleteAll();
    OnPostDeleteOperation();
}

void TChiefOperator::DeleteRedoableOperations() {
    while (m_cursor) DeleteOperation(m_cursor, 0);
}

void TChiefOperator::MoveBeforeCursor(TOperation* operation) noexcept {
    m_operations.Detach(operation);
    m_operations.InsertBefore(operation, m_cursor);
}

void TChiefOperator::MergeOperations(TOperation* newer, TOperation* older) {
    if (!newer || !newer->IsMergeable() || newer->IsInMacro()) return;
    while (older) {
        if (!older->IsTypeOf(*newer) || older->IsInMacro() ||
            (!m_delayedCompressing && older->IsMergeableWithDelay()))
            return;
        if (!newer->MergeWithPreviousOperation(*older)) return;
        TOperation* before = m_operations.GetPrev(older);
        DeleteOperation(older, 0);
        older = before;
    }
}

void TChiefOperator::RemoveTrivialOperations() {
    for (TOperation* o = FirstUndoableOperation(); o && o->IsTrivial();
         o = FirstUndoableOperation())
        DeleteOperation(o, 0);
}

void TChiefOperator::MergeNewlyExecutedOperation(TOperation* operation) {
    TOperation* newest = FirstUndoableOperation();
    if (newest == operation) newest = m_operations.GetPrev(operation);
    if (operation->IsMergeableAtOnce()) {
        if (operation->IsRepeatable() && newest && newest->IsTypeOf(*operation))
            MergeOperations(newest, m_operations.GetPrev(newest));
        else
            MergeOperations(operation, newest);
    }
    newest = FirstUndoableOperation();
    if (newest == operation) newest = m_operations.GetPrev(operation);
    if (newest && newest->IsMergeable() && !newest->IsTypeOf(*operation)) {
        MergeOperations(newest, m_operations.GetPrev(newest));
        UpdateLogFile(newest, 0);
    }
}

void TChiefOperator::TrimHistory() {
    if (m_maximumCount > 0) {
        while (m_nonTrivialCount >= m_maximumCount && !m_operations.IsEmpty())
            DeleteOperation(m_operations.GetFirst(), 0);
    }
    if (m_maximumAge.GetTotalSeconds() != 0) {
        TTime limit = GetCurrentTime() - m_maximumAge;
        while (!m_operations.IsEmpty() && m_operations.GetFirst()->GetExecutionTime() < limit)
            DeleteOperation(m_operations.GetFirst(), 0);
    }
}

// Submission.

char TChiefOperator::SubmitOperation(TOperation* operation, char execute, int32_t argument,
                                     char keepInHistory, double* seconds) {
    if (seconds) *seconds = 0;  // also when nothing is timed
    TPending pending(operation);
    if (m_recordingMacro && !m_executeWhileRecording) {
        m_recordingMacro->AddOperation(pending.Release());
        return 1;
    }
    if (!OnPreExecuteOperation()) return 0;
    TTiming timing(seconds, operation);
    if (!operation) return 1;

    char done = 0;
    try {
        if (execute) {
            ++m_changes;
            done = operation->Execute(argument);
        } else {
            done = operation->Validate();
        }
    } catch (...) {
        done = 0;
    }
    if (!done) return 0;
    operation->SetState(1);
    operation->UpdateExecutionTime();

    if (m_recordingMacro) {
        m_recordingMacro->AddOperation(pending.Release());
        return 1;
    }
    if (!operation->IsTrivial()) {
        DeleteRedoableOperations();
        RemoveTrivialOperations();
    }
    if (keepInHistory && m_maximumCount != 0 && operation->IsUndoable()) {
        TrimHistory();
        MergeNewlyExecutedOperation(operation);
        if (!operation->IsMergeable()) UpdateLogFile(operation, 0);
        if (&operation->GetTemplate() != &TOperation::TTemplate::GetNullTemplate())
            AddOperation(pending.Release());
    } else {
        OnPreDeleteOperation(operation);
        pending.Release()->Delete();
        OnPostDeleteOperation();
        DeleteAllOperations();
    }
    OnOperationListChange();
    return 1;
}

// Undo, redo, repeat.

char TChiefOperator::UndoOperation(TOperation* operation, int32_t argument) {
    TBusy busy(m_busy);
    if (!busy.Taken()) return 0;
    char result = 1;
    if (operation) {
        if (operation->IsMergeableAtOnce() && operation->IsRepeatable())
            MergeOperations(operation, m_operations.GetPrev(operation));
        try {
            operation->Unexecute(argument);
        } catch (...) {
            result = 0;
        }
        if (result) {
            ++m_changes;
            operation->SetState(2);
            operation->UpdateExecutionTime();
            if (!operation->IsMergeable()) UpdateLogFile(operation, 1);
            if (TMacroOperation* macro = operation->GetMacro()) {
                if (macro->DetachOperation(operation) == 0 && macro != m_recordingMacro &&
                    !macro->IsInMacro() && m_operations.HasElement(macro))
                    DeleteOperation(macro, 1);
                AddOperation(operation);
            } else if (operation != FirstUndoableOperation()) {
                TOperation* newer = m_operations.GetNext(operation);
                TOperation* older = m_operations.GetPrev(operation);
                MoveBeforeCursor(operation);
                MergeOperations(newer, older);
            }
            m_cursor = operation;
        }
    }
    OnOperationListChange();
    return result;
}

char TChiefOperator::RedoOperation(TOperation* operation, int32_t argument) {
    TBusy busy(m_busy);
    if (!busy.Taken()) return 0;
    char result = 1;
    if (operation) {
        if (!operation->IsTrivial()) RemoveTrivialOperations();
        try {
            operation->Reexecute(argument);
        } catch (...) {
            result = 0;
        }
        if (result) {
            ++m_changes;
            operation->SetState(1);
            operation->UpdateExecutionTime();
            MergeNewlyExecutedOperation(operation);
            if (!operation->IsMergeable()) UpdateLogFile(operation, 0);
            if (TMacroOperation* macro = operation->GetMacro()) {
                if (macro->DetachOperation(operation) == 0 && macro != m_recordingMacro &&
                    !macro->IsInMacro() && m_operations.HasElement(macro))
                    DeleteOperation(macro, 0);
                AddOperation(operation);
            } else if (operation == m_cursor) {
                m_cursor = m_operations.GetNext(m_cursor);
            } else {
                MoveBeforeCursor(operation);
            }
        }
    }
    OnOperationListChange();
    return result;
}

char TChiefOperator::RepeatOperation(TOperation* operation, int32_t argument) {
    if (!CanRepeatOperation() || !operation) return 1;
    auto* clone = static_cast<TOperation*>(operation->CreateClone(nullptr));
    return SubmitOperation(clone, 1, argument, 1, nullptr);
}

char TChiefOperator::UndoOperation(int32_t argument, double* seconds) {
    TOperation* operation = FirstUndoableOperation();
    TTiming timing(seconds, operation);
    return UndoOperation(operation, argument);
}

char TChiefOperator::RedoOperation(int32_t argument, double* seconds) {
    TOperation* operation = m_cursor;
    TTiming timing(seconds, operation);
    return RedoOperation(operation, argument);
}

char TChiefOperator::RepeatOperation(int32_t argument, double* seconds) {
    TOperation* operation = FirstUndoableOperation();
    TTiming timing(seconds, operation);
    return RepeatOperation(operation, argument);
}

template <class Series>
char TChiefOperator::SerialChange(Series&& series) {
    OnStartSerialChange();
    m_inSerialChange = 1;
    char result = 0;
    try {
        result = series();
    } catch (...) {
        m_inSerialChange = 0;
        OnEndSerialChange();
        throw;
    }
    m_inSerialChange = 0;
    OnEndSerialChange();
    return result;
}

char TChiefOperator::UndoUntilOperation(const TOperation* target, int32_t argument,
                                        double* seconds) {
    if (seconds) *seconds = 0;
    if (target && !IsUndoable(target)) return 0;
    TTiming timing(seconds, nullptr);
    const int32_t targetId = target ? target->GetId() : 0;
    return SerialChange([&] {
        while (TOperation* operation = FirstUndoableOperation()) {
            const int32_t count = m_operations.GetCount();
            if (!UndoOperation(operation, argument)) return char{0};
            // Reached, or merged into the operation just undone (only a step that
            // deleted operations can have taken it).
            if (target && (operation->GetId() == targetId ||
                           (m_operations.GetCount() != count && !FindUndoableOperation(targetId))))
                break;
        }
        return char{1};
    });
}

char TChiefOperator::RedoUntilOperation(const TOperation* target, int32_t argument,
                                        double* seconds) {
    if (seconds) *seconds = 0;
    if (target && !IsRedoable(target)) return 0;
    TTiming timing(seconds, nullptr);
    return SerialChange([&] {
        while (TOperation* operation = m_cursor) {
            if (!RedoOperation(operation, argument)) return char{0};
            // Reached, or the target is no longer to be redone.
            if (target && (operation == target || !IsRedoable(target))) break;
        }
        return char{1};
    });
}

// Cleanup and logging.

void TChiefOperator::CleanupHistory(char notify) {
    if (m_logFile) {
        try {
            if (CanUndoOperation()) {
                // The closing line belongs to the history, never into a macro being
                // recorded.
                TMacroOperation* recording = m_recordingMacro;
                m_recordingMacro = nullptr;
                try {
                    SubmitOperation(new TClosingOperation(this), 1, 1, 1, nullptr);
                } catch (...) {
                    m_recordingMacro = recording;
                    throw;
                }
                m_recordingMacro = recording;
            }
        } catch (...) {
        }
        m_logFile.reset();
    }
    try {
        DeleteAllOperations();
        if (notify) OnOperationListChange();
    } catch (...) {
    }
}

void TChiefOperator::UpdateLogFile(const TOperation* operation, char undone) {
    if (!m_logFile || m_logFile->IsBypassed() || operation->IsMacro()) return;
    m_logFile->AddEntry(new TOperationLogEntry(
        operation->GetExecutionTime(), operation->GetDetailedDescription(), m_name, undone));
}

// Macro recording.

char TChiefOperator::StartMacroRecording(const TOperation::TTemplate& tmpl,
                                         char executeWhileRecording) {
    if (m_recordingMacro) return 0;
    m_recordingMacro = new TMacroOperation(tmpl, this);
    m_executeWhileRecording = executeWhileRecording;
    return 1;
}

char TChiefOperator::ValidateMacroRecording(char accept, int32_t argument, char unwrapSingle) {
    if (!m_recordingMacro) return 1;
    TMacroOperation* macro = m_recordingMacro;
    m_recordingMacro = nullptr;
    TPending pending(macro);
    const char executed = m_executeWhileRecording;
    if (!accept) {
        if (executed && macro->GetNumOperations() > 0) {
            try {
                macro->Unexecute(argument);
            } catch (...) {
            }
        }
        return 1;
    }
    if (macro->GetNumOperations() == 0) return 1;
    if (macro->GetNumOperations() == 1 && unwrapSingle) {
        TOperation* single = macro->DetachFirstOperation();
        return SubmitOperation(single, executed ? 0 : 1, argument, 1, nullptr);
    }
    return SubmitOperation(pending.Release(), executed ? 0 : 1, argument, 1, nullptr);
}

// Hooks.

void TChiefOperator::OnPreDeleteOperation(TOperation*) {}
void TChiefOperator::OnPostDeleteOperation() {}
char TChiefOperator::OnPreExecuteOperation() {
    return 1;
}
void TChiefOperator::OnOperationListChange() {}
void TChiefOperator::OnStartSerialChange() {}
void TChiefOperator::OnEndSerialChange() {}
