#include <commonvcqx/undo/SwitchOperation.h>

TSwitchOperation::~TSwitchOperation() = default;

void TSwitchOperation::Reexecute(int32_t argument) {
    Execute(argument);
}

void TSwitchOperation::Unexecute(int32_t argument) {
    Execute(argument);
}

char TSwitchOperation::MergeWithPreviousOperation(TOperation&) {
    return 0;
}
