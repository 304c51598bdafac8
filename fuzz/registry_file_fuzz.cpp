// The registry's file reader over arbitrary bytes: the configuration text with the
// escaping and type marks. Whatever is read must write and read back to the same tree
// and the same text. The same bytes are taken as a subkey path, walked through the
// tree, and as a text to escape and unescape.
#include <commonvcqx/config/internal/RegistryTree.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

namespace reg = cvq::registry;

void FuzzFile(std::string_view text) {
    const std::unique_ptr<reg::TRegistryKey> tree = reg::ReadRegistryText(text);
    const std::string written = reg::WriteRegistryText(*tree, "HKEY_CURRENT_USER");
    const std::unique_ptr<reg::TRegistryKey> again = reg::ReadRegistryText(written);
    if (!(*again == *tree)) std::abort();
    if (reg::WriteRegistryText(*again, "HKEY_CURRENT_USER") != written) std::abort();
    const reg::TRegistryKey copy(*again);
    if (!(copy == *tree)) std::abort();
}

void FuzzPath(const std::string& path, const reg::TRegistryKey& tree) {
    size_t total = 0;
    const reg::TRegistryKey* key = &tree;
    for (std::string_view part : reg::SplitKeyPath(path.c_str())) {
        if (part.empty() || part.find('\\') != std::string_view::npos) std::abort();
        total += part.size();
        if (key) key = key->FindKey(part);
    }
    if (total > path.size()) std::abort();
    if (!reg::SplitKeyPath(nullptr).empty()) std::abort();
}

void FuzzEscaping(std::string_view text) {
    const std::string escaped = reg::EscapeText(text);
    for (char c : escaped) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 0x7F || c == '=' || c == '{' || c == '}' || c == '/' ||
            c == ':' || c == '\\')
            std::abort();
    }
    if (reg::UnescapeText(escaped) != text) std::abort();
    reg::UnescapeText(text);  // damaged escapes
    if (!reg::EqualIgnoringCase(reg::FoldName(text), text)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16384) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    FuzzFile(text);
    const std::unique_ptr<reg::TRegistryKey> tree = reg::ReadRegistryText(text);
    FuzzPath(std::string(text.data(), text.size()).c_str(), *tree);
    FuzzEscaping(text);
    return 0;
}
