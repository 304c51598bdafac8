// commonvcqx/undo/StringOperation.h
//
// TStringOperation: sets a text value of some object; undo and redo swap the old and
// the new value. Derived classes say how the value is read and written.
//
//   class TTitleOperation : public TStringOperation {
//   public:
//       TTitleOperation(TChiefOperator* chief, const TString& title)
//           : TStringOperation(g_title, chief, 0, 0, title) {}
//       TString GetCurrentValue() const override { return g_song.title; }
//       void SetCurrentValue(const TString& v) override { g_song.title = v; }
//       void OnValueChanged(int32_t) override { Redraw(); }
//   };
//
// After execution the stored value is the old one; each undo and redo exchanges them
// again. Merging takes over the previous operation's old value, so one undo returns to
// the value before both. The detailed description fills the host's text 18033 with
// the older value and then the newer one.
#pragma once

#include <commonvcqx/undo/Operation.h>

class TStringOperation : public TOperation {
public:
    /// Longest detailed description, in characters.
    static constexpr uint32_t kMaxDetailedDescription = 999;

    /// `value` is the value to set.
    TStringOperation(const TTemplate& tmpl, TChiefOperator* chiefOperator, int32_t firstKey,
                     int32_t secondKey, const TString& value)
        : TOperation(tmpl, chiefOperator, firstKey, secondKey), m_value(value) {}
    TStringOperation(const TStringOperation& other) = default;

    /// False, changing nothing, when the object already holds the value.
    char Execute(int32_t argument) override;
    void Reexecute(int32_t argument) override;
    void Unexecute(int32_t argument) override;
    /// Takes over the value from before `previous` (which must be a TStringOperation,
    /// else false).
    char MergeWithPreviousOperation(TOperation& previous) override;
    /// Text 18033 with its first two "%s" replaced by the older and the newer value;
    /// nothing else in the text is interpreted. At most 999 characters (1 000 bytes with
    /// the terminating NUL): a longer result is cut.
    TString GetDetailedDescription() const override;

    /// Exchanges the object's value and the stored one, then calls OnValueChanged.
    virtual void Swap(int32_t argument);
    virtual TString GetCurrentValue() const = 0;
    virtual void SetCurrentValue(const TString& value) = 0;
    virtual void OnValueChanged(int32_t argument) = 0;

    /// The stored value: the one to set before execution, the other one afterwards.
    const TString& GetStoredValue() const noexcept { return m_value; }

protected:
    ~TStringOperation() override;

private:
    TString m_value;
    char m_swapState = 0;
};
