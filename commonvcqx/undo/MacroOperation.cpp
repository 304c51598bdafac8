// TMacroOperation: operations executed, undone and redone as one, each logged alone.
#include <commonvcqx/undo/MacroOperation.h>

#include <commonvcqx/undo/ChiefOperator.h>

TMacroOperation::~TMacroOperation() = default;

TObject* TMacroOperation::CreateClone(void* context) const {
    TMacroOperation* copy = new TMacroOperation(*this);
    try {
        for (TOperation* o = m_operations.GetFirst(); o; o = m_operations.GetNext(o)) {
            auto* clone = static_cast<TOperation*>(o->CreateClone(context));
            if (!clone) {
                copy->Delete();
                return nullptr;
            }
            copy->AddOperation(clone);
        }
    } catch (...) {
        copy->Delete();
        throw;
    }
    return copy;
}

int32_t TMacroOperation::AddOperation(TOperation* operation) noexcept {
    if (operation) {
        m_operations.Append(operation);
        operation->SetMacro(this);
    }
    return m_operations.GetCount();
}

int32_t TMacroOperation::DetachOperation(TOperation* operation) noexcept {
    m_operations.Detach(operation);
    operation->SetMacro(nullptr);
    return m_operations.GetCount();
}

TOperation* TMacroOperation::DetachFirstOperation() noexcept {
    TOperation* first = m_operations.GetFirst();
    if (first) DetachOperation(first);
    return first;
}

char TMacroOperation::Execute(int32_t argument) {
    char any = 0;
    for (TOperation* o = m_operations.GetFirst(); o; o = m_operations.GetNext(o)) {
        if (o->Execute(argument)) {
            o->SetState(1);
            any = 1;
        }
        o->UpdateExecutionTime();
        if (TChiefOperator* chief = ChiefOperator()) chief->UpdateLogFile(o, 0);
    }
    return any;
}

void TMacroOperation::Reexecute(int32_t argument) {
    for (TOperation* o = m_operations.GetFirst(); o; o = m_operations.GetNext(o)) {
        o->Reexecute(argument);
        o->SetState(1);
        o->UpdateExecutionTime();
        if (TChiefOperator* chief = ChiefOperator()) chief->UpdateLogFile(o, 0);
    }
}

void TMacroOperation::Unexecute(int32_t argument) {
    for (TOperation* o = m_operations.GetLast(); o; o = m_operations.GetPrev(o)) {
        o->Unexecute(argument);
        o->SetState(2);
        o->UpdateExecutionTime();
        if (TChiefOperator* chief = ChiefOperator()) chief->UpdateLogFile(o, 1);
    }
}

char TMacroOperation::MergeWithPreviousOperation(TOperation& previous) {
    if (!previous.IsMacro()) return 0;
    auto& older = static_cast<TMacroOperation&>(previous);
    if (IsInMacro() || older.IsInMacro() || GetNumOperations() != older.GetNumOperations())
        return 0;
    for (TOperation *mine = m_operations.GetFirst(), *theirs = older.m_operations.GetFirst(); mine;
         mine = m_operations.GetNext(mine), theirs = older.m_operations.GetNext(theirs)) {
        if (!mine->IsTypeOf(*theirs)) return 0;
    }
    for (TOperation *mine = m_operations.GetFirst(), *theirs = older.m_operations.GetFirst(); mine;
         mine = m_operations.GetNext(mine), theirs = older.m_operations.GetNext(theirs)) {
        if (!mine->MergeWithPreviousOperation(*theirs)) return 0;
    }
    return 1;
}

char TMacroOperation::IsMacro() const {
    return 1;
}
