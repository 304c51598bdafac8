// The parsers of the module text files: no system calls, so they run anywhere.
#include <commonvcqx/base/NumberParsing.h>
#include <commonvcqx/platform/internal/ModuleTexts.h>

namespace cvq::platform {
namespace {

char Lower(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::string Unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size() && out.size() < kLongestModuleText; ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            switch (text[i + 1]) {
                case 'n':
                    c = '\n', ++i;
                    break;
                case 'r':
                    c = '\r', ++i;
                    break;
                case 't':
                    c = '\t', ++i;
                    break;
                case '\\':
                    ++i;
                    break;
                default:
                    break;
            }
        }
        out += c;
    }
    return out;
}

// Calls `line` for each line without its LF or CR LF.
template <typename TLine>
void ForEachLine(std::string_view text, TLine line) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view one = text.substr(start, end - start);
        if (!one.empty() && one.back() == '\r') one.remove_suffix(1);
        line(one);
        start = end + 1;
    }
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

TStringTable ParseStringTable(std::string_view text) {
    TStringTable table;
    ForEachLine(text, [&](std::string_view line) {
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0) return;
        // The id must be all of the text before "=": a sign and digits.
        const std::string id(line.substr(0, equals));
        const char* end = nullptr;
        const int32_t number = ParseLong32(id.c_str(), &end, 10);
        if (end != id.c_str() + id.size() ||
            (id[0] != '-' && id[0] != '+' && (id[0] < '0' || id[0] > '9')))
            return;
        table.emplace(number, Unescape(line.substr(equals + 1)));
    });
    return table;
}

TVersionValues ParseVersionValues(std::string_view text) {
    TVersionValues values;
    ForEachLine(text, [&](std::string_view line) {
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos) return;
        const std::string_view name = TrimBlanks(line.substr(0, equals));
        if (name.empty() || name.front() == '#' || FindVersionValue(values, name)) return;
        values.emplace_back(std::string(name), Unescape(line.substr(equals + 1)));
    });
    return values;
}

const std::string* FindVersionValue(const TVersionValues& values, std::string_view name) {
    for (const auto& [key, value] : values)
        if (SameIgnoringCase(key, name)) return &value;
    return nullptr;
}

std::vector<std::string> CompanionFileNames(std::string_view modulePath, std::string_view suffix) {
    std::vector<std::string> names;
    if (modulePath.empty()) return names;
    names.push_back(std::string(modulePath) + std::string(suffix));
    // "libfx.so.1.2.0" -> "libfx.so": only when all that follows ".so" is ".digits".
    const size_t slash = modulePath.rfind('/');
    const size_t so = modulePath.rfind(".so.");
    if (so == std::string_view::npos || (slash != std::string_view::npos && so < slash))
        return names;
    const std::string_view tail = modulePath.substr(so + 3);
    bool numbers = tail.size() > 1;
    for (size_t i = 0; i < tail.size() && numbers; ++i) {
        const char c = tail[i];
        numbers = c == '.' ? i + 1 < tail.size() && tail[i + 1] != '.' : (c >= '0' && c <= '9');
    }
    if (numbers) names.push_back(std::string(modulePath.substr(0, so + 3)) + std::string(suffix));
    return names;
}

}  // namespace cvq::platform
