#include <commonvcqx/base/NumberParsing.h>
#include <commonvcqx/config/Config.h>
#include <commonvcqx/config/internal/RegistryTree.h>
#include <commonvcqx/frame/Exception.h>

#include <string>

namespace cvq::registry {

namespace {

constexpr std::string_view kStringMark = "sz:";
constexpr std::string_view kDwordMark = "dword:";
constexpr std::string_view kKeyMark = "(key)";

char Lower(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool MustEscape(unsigned char c) noexcept {
    switch (c) {
        case '%':
        case '=':
        case '{':
        case '}':
        case '/':
        case ':':
        case '\\':
        case 0x7F:
            return true;
        default:
            return c <= ' ';
    }
}

int HexDigit(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void ReadValue(const TConfigKey& key, TRegistryKey& into) {
    std::string_view name(key.GetName().c_str(), size_t(key.GetName().GetLength()));
    TRegistryValue value;
    if (name.starts_with(kStringMark)) {
        name.remove_prefix(kStringMark.size());
        value.type = kStringType;
        value.text = UnescapeText(
            std::string_view(key.GetValue().c_str(), size_t(key.GetValue().GetLength())));
    } else if (name.starts_with(kDwordMark)) {
        name.remove_prefix(kDwordMark.size());
        const char* text = key.GetValue().c_str();
        const char* end = text;
        value.type = kDwordType;
        value.number = ParseLong32(text, &end, 10);
        if (end == text || *end != '\0') return;  // not a number: damaged
    } else {
        return;  // the empty key's mark, or a line that is no value
    }
    value.name = UnescapeText(name);
    if (!into.FindValue(value.name)) into.SetValue(value);  // the first of a name wins
}

void ReadGroup(const TConfigKey& group, TRegistryKey& into, int depth) {
    for (const TConfigKey* child = group.FirstChild(); child; child = child->GetNext()) {
        if (!child->IsGroup()) {
            ReadValue(*child, into);
            continue;
        }
        if (depth >= kMaxKeyDepth) continue;
        const std::string name = UnescapeText(
            std::string_view(child->GetName().c_str(), size_t(child->GetName().GetLength())));
        // Neither can be reached by a path.
        if (name.empty() || name.find('\\') != std::string::npos) continue;
        ReadGroup(*child, into.EnsureKey(name), depth + 1);
    }
}

void WriteGroup(const TRegistryKey& key, std::string_view name, int depth, std::string& out) {
    out.append(size_t(depth), '\t');
    out += name;
    out += "\r\n";
    out.append(size_t(depth), '\t');
    out += "{\r\n";
    for (const auto& [folded, value] : key.Values()) {
        out.append(size_t(depth + 1), '\t');
        if (value.type == kDwordType) {
            out += kDwordMark;
            out += EscapeText(value.name);
            out += '=';
            out += std::to_string(value.number);
        } else {
            out += kStringMark;
            out += EscapeText(value.name);
            if (!value.text.empty()) {  // as the configuration writes an empty value
                out += '=';
                out += EscapeText(value.text);
            }
        }
        out += "\r\n";
    }
    for (const auto& [folded, child] : key.Keys())
        WriteGroup(*child, EscapeText(child->Name()), depth + 1, out);
    if (key.Values().empty() && key.Keys().empty() && depth > 0) {
        out.append(size_t(depth + 1), '\t');
        out += kKeyMark;
        out += "\r\n";
    }
    out.append(size_t(depth), '\t');
    out += "}\r\n";
}

}  // namespace

TRegistryKey::TRegistryKey(const TRegistryKey& other)
    : m_name(other.m_name), m_values(other.m_values) {
    for (const auto& [folded, child] : other.m_keys)
        m_keys.emplace(folded, std::make_unique<TRegistryKey>(*child));
}

const TRegistryKey* TRegistryKey::FindKey(std::string_view name) const {
    auto found = m_keys.find(FoldName(name));
    return found == m_keys.end() ? nullptr : found->second.get();
}

TRegistryKey& TRegistryKey::EnsureKey(std::string_view name) {
    std::string folded = FoldName(name);
    auto found = m_keys.find(folded);
    if (found != m_keys.end()) return *found->second;
    return *m_keys.emplace(std::move(folded), std::make_unique<TRegistryKey>(std::string(name)))
                .first->second;
}

const TRegistryValue* TRegistryKey::FindValue(std::string_view name) const {
    auto found = m_values.find(FoldName(name));
    return found == m_values.end() ? nullptr : &found->second;
}

bool TRegistryKey::SetValue(const TRegistryValue& value) {
    auto [slot, added] = m_values.try_emplace(FoldName(value.name), value);
    if (added) return true;
    TRegistryValue& stored = slot->second;
    if (stored.type == value.type &&
        (value.type == kDwordType ? stored.number == value.number : stored.text == value.text))
        return false;
    std::string spelling = std::move(stored.name);
    stored = value;
    stored.name = std::move(spelling);
    return true;
}

bool TRegistryKey::operator==(const TRegistryKey& other) const {
    if (!EqualIgnoringCase(m_name, other.m_name) || m_values != other.m_values ||
        m_keys.size() != other.m_keys.size())
        return false;
    auto mine = m_keys.begin();
    for (auto theirs = other.m_keys.begin(); theirs != other.m_keys.end(); ++theirs, ++mine)
        if (mine->first != theirs->first || !(*mine->second == *theirs->second)) return false;
    return true;
}

std::string FoldName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) c = Lower(c);
    return folded;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::string EscapeText(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (MustEscape(byte)) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

std::string UnescapeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
            HexDigit(text[i + 2]) >= 0) {
            out += char(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::string_view> SplitKeyPath(const char* path) {
    std::vector<std::string_view> parts;
    if (!path) return parts;
    std::string_view rest(path);
    while (!rest.empty()) {
        const size_t slash = rest.find('\\');
        std::string_view part = rest.substr(0, slash);
        if (!part.empty()) parts.push_back(part);
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    return parts;
}

std::unique_ptr<TRegistryKey> ReadRegistryText(std::string_view text) {
    auto root = std::make_unique<TRegistryKey>(std::string());
    // The configuration reader takes a 32-bit size; no registry file comes near it.
    if (text.size() > 0x7FFFFFFF) return root;
    TConfig config("", TConfig::kNoMode);
    try {
        config.BuildFromTextBlock(text.data(), unsigned(text.size()));
    } catch (const TException&) {
        return root;  // nested beyond the configuration's limit: nothing sound to read
    }
    ReadGroup(*config.GetRoot(), *root, 0);
    return root;
}

std::string WriteRegistryText(const TRegistryKey& root, std::string_view rootName) {
    std::string out;
    WriteGroup(root, rootName, 0, out);
    return out;
}

}  // namespace cvq::registry
