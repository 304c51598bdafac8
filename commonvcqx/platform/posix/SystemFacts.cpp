// System facts from uname, the affinity mask, CPUID, os-release and the display.
#include <commonvcqx/platform/internal/SystemFacts.h>

#include <dlfcn.h>
#include <langinfo.h>
#include <sched.h>
#include <sys/utsname.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace cvq::platform {
namespace {

bool IsDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

// Digits from `at` on, saturating; false when there is none.
bool ReadNumber(std::string_view text, size_t& at, uint32_t& value) noexcept {
    if (at >= text.size() || !IsDigit(text[at])) return false;
    uint64_t number = 0;
    while (at < text.size() && IsDigit(text[at])) {
        number = number * 10 + uint64_t(text[at++] - '0');
        if (number > UINT32_MAX) number = UINT32_MAX;
    }
    value = uint32_t(number);
    return true;
}

char Upper(char c) noexcept {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

// One shell-like value: quoted parts lose their quotes, backslashes escape the next
// character (inside single quotes nothing is escaped); a "#" outside quotes ends it.
std::string ShellValue(std::string_view text) {
    std::string value;
    char quote = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote == '\'') {
            if (c == '\'')
                quote = 0;
            else
                value += c;
        } else if (c == '\\' && i + 1 < text.size()) {
            value += text[++i];
        } else if (quote == '"') {
            if (c == '"')
                quote = 0;
            else
                value += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '#' || c == ' ' || c == '\t') {
            break;
        } else {
            value += c;
        }
    }
    return value;
}

using TXOpenDisplay = void* (*)(const char*);
using TXCloseDisplay = int (*)(void*);
using TXDefaultScreen = int (*)(void*);
using TXDefaultDepth = int (*)(void*, int);
struct TXPixmapFormat {
    int depth;
    int bitsPerPixel;
    int scanlinePad;
};
using TXListPixmapFormats = TXPixmapFormat* (*)(void*, int*);
using TXFree = int (*)(void*);

// The client library stays loaded: unloading X11 while it has registered handlers is
// not safe, and the answer is asked for once.
int X11BitsPerPixel() {
    if (!std::getenv("DISPLAY")) return 0;
    void* library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!library) return 0;
    auto open = reinterpret_cast<TXOpenDisplay>(dlsym(library, "XOpenDisplay"));
    auto close = reinterpret_cast<TXCloseDisplay>(dlsym(library, "XCloseDisplay"));
    auto screen = reinterpret_cast<TXDefaultScreen>(dlsym(library, "XDefaultScreen"));
    auto depth = reinterpret_cast<TXDefaultDepth>(dlsym(library, "XDefaultDepth"));
    auto formats = reinterpret_cast<TXListPixmapFormats>(dlsym(library, "XListPixmapFormats"));
    auto release = reinterpret_cast<TXFree>(dlsym(library, "XFree"));
    if (!open || !close || !screen || !depth || !formats || !release) return 0;
    void* display = open(nullptr);
    if (!display) return 0;
    const int bits = depth(display, screen(display));
    int result = bits;
    int count = 0;
    if (TXPixmapFormat* list = formats(display, &count)) {
        for (int i = 0; i < count; ++i)
            if (list[i].depth == bits) result = list[i].bitsPerPixel;
        release(list);
    }
    close(display);
    return result > 0 ? result : 0;
}

using TWlConnect = void* (*)(const char*);
using TWlDisconnect = void (*)(void*);

int WaylandBitsPerPixel() {
    if (!std::getenv("WAYLAND_DISPLAY")) return 0;
    void* library = dlopen("libwayland-client.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!library) return 0;
    auto connect = reinterpret_cast<TWlConnect>(dlsym(library, "wl_display_connect"));
    auto disconnect = reinterpret_cast<TWlDisconnect>(dlsym(library, "wl_display_disconnect"));
    if (!connect || !disconnect) return 0;
    void* display = connect(nullptr);
    if (!display) return 0;
    disconnect(display);
    return 32;  // every compositor offers the 32-bit ARGB and XRGB formats
}

}  // namespace

bool ParseKernelRelease(std::string_view release, TKernelVersion& version) noexcept {
    version = TKernelVersion();
    size_t at = 0;
    TKernelVersion read;
    if (!ReadNumber(release, at, read.major) || at >= release.size() || release[at] != '.')
        return false;
    ++at;
    if (!ReadNumber(release, at, read.minor)) return false;
    if (at + 1 < release.size() && release[at] == '.' && IsDigit(release[at + 1])) {
        ++at;
        ReadNumber(release, at, read.patch);
    }
    version = read;
    return true;
}

std::string KernelRelease() {
    utsname names;
    if (uname(&names) != 0) return std::string();
    return names.release;
}

std::string PrettyNameFromOsRelease(std::string_view text) {
    constexpr std::string_view kKey = "PRETTY_NAME=";
    std::string found;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.substr(0, kKey.size()) == kKey) found = ShellValue(line.substr(kKey.size()));
        start = end + 1;
    }
    return found;
}

std::string DistributionPrettyName() {
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream in(path, std::ios::binary);
        if (!in) continue;
        std::string text;
        // The file is a few hundred bytes; a larger one is not an os-release file.
        text.resize(65536);
        in.read(text.data(), std::streamsize(text.size()));
        text.resize(size_t(in.gcount()));
        return PrettyNameFromOsRelease(text);
    }
    return std::string();
}

uint32_t UsableProcessorCount() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0) return uint32_t(count);
    }
    return 1;
}

uint64_t UsableProcessorMask() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
    uint64_t mask = 0;
    for (int cpu = 0; cpu < 64; ++cpu)
        if (CPU_ISSET(cpu, &set)) mask |= uint64_t(1) << cpu;
    return mask;
}

TProcessorIdentity ProcessorIdentity() noexcept {
    TProcessorIdentity identity;
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return identity;
    const uint32_t baseFamily = (eax >> 8) & 0xF;
    identity.family = baseFamily == 0xF ? baseFamily + ((eax >> 20) & 0xFF) : baseFamily;
    identity.model = (eax >> 4) & 0xF;
    if (baseFamily == 0x6 || baseFamily == 0xF) identity.model += ((eax >> 16) & 0xF) << 4;
    identity.stepping = eax & 0xF;
#endif
    return identity;
}

int DisplayBitsPerPixel() {
    if (const int bits = X11BitsPerPixel()) return bits;
    return WaylandBitsPerPixel();
}

bool IsDoubleByteCodeset(std::string_view codeset) noexcept {
    static constexpr std::string_view kDoubleByte[] = {
        "SHIFT_JIS", "SHIFT-JIS", "SJIS",   "CP932",      "WINDOWS-31J", "EUC-JP",
        "GBK",       "CP936",     "GB2312", "EUC-CN",     "EUC-KR",      "CP949",
        "UHC",       "JOHAB",     "BIG5",   "BIG5-HKSCS", "BIG5HKSCS",   "CP950"};
    for (std::string_view name : kDoubleByte)
        if (SameIgnoringCase(codeset, name)) return true;
    return false;
}

std::string LocaleCodeset() {
    const char* name = nl_langinfo(CODESET);
    return name ? name : "";
}

}  // namespace cvq::platform
