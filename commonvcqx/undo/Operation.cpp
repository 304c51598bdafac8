// TOperation and its template: flags, ids, descriptions, and the hand-over to the
// chief operator.
#include <commonvcqx/undo/Operation.h>

#include <commonvcqx/undo/ChiefOperator.h>
#include <commonvcqx/undo/internal/OperationIds.h>

#include <atomic>
#include <cstring>

namespace {

const char* const g_emptyText = "";

constexpr int32_t WithHostGroup(int32_t flags) noexcept {
    return (flags & TOperation::kHostGroup) ? flags : flags | 0x40;
}

// Unsigned, so that wrapping is defined; 0 is skipped.
std::atomic<uint32_t> g_lastOperationId{0};

}  // namespace

namespace cvq::detail {

int32_t NextOperationId() noexcept {
    uint32_t id = g_lastOperationId.fetch_add(1, std::memory_order_relaxed) + 1;
    while (id == 0) id = g_lastOperationId.fetch_add(1, std::memory_order_relaxed) + 1;
    return static_cast<int32_t>(id);
}

void SetLastOperationId(int32_t last) noexcept {
    g_lastOperationId.store(static_cast<uint32_t>(last), std::memory_order_relaxed);
}

}  // namespace cvq::detail

TOperation::TTemplate::TTemplate(const char* name) noexcept
    : m_name(name ? name : ""),
      m_flags(0x40),
      m_description(&g_emptyText),
      m_detailedDescription(&g_emptyText) {}

TOperation::TTemplate::TTemplate(const char* name, int32_t flags, const char* const* description,
                                 const char* const* detailedDescription) noexcept
    : m_name(name ? name : ""),
      m_flags(WithHostGroup(flags)),
      m_description(description ? description : &g_emptyText),
      m_detailedDescription(detailedDescription ? detailedDescription : m_description) {}

const TOperation::TTemplate& TOperation::TTemplate::GetNullTemplate() noexcept {
    static const TTemplate nullTemplate("__Null__", kUndoable, nullptr, nullptr);
    return nullTemplate;
}

TOperation::TOperation(const TTemplate& tmpl, TChiefOperator* chiefOperator, int32_t firstKey,
                       int32_t secondKey) noexcept
    : m_template(&tmpl),
      m_chiefOperator(chiefOperator),
      m_firstKey(firstKey),
      m_secondKey(secondKey),
      m_id(cvq::detail::NextOperationId()) {}

TOperation::TOperation(const TOperation& other) noexcept
    : TListElement(),
      m_template(other.m_template),
      m_chiefOperator(other.m_chiefOperator),
      m_firstKey(other.m_firstKey),
      m_secondKey(other.m_secondKey),
      m_id(cvq::detail::NextOperationId()) {}

TOperation::~TOperation() = default;

char TOperation::Launch(int32_t argument, char keepInHistory, double* seconds) {
    if (!m_chiefOperator) {
        Delete();
        return 0;
    }
    return m_chiefOperator->SubmitOperation(this, 1, argument, keepInHistory, seconds);
}

char TOperation::Store(char keepInHistory, double* seconds) {
    if (!m_chiefOperator) {
        Delete();
        return 0;
    }
    return m_chiefOperator->SubmitOperation(this, 0, 0, keepInHistory, seconds);
}

TString TOperation::GetDescription() const {
    return TString(m_template->GetDescription());
}

TString TOperation::GetDetailedDescription() const {
    return TString(m_template->GetDetailedDescription());
}

void TOperation::Reexecute(int32_t argument) {
    Execute(argument);
}

void TOperation::Unexecute(int32_t) {}

char TOperation::Validate() {
    return 1;
}

char TOperation::MergeWithPreviousOperation(TOperation&) {
    return 1;
}

char TOperation::IsMacro() const {
    return 0;
}

char TOperation::IsTypeOf(const TOperation& other) const {
    return m_firstKey == other.m_firstKey && m_secondKey == other.m_secondKey &&
           std::strcmp(m_template->GetName(), other.m_template->GetName()) == 0 &&
           (IsMacro() != 0) == (other.IsMacro() != 0);
}

void TOperation::UpdateExecutionTime() noexcept {
    m_executionTime =
        m_chiefOperator ? m_chiefOperator->GetCurrentTime() : TTime(TTime::GetTickCount());
}
