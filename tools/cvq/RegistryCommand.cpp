// cvq registry: the registry files through the library's helpers, so that every change
// takes the library's lock and replaces the file as the library does.
#include "Commands.h"

#include <commonvcqx/config/Registry.h>

#include <array>
#include <charconv>
#include <cinttypes>
#include <cstring>
#include <utility>

namespace cvq::tool {

namespace {

constexpr char kUsage[] =
    "cvq registry [--dir DIR] list [KEY]\n"
    "       cvq registry [--dir DIR] get KEY NAME\n"
    "       cvq registry [--dir DIR] set [--dword] KEY NAME VALUE";

constexpr char kHelp[] =
    "usage: cvq registry [--dir DIR] list [KEY]\n"
    "       cvq registry [--dir DIR] get KEY NAME\n"
    "       cvq registry [--dir DIR] set [--dword] KEY NAME VALUE\n"
    "Lists, reads and writes the registry files through the library: a change holds\n"
    "the root's lock file from its read to the atomic replace of the file, and a set\n"
    "that changes nothing writes nothing.\n"
    "\n"
    "KEY is a root, optionally followed by subkeys after \"\\\" (quote it in the\n"
    "shell): HKEY_CURRENT_USER (HKCU), HKEY_LOCAL_MACHINE (HKLM), HKEY_CLASSES_ROOT\n"
    "(HKCR), HKEY_USERS (HKU), HKEY_CURRENT_CONFIG (HKCC), HKEY_PERFORMANCE_DATA or\n"
    "HKEY_DYN_DATA, in any letter case. Key and value names match ignoring letter\n"
    "case. NAME \"\" is the key's default value.\n"
    "\n"
    "  list     the key and every key below it: each key's path on a line of its\n"
    "           own, then its values indented by four spaces as name (\"(Default)\"\n"
    "           for the default value), REG_SZ or REG_DWORD, and the data, separated\n"
    "           by four spaces. Without KEY, every root that holds anything. Control\n"
    "           bytes in names and texts are shown as \\xNN.\n"
    "  get      the value's data alone: a string's text or a number in decimal.\n"
    "  set      writes VALUE as a string, or with --dword as a 32-bit number\n"
    "           (decimal, or hex after 0x; -2147483648 to 4294967295, the upper half\n"
    "           stored as its two's complement); the key and its path are made.\n"
    "  --dir    the folder of the registry files, one \"<root>.reg\" per root; by\n"
    "           default $XDG_CONFIG_HOME/CommonVcQx/registry, else\n"
    "           ~/.config/CommonVcQx/registry.\n"
    "\n"
    "Exit status: 0 done; 1 no such key or value, or it cannot be written; 2 a wrong\n"
    "command line.\n";

struct TRoot {
    const char* name;
    const char* shortName;
    HKEY key;
};

const std::array<TRoot, 7>& Roots() {
    static const std::array<TRoot, 7> roots = {{
        {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
        {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
        {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
        {"HKEY_USERS", "HKU", HKEY_USERS},
        {"HKEY_PERFORMANCE_DATA", nullptr, HKEY_PERFORMANCE_DATA},
        {"HKEY_CURRENT_CONFIG", "HKCC", HKEY_CURRENT_CONFIG},
        {"HKEY_DYN_DATA", nullptr, HKEY_DYN_DATA},
    }};
    return roots;
}

// A key given on the command line: its root and the path below it.
struct TKeyPath {
    const TRoot* root = nullptr;
    std::string subKey;
};

bool SameIgnoringCase(const std::string& a, const char* b) {
    const size_t length = std::strlen(b);
    if (a.size() != length) return false;
    for (size_t i = 0; i < length; ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool ParseKey(const std::string& text, TKeyPath& key) {
    const size_t slash = text.find('\\');
    const std::string root = text.substr(0, slash);
    for (const TRoot& r : Roots()) {
        if (SameIgnoringCase(root, r.name) ||
            (r.shortName && SameIgnoringCase(root, r.shortName))) {
            key.root = &r;
            key.subKey = slash == std::string::npos ? "" : text.substr(slash + 1);
            return true;
        }
    }
    std::fprintf(stderr, "cvq: %s: not a registry root\n", root.c_str());
    return false;
}

std::string Shown(const TString& text) {
    std::string shown;
    for (uint32_t i = 0; i < text.GetLength(); ++i) {
        const auto c = static_cast<unsigned char>(text.c_str()[i]);
        if (c < 0x20 || c == 0x7F) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            shown += escape;
        } else {
            shown += char(c);
        }
    }
    return shown;
}

void PrintValue(const TRegistryValueInfo& value) {
    std::printf("    %s    ", value.name.IsEmpty() ? "(Default)" : Shown(value.name).c_str());
    if (value.type == 4)
        std::printf("REG_DWORD    %" PRId32 "\n", value.number);
    else
        std::printf("REG_SZ    %s\n", Shown(value.text).c_str());
}

// Depth first, each key before the keys below it; one listing per key, so a change
// made meanwhile shows in the keys listed after it.
int List(const TKeyPath& start, bool onlyFilled) {
    std::vector<std::string> pending{start.subKey};
    bool first = true;
    while (!pending.empty()) {
        const std::string subKey = std::move(pending.back());
        pending.pop_back();
        std::vector<TString> keys;
        std::vector<TRegistryValueInfo> values;
        if (!ListRegistryKey(start.root->key, subKey.c_str(), &keys, &values)) {
            if (first) {
                const std::string shown = subKey.empty()
                                              ? start.root->name
                                              : std::string(start.root->name) + "\\" + subKey;
                return Fail(shown, "no such key");
            }
            continue;  // deleted meanwhile
        }
        if (first && onlyFilled && keys.empty() && values.empty()) return kDone;
        first = false;
        std::printf("%s%s%s\n", start.root->name, subKey.empty() ? "" : "\\",
                    Shown(TString(subKey.c_str())).c_str());
        for (const TRegistryValueInfo& value : values) PrintValue(value);
        for (size_t i = keys.size(); i-- > 0;)
            pending.push_back(subKey.empty() ? keys[i].c_str() : subKey + "\\" + keys[i].c_str());
    }
    return kDone;
}

bool ParseNumber(const std::string& text, int32_t& number) {
    const char* begin = text.c_str();
    const char* end = begin + text.size();
    int base = 10;
    bool negative = false;
    if (begin < end && *begin == '-') {
        negative = true;
        ++begin;
    }
    if (end - begin > 2 && begin[0] == '0' && (begin[1] == 'x' || begin[1] == 'X')) {
        base = 16;
        begin += 2;
    }
    uint64_t magnitude = 0;
    const auto [stop, error] = std::from_chars(begin, end, magnitude, base);
    if (begin == end || stop != end || error != std::errc()) return false;
    if (negative ? magnitude > 0x80000000u : magnitude > 0xFFFFFFFFu) return false;
    number = int32_t(uint32_t(negative ? 0 - magnitude : magnitude));
    return true;
}

}  // namespace

int RunRegistry(const TArguments& arguments) {
    // --dir takes a value; the other options are plain.
    TArguments rest;
    std::string directory;
    bool hasDirectory = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--dir" && !hasDirectory) {
            if (i + 1 == arguments.size()) return WrongUsage(kUsage);
            directory = arguments[++i];
            hasDirectory = true;
        } else {
            rest.push_back(arguments[i]);
        }
    }
    std::vector<std::string> options;
    TArguments operands;
    if (!SplitOptions(rest, {"--dword"}, options, operands)) return WrongUsage(kUsage);
    if (Has(options, "--help")) return Help(kHelp);
    if (operands.empty()) return WrongUsage(kUsage);
    if (hasDirectory) {
        if (directory.empty()) return WrongUsage(kUsage);
        SetRegistryDirectory(directory.c_str());
    }
    const std::string action = operands[0];
    const bool dword = Has(options, "--dword");
    if (dword && action != "set") return WrongUsage(kUsage);

    TKeyPath key;
    if (action == "list") {
        if (operands.size() > 2) return WrongUsage(kUsage);
        if (operands.size() == 2) return ParseKey(operands[1], key) ? List(key, false) : kFailed;
        for (const TRoot& root : Roots()) {
            key.root = &root;
            if (List(key, true) != kDone) return kFailed;
        }
        return kDone;
    }
    if (action == "get") {
        if (operands.size() != 3) return WrongUsage(kUsage);
        if (!ParseKey(operands[1], key)) return kFailed;
        TRegistryValueInfo value;
        if (!ReadRegistryValue(key.root->key, key.subKey.c_str(), operands[2].c_str(), &value))
            return Fail(operands[1], "no value \"" + operands[2] + "\"");
        if (value.type == 4) {
            std::printf("%" PRId32 "\n", value.number);
        } else {
            std::fwrite(value.text.c_str(), 1, value.text.GetLength(), stdout);
            std::fputc('\n', stdout);
        }
        return kDone;
    }
    if (action == "set") {
        if (operands.size() != 4) return WrongUsage(kUsage);
        if (!ParseKey(operands[1], key)) return kFailed;
        int32_t number = 0;
        if (dword && !ParseNumber(operands[3], number))
            return Fail(operands[3], "not a 32-bit number");
        try {
            if (dword)
                EnsureRegistryLong(key.root->key, key.subKey.c_str(), operands[2].c_str(), number);
            else
                EnsureRegistryString(key.root->key, key.subKey.c_str(), operands[2].c_str(),
                                     operands[3].c_str(), 1);
        } catch (int) {
            return Fail(operands[1],
                        "cannot be written in " + std::string(GetRegistryDirectory().c_str()));
        }
        return kDone;
    }
    std::fprintf(stderr, "cvq: unknown registry command %s\n", action.c_str());
    return WrongUsage(kUsage);
}

}  // namespace cvq::tool
