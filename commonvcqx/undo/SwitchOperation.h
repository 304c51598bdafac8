// commonvcqx/undo/SwitchOperation.h
//
// TSwitchOperation: a toggle, whose undo and redo are a second execution. It never
// merges. The flag given to the constructor is kept for derived classes.
//
//   class TMuteOperation : public TSwitchOperation {
//   public:
//       using TSwitchOperation::TSwitchOperation;
//       char Execute(int32_t) override { g_track.muted = !g_track.muted; return 1; }
//   };
#pragma once

#include <commonvcqx/undo/Operation.h>

class TSwitchOperation : public TOperation {
public:
    TSwitchOperation(const TTemplate& tmpl, TChiefOperator* chiefOperator, int32_t firstKey,
                     int32_t secondKey, char flag) noexcept
        : TOperation(tmpl, chiefOperator, firstKey, secondKey), m_flag(flag) {}
    TSwitchOperation(const TSwitchOperation& other) noexcept = default;

    /// Both execute again.
    void Reexecute(int32_t argument) override;
    void Unexecute(int32_t argument) override;
    /// Always false: two toggles do not stand for one.
    char MergeWithPreviousOperation(TOperation& previous) override;

protected:
    ~TSwitchOperation() override;

    char m_flag;
};
