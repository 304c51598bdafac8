// The strings-file parser over arbitrary bytes: every text is at most 999 characters,
// and the table written back as "id=text" lines (escaped) parses to the same table.
#include <commonvcqx/platform/internal/ModuleTexts.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const cvq::platform::TStringTable table = cvq::platform::ParseStringTable(text);
    std::string written;
    for (const auto& [id, value] : table) {
        if (value.size() > cvq::platform::kLongestModuleText) std::abort();
        written += std::to_string(id) + "=" + Escaped(value) + "\r\n";
    }
    if (cvq::platform::ParseStringTable(written) != table) std::abort();
    return 0;
}
