// TStringOperation: a text value swapped on undo and redo, described by text 18033.
#include <commonvcqx/undo/StringOperation.h>

#include <commonvcqx/base/BoundedText.h>
#include <commonvcqx/text/StaticStrings.h>

#include <cstring>

namespace {

constexpr int kDetailedDescriptionId = 18033;

}  // namespace

TStringOperation::~TStringOperation() = default;

char TStringOperation::Execute(int32_t argument) {
    m_swapState = 1;
    if (GetCurrentValue() == m_value) return 0;
    Swap(argument);
    return 1;
}

void TStringOperation::Reexecute(int32_t argument) {
    Swap(argument);
}

void TStringOperation::Unexecute(int32_t argument) {
    Swap(argument);
}

void TStringOperation::Swap(int32_t argument) {
    m_swapState = m_swapState ? 0 : 1;
    TString current = GetCurrentValue();
    SetCurrentValue(m_value);
    m_value = current;
    OnValueChanged(argument);
}

char TStringOperation::MergeWithPreviousOperation(TOperation& previous) {
    auto* older = dynamic_cast<TStringOperation*>(&previous);
    if (!older) return 0;
    m_value = older->m_value;
    return 1;
}

TString TStringOperation::GetDetailedDescription() const {
    TString current = GetCurrentValue();
    const TString& older = m_swapState ? current : m_value;
    const TString& newer = m_swapState ? m_value : current;
    const TString* values[2] = {&older, &newer};
    // The host's text is a format for exactly two texts; any other directive in it is
    // copied as it stands rather than handed to a formatter with no argument for it.
    const char* format = GetStaticString(kDetailedDescriptionId);
    char buffer[kMaxDetailedDescription + 1];
    cvq::TBoundedText text(buffer);
    int used = 0;
    for (const char* p = format; *p && !text.Truncated();) {
        const char* directive = used < 2 ? std::strstr(p, "%s") : nullptr;
        if (!directive) {
            text.Append(p);
            break;
        }
        text.Append(p, static_cast<size_t>(directive - p));
        text.Append(values[used]->c_str(), values[used]->GetLength());
        ++used;
        p = directive + 2;
    }
    return TString(buffer, 0, 0, static_cast<uint32_t>(text.Length()));
}
