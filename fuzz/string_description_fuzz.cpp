// TStringOperation's detailed description for any host format text (static string
// 18033, which comes from the host's string table) and any two values, against a
// model built without bounds: the first two "%s" are the older and the newer value,
// nothing else is interpreted, and the result is the model's text cut at 999 bytes.
#include <commonvcqx/text/StaticStrings.h>
#include <commonvcqx/undo/StringOperation.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const TOperation::TTemplate g_template("Fuzz", 0x04, nullptr, nullptr);

class TValueOperation : public TStringOperation {
public:
    TValueOperation(TString* field, const TString& value)
        : TStringOperation(g_template, nullptr, 0, 0, value), m_field(field) {}
    ~TValueOperation() override = default;
    TString GetCurrentValue() const override { return *m_field; }
    void SetCurrentValue(const TString& value) override { *m_field = value; }
    void OnValueChanged(int32_t) override {}

private:
    TString* m_field;
};

std::string Model(const std::string& format, const std::string& older, const std::string& newer) {
    std::string out;
    const std::string* values[2] = {&older, &newer};
    size_t at = 0;
    for (int used = 0; used < 2; ++used) {
        size_t directive = format.find("%s", at);
        if (directive == std::string::npos) break;
        out += format.substr(at, directive - at) + *values[used];
        at = directive + 2;
    }
    out += format.substr(at);
    return out.substr(0, 999);
}

TString Bytes(const std::string& text) {
    return TString(text.data(), 0, 0, static_cast<uint32_t>(text.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > 8192) return 0;
    const char* bytes = reinterpret_cast<const char*>(data);
    size_t firstLength = std::min<size_t>(data[0] * 8u, size - 2);
    size_t secondLength = std::min<size_t>(data[1] * 8u, size - 2 - firstLength);
    std::string older(bytes + 2, firstLength);
    std::string newer(bytes + 2 + firstLength, secondLength);
    std::string format(bytes + 2 + firstLength + secondLength,
                       size - 2 - firstLength - secondLength);
    format = format.substr(0, format.find('\0'));  // the table's text ends at its NUL

    // A host table holding only text 18033.
    std::vector<TStringEntry> block(2 + (format.size() + 1 + sizeof(TStringEntry) - 1) /
                                            sizeof(TStringEntry));
    block[0] = {0, 1};
    block[1] = {18033, int32_t(2 * sizeof(TStringEntry))};
    std::memcpy(reinterpret_cast<char*>(block.data()) + 2 * sizeof(TStringEntry), format.c_str(),
                format.size() + 1);
    NotifyStringTable(block.data());

    TString field = Bytes(older);
    auto* operation = new TValueOperation(&field, Bytes(newer));
    operation->Execute(0);
    const std::string expected = Model(format, older, newer);
    for (int step = 0; step < 3; ++step) {
        TString description = operation->GetDetailedDescription();
        if (std::string(description.c_str(), description.GetLength()) != expected) std::abort();
        if (step % 2 == 0)
            operation->Unexecute(0);
        else
            operation->Reexecute(0);
    }
    operation->Delete();
    NotifyStringTable(nullptr);
    return 0;
}
