#include <commonvcqx/files/internal/FileSelectorText.h>

#include <cstring>

namespace cvq::detail {

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char OtherCase(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : char(c - 'A' + 'a');
}

std::vector<std::string_view> Components(std::string_view name) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t cut = name.find('\\', start);
        if (cut == std::string_view::npos) {
            parts.push_back(name.substr(start));
            return parts;
        }
        parts.push_back(name.substr(start, cut - start));
        start = cut + 1;
    }
}

}  // namespace

std::vector<TFilterPair> ParseFilterText(std::string_view text) {
    std::string whole(text);
    if (whole.empty() || whole.back() != '|') whole += '|';
    std::vector<std::string_view> strings;
    std::string_view rest(whole);
    while (!rest.empty()) {
        const size_t cut = rest.find('|');
        strings.push_back(rest.substr(0, cut));
        rest.remove_prefix(cut + 1);
    }
    std::vector<TFilterPair> pairs;
    for (size_t i = 0; i + 1 < strings.size(); i += 2) {
        // Two NULs in a row end the platform's list.
        if (strings[i].empty() || strings[i + 1].empty()) break;
        pairs.push_back({std::string(strings[i]), std::string(strings[i + 1])});
    }
    return pairs;
}

int PreselectedFilter(int filterIndex, int pairCount) noexcept {
    if (filterIndex < 0 || filterIndex >= pairCount) return 1;
    return filterIndex + 1;
}

std::vector<std::string> SplitPatterns(std::string_view patterns) {
    std::vector<std::string> result;
    for (;;) {
        const size_t cut = patterns.find(';');
        const std::string_view one = Trimmed(patterns.substr(0, cut));
        if (!one.empty()) result.emplace_back(one);
        if (cut == std::string_view::npos) return result;
        patterns.remove_prefix(cut + 1);
    }
}

std::string BackEndPattern(std::string_view pattern) {
    if (pattern == "*.*") return "*";
    std::string out;
    out.reserve(pattern.size() * 2);
    for (char c : pattern) {
        if (IsLetter(c)) {
            out += '[';
            out += c;
            out += OtherCase(c);
            out += ']';
        } else if (c == '[') {
            out += "[[]";
        } else {
            out += c;
        }
    }
    return out;
}

bool PackNames(const std::vector<std::string>& names, char* buffer, size_t size) {
    if (names.empty()) return false;
    std::string packed;
    if (names.size() == 1) {
        packed = names[0];
        packed += '\0';
    } else {
        // The folder is the components all parents share.
        std::vector<std::string_view> common = Components(names[0]);
        common.pop_back();
        for (const std::string& name : names) {
            std::vector<std::string_view> parts = Components(name);
            parts.pop_back();
            size_t same = 0;
            while (same < common.size() && same < parts.size() && common[same] == parts[same])
                ++same;
            common.resize(same);
        }
        if (common.empty() || common[0].empty()) return false;
        size_t folderLength = 0;
        for (std::string_view part : common) folderLength += part.size() + 1;
        --folderLength;  // no separator after the last component
        packed.assign(names[0], 0, folderLength);
        // A drive's root keeps its backslash, as the platform's dialog writes it.
        if (common.size() == 1) packed += '\\';
        packed += '\0';
        for (const std::string& name : names) {
            const std::string_view relative = std::string_view(name).substr(folderLength + 1);
            if (relative.empty()) return false;
            packed.append(relative);
            packed += '\0';
        }
    }
    packed += '\0';
    if (packed.size() > size) return false;
    std::memcpy(buffer, packed.data(), packed.size());
    return true;
}

bool ParseNameBuffer(const char* buffer, size_t size, TFlexList<TFileName>& files,
                     TFileName& folder) {
    const size_t first = strnlen(buffer, size);
    if (first == 0 || first == size) return false;
    const std::string head(buffer, first);
    size_t at = first + 1;
    if (at >= size || buffer[at] == '\0') {
        TFileName name(head.c_str());
        files.Clear();
        files.Append(new TFileName(name));
        folder = name.GetPath();
        return true;
    }
    TFlexList<TFileName> found;
    const TFileName directory(head.c_str());
    while (at < size && buffer[at] != '\0') {
        const size_t length = strnlen(buffer + at, size - at);
        if (at + length == size) break;  // a name without its NUL is not a name
        const std::string title(buffer + at, length);
        found.Append(new TFileName(directory, title.c_str()));
        at += length + 1;
    }
    if (found.GetCount() == 0) return false;
    found.Sort();
    files.Clear();
    files.SwapWith(found);
    folder = directory;
    return true;
}

}  // namespace cvq::detail
