// The kernel release and os-release parsers over arbitrary bytes: a release parses
// exactly when it starts with "digits.digit", its numbers are those digits (held to
// 32 bits), one that does not parse leaves zeros, and the pretty name is never longer
// than the text it came from.
#include <commonvcqx/platform/internal/SystemFacts.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

bool Digit(std::string_view text, size_t at) {
    return at < text.size() && text[at] >= '0' && text[at] <= '9';
}

uint32_t Number(std::string_view text, size_t& at) {
    uint64_t value = 0;
    for (; Digit(text, at); ++at) {
        value = value * 10 + uint64_t(text[at] - '0');
        if (value > UINT32_MAX) value = UINT32_MAX;
    }
    return uint32_t(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    size_t at = 0;
    const uint32_t major = Number(text, at);
    const bool shaped = at > 0 && at < text.size() && text[at] == '.' && Digit(text, at + 1);
    cvq::platform::TKernelVersion version;
    if (cvq::platform::ParseKernelRelease(text, version) != shaped) std::abort();
    if (shaped) {
        ++at;
        const uint32_t minor = Number(text, at);
        uint32_t patch = 0;
        if (at < text.size() && text[at] == '.' && Digit(text, at + 1)) {
            ++at;
            patch = Number(text, at);
        }
        if (version.major != major || version.minor != minor || version.patch != patch)
            std::abort();
    } else if (version.major || version.minor || version.patch) {
        std::abort();
    }
    if (cvq::platform::PrettyNameFromOsRelease(text).size() > size) std::abort();
    cvq::platform::IsDoubleByteCodeset(text);
    return 0;
}
