// The dialog programs' output split into names, over arbitrary bytes: the first
// byte picks the separator (zenity's "//" or kdialog's line feed). Joining the names
// with the separator gives back the output without its one final line feed, and no
// name holds the separator.
#include <commonvcqx/platform/internal/FileDialogs.h>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 65536) return 0;
    const std::string separator = data[0] & 1 ? "\n" : "//";
    const std::string output(reinterpret_cast<const char*>(data) + 1, size - 1);
    const auto names = cvq::platform::SplitDialogOutput(output, separator);
    std::string expected = output;
    if (!expected.empty() && expected.back() == '\n') expected.pop_back();
    if (expected.empty() != names.empty()) std::abort();
    std::string joined;
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].find(separator) != std::string::npos) std::abort();
        if (i) joined += separator;
        joined += names[i];
    }
    if (joined != expected) std::abort();
    return 0;
}
