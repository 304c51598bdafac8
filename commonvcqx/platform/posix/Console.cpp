// Console handles and terminal clearing.
#include <commonvcqx/platform/internal/Console.h>

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cvq::platform {
namespace {

struct TConsole {
    int descriptor;
};

TConsole g_consoles[] = {{STDIN_FILENO}, {STDOUT_FILENO}, {STDERR_FILENO}};

}  // namespace

HANDLE StandardConsole(DWORD which) noexcept {
    switch (which) {
        case kStandardInput:
            return &g_consoles[0];
        case kStandardOutput:
            return &g_consoles[1];
        case kStandardError:
            return &g_consoles[2];
        default:
            return nullptr;
    }
}

int DescriptorOfConsole(HANDLE console) noexcept {
    for (TConsole& known : g_consoles)
        if (console == &known) return known.descriptor;
    return -1;
}

bool ClearTerminal(int descriptor) noexcept {
    if (descriptor < 0 || !::isatty(descriptor)) return false;
    // Home, clear the screen, clear the scroll-back: the whole screen buffer.
    static constexpr char kClear[] = "\033[H\033[2J\033[3J";
    const char* at = kClear;
    size_t left = sizeof kClear - 1;
    while (left > 0) {
        const ssize_t written = ::write(descriptor, at, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        at += written;
        left -= size_t(written);
    }
    return true;
}

}  // namespace cvq::platform
