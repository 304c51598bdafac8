// The version-file parser and the version information built on it, over arbitrary
// bytes: names are unique ignoring case, values at most 999 characters, every value
// the parser kept is found again through GetInfoString, and the version numbers of
// the fixed part are those ParseVersionNumber reads from the text values.
#include <commonvcqx/platform/internal/ModuleTexts.h>
#include <commonvcqx/system/ModuleVersionInfo.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    // A block of exactly its size, so that a read past it is caught.
    std::unique_ptr<char[]> block(new char[size ? size : 1]);
    std::memcpy(block.get(), data, size);
    const cvq::platform::TVersionValues values =
        cvq::platform::ParseVersionValues(std::string_view(block.get(), size));
    TModuleVersionInfo info("");
    if (!info.InitFromText(block.get(), size) || !info.GetFixedInfo()) std::abort();
    for (const auto& [name, value] : values) {
        if (name.empty() || value.size() > cvq::platform::kLongestModuleText) std::abort();
        if (cvq::platform::FindVersionValue(values, name) != &value) std::abort();  // unique
        const char* found = nullptr;
        if (!info.GetInfoString(name.c_str(), found) || std::strcmp(found, value.c_str()) != 0) {
            if (name.find('\0') == std::string::npos) std::abort();
        }
    }
    uint32_t ms = 0, ls = 0;
    if (const std::string* version = cvq::platform::FindVersionValue(values, "FileVersion"))
        TModuleVersionInfo::ParseVersionNumber(version->c_str(), ms, ls);
    if (info.GetFileVersionMS() != ms || info.GetFileVersionLS() != ls) std::abort();
    info.GetFileSubType();
    info.GetLanguageName();
    info.IsFileFlagSet(0xFFFFFFFFu);
    // The whole input as one version number.
    const std::string text(block.get(), size);
    if (!TModuleVersionInfo::ParseVersionNumber(text.c_str(), ms, ls) && (ms != 0 || ls != 0))
        std::abort();
    return 0;
}
