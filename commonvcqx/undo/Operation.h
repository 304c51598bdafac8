// commonvcqx/undo/Operation.h
//
// TOperation: one user-level change to a document that can be executed, undone and
// redone, described to the user, merged with the operation before it and kept in the
// history of a TChiefOperator. Its class-wide properties (name, behaviour flags,
// description texts) come from a shared, usually static TOperation::TTemplate.
//
//   const char* g_gainText = "Gain";
//   const TOperation::TTemplate g_gain("Gain", 0x04 | 0x01, &g_gainText, nullptr);
//   class TGainOperation : public TOperation {
//   public:
//       TGainOperation(TChiefOperator* chief, double gain)
//           : TOperation(g_gain, chief, 0, 0), m_gain(gain) {}
//       char Execute(int32_t) override { Swap(); return 1; }
//       void Unexecute(int32_t) override { Swap(); }
//       ...                                // Swap exchanges m_gain with the track's gain
//   };
//   (new TGainOperation(&chief, 2.0))->Launch(0, 1, nullptr);
//
// Ownership, one rule: an operation handed to Launch or Store (or to SubmitOperation)
// belongs to the library from then on, whatever the result. One that is refused or
// fails is deleted by the library; the caller never deletes it. Operations are
// destroyed with Delete().
//
// Ids come from one process-wide counter, incremented atomically for every
// construction and copy; 0 is never handed out, also after the counter wraps.
#pragma once

#include <commonvcqx/containers/DoubleList.h>
#include <commonvcqx/text/String.h>
#include <commonvcqx/time/Time.h>

#include <cstdint>

class TChiefOperator;
class TMacroOperation;

class TOperation : public TListElement {
public:
    // Template flag bits.
    static constexpr int32_t kMergeableAtOnce = 0x01;
    static constexpr int32_t kMergeableWithDelay = 0x02;
    static constexpr int32_t kUndoable = 0x04;
    static constexpr int32_t kRepeatable = 0x08;
    static constexpr int32_t kTrivial = 0x10;
    static constexpr int32_t kMeasureTime = 0x20;
    /// The host's group of three bits, of which at least one is always set.
    static constexpr int32_t kHostGroup = 0x40 | 0x80 | 0x100;

    /// The class-wide properties of a kind of operation. The texts are not copied: the
    /// name and the text pointers must outlive the template. A description is read
    /// through its pointer at each call, so a host can change the language later.
    class TTemplate {
    public:
        /// Flags 0x40 and empty descriptions.
        explicit TTemplate(const char* name) noexcept;
        /// A null description is the empty text, a null detailed description the same
        /// as the description; flags without any of 0x40, 0x80, 0x100 get 0x40.
        TTemplate(const char* name, int32_t flags, const char* const* description,
                  const char* const* detailedDescription) noexcept;
        TTemplate(const TTemplate&) noexcept = default;
        TTemplate& operator=(const TTemplate&) noexcept = default;

        const char* GetName() const noexcept { return m_name; }
        int32_t GetFlags() const noexcept { return m_flags; }
        /// The texts the description pointers point to now ("" for a null text).
        const char* GetDescription() const noexcept { return Text(m_description); }
        const char* GetDetailedDescription() const noexcept { return Text(m_detailedDescription); }

        /// The library's own template "__Null__" (flags 0x44, empty descriptions).
        static const TTemplate& GetNullTemplate() noexcept;

    private:
        static const char* Text(const char* const* ref) noexcept { return ref && *ref ? *ref : ""; }

        const char* m_name;
        int32_t m_flags;
        const char* const* m_description;
        const char* const* m_detailedDescription;
    };

    /// Execution time 0, outside any macro, state 0, a new id.
    TOperation(const TTemplate& tmpl, TChiefOperator* chiefOperator, int32_t firstKey,
               int32_t secondKey) noexcept;
    /// Template, chief operator and keys; everything else as a new operation.
    TOperation(const TOperation& other) noexcept;
    TOperation& operator=(const TOperation&) = delete;

    /// Set whenever the operation is executed, undone or redone.
    TTime GetExecutionTime() const noexcept { return m_executionTime; }
    const TTemplate& GetTemplate() const noexcept { return *m_template; }
    int32_t GetFirstKey() const noexcept { return m_firstKey; }
    int32_t GetSecondKey() const noexcept { return m_secondKey; }
    int32_t GetId() const noexcept { return m_id; }
    /// 0 after construction, 1 after execution or redo, 2 after undo.
    int32_t GetState() const noexcept { return m_state; }

    char IsMergeableAtOnce() const noexcept { return Flag(kMergeableAtOnce); }
    char IsMergeableWithDelay() const noexcept { return Flag(kMergeableWithDelay); }
    char IsMergeable() const noexcept { return Flag(kMergeableAtOnce | kMergeableWithDelay); }
    char IsUndoable() const noexcept { return Flag(kUndoable); }
    char IsRepeatable() const noexcept { return Flag(kRepeatable); }
    char IsTrivial() const noexcept { return Flag(kTrivial); }
    char ShouldMeasureTime() const noexcept { return Flag(kMeasureTime); }

    TChiefOperator* ChiefOperator() noexcept { return m_chiefOperator; }
    const TChiefOperator* GetChiefOperator() const noexcept { return m_chiefOperator; }

    /// Executes the operation through its chief operator and keeps it in the history
    /// (SubmitOperation); the library owns it from now on. Without a chief operator
    /// the operation is deleted and the result is false.
    char Launch(int32_t argument = 0, char keepInHistory = 1, double* seconds = nullptr);
    /// The same for an operation whose effect is already in place: it is validated, not
    /// executed.
    char Store(char keepInHistory = 1, double* seconds = nullptr);

    virtual TString GetDescription() const;
    virtual TString GetDetailedDescription() const;
    /// Does the work; true if something was done.
    virtual char Execute(int32_t argument) = 0;
    /// Redo. Base: Execute.
    virtual void Reexecute(int32_t argument);
    /// Undo. Base: nothing.
    virtual void Unexecute(int32_t argument);
    /// Called instead of Execute for a stored operation. Base: true.
    virtual char Validate();
    /// True when `previous` has been absorbed (this one stands for both) and may be
    /// deleted. Base: true.
    virtual char MergeWithPreviousOperation(TOperation& previous);
    virtual char IsMacro() const;

protected:
    ~TOperation() override;

    TMacroOperation* GetMacro() const noexcept { return m_macro; }
    char IsInMacro() const noexcept { return m_macro != nullptr; }
    /// Both keys and the template names equal, and both or neither macros.
    char IsTypeOf(const TOperation& other) const;

private:
    friend class TChiefOperator;
    friend class TMacroOperation;

    char Flag(int32_t bits) const noexcept { return (m_template->GetFlags() & bits) ? 1 : 0; }
    void UpdateExecutionTime() noexcept;
    void SetMacro(TMacroOperation* macro) noexcept { m_macro = macro; }
    void SetState(int32_t state) noexcept { m_state = state; }

    TTime m_executionTime;
    const TTemplate* m_template;
    TChiefOperator* m_chiefOperator;
    int32_t m_firstKey;
    int32_t m_secondKey;
    TMacroOperation* m_macro = nullptr;
    int32_t m_id;
    int32_t m_state = 0;
};
