// "file://" URI decoding over arbitrary bytes: a decoded path is absolute and holds
// no NUL, and an escape of every byte of it decodes back to the same path.
#include <commonvcqx/platform/internal/FileDialogs.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 8192) return 0;
    const std::string uri(reinterpret_cast<const char*>(data), size);
    std::string path;
    if (!cvq::platform::DecodeFileUri(uri, path)) return 0;
    if (path.empty() || path[0] != '/' || path.find('\0') != std::string::npos) std::abort();
    std::string escaped = "file://";
    for (unsigned char c : path) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", c);
        escaped += c == '/' ? std::string("/") : std::string(hex);
    }
    std::string again;
    if (!cvq::platform::DecodeFileUri(escaped, again) || again != path) std::abort();
    return 0;
}
