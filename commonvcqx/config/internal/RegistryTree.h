// The file-backed registry's tree of keys and typed values, and its text form.
//
// One file holds one root key in the configuration text form: the root's name, then
// one group per subkey and one line per value, "sz:" name "=" text for a string and
// "dword:" name "=" signed decimal for a 32-bit number. Names and texts are escaped
// (%XX for the bytes the text form would lose or misread), so any text, the default
// value's empty name included, comes back unchanged. A key without values or subkeys
// holds the line "(key)" so that it survives the text form. Names match ignoring
// ASCII letter case and keep the spelling they were first stored with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace cvq::registry {

/// Value types, numbered as the Windows registry numbers them.
inline constexpr uint32_t kStringType = 1;  // REG_SZ
inline constexpr uint32_t kDwordType = 4;   // REG_DWORD

/// Deepest chain of subkeys below a root, as on Windows; deeper keys cannot be made
/// and deeper groups of a file are not read.
inline constexpr int kMaxKeyDepth = 512;

struct TRegistryValue {
    std::string name;  // spelling as stored
    uint32_t type = kStringType;
    std::string text;  // a string value's text
    int32_t number = 0;

    bool operator==(const TRegistryValue&) const = default;
};

class TRegistryKey {
public:
    explicit TRegistryKey(std::string name) : m_name(std::move(name)) {}
    TRegistryKey(const TRegistryKey& other);
    TRegistryKey& operator=(const TRegistryKey&) = delete;

    const std::string& Name() const noexcept { return m_name; }
    const TRegistryKey* FindKey(std::string_view name) const;
    /// The subkey of that name, made with this spelling when missing.
    TRegistryKey& EnsureKey(std::string_view name);
    const TRegistryValue* FindValue(std::string_view name) const;
    /// Stores the value (keeping a stored spelling); false when it was there unchanged.
    bool SetValue(const TRegistryValue& value);

    /// Same names (ignoring case), types and contents throughout.
    bool operator==(const TRegistryKey& other) const;

    const std::map<std::string, TRegistryValue>& Values() const noexcept { return m_values; }
    const std::map<std::string, std::unique_ptr<TRegistryKey>>& Keys() const noexcept {
        return m_keys;
    }

private:
    std::string m_name;
    // Both keyed by the folded name.
    std::map<std::string, TRegistryValue> m_values;
    std::map<std::string, std::unique_ptr<TRegistryKey>> m_keys;
};

/// The name with ASCII letters in lower case.
std::string FoldName(std::string_view name);
/// ASCII letter case ignored.
bool EqualIgnoringCase(std::string_view a, std::string_view b) noexcept;
/// %XX (upper-case hex) for '%', bytes up to the blank, DEL and = { } / : \ .
std::string EscapeText(std::string_view text);
/// Reverses EscapeText; a '%' without two hexadecimal digits stays as it is.
std::string UnescapeText(std::string_view text);

/// The parts of a subkey path split at "\", empty parts skipped; null is no part.
std::vector<std::string_view> SplitKeyPath(const char* path);

/// The tree a file's text describes. Damaged text is read as far as it is sound:
/// lines that are not values are skipped, numbers that do not parse and groups
/// deeper than kMaxKeyDepth are left out; never throws but for memory.
std::unique_ptr<TRegistryKey> ReadRegistryText(std::string_view text);
/// The text form of a tree under the root name `rootName`.
std::string WriteRegistryText(const TRegistryKey& root, std::string_view rootName);

}  // namespace cvq::registry
