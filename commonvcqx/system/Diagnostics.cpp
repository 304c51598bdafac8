#include <commonvcqx/base/BoundedText.h>
#include <commonvcqx/files/File.h>
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/platform/TraceSink.h>
#include <commonvcqx/platform/internal/Console.h>
#include <commonvcqx/system/Diagnostics.h>
#include <commonvcqx/system/internal/TestSwitches.h>

#include <cstring>
#include <mutex>
#include <string>

namespace pf = cvq::platform;

namespace {

constexpr size_t kMonitorBuffer = 1000;

bool IsFlag(char c) {
    return std::strchr("-+ #0'", c) != nullptr;
}

// One conversion ("%-08ld") with its argument read at the width it names.
void AppendConversion(cvq::TBoundedText& line, const char* directive, const int32_t* args,
                      int count, int& used) {
    const size_t length = std::strlen(directive);
    const char kind = directive[length - 1];
    const bool longLong =
        std::strstr(directive, "ll") != nullptr || std::strchr(directive, 'L') != nullptr;
    const bool isLong = !longLong && std::strchr(directive, 'l') != nullptr;
    const bool isShort = std::strchr(directive, 'h') != nullptr;
    const bool isSigned = kind == 'd' || kind == 'i';
    if (kind == 's' || kind == 'S' || kind == 'p' || kind == 'n') {
        line.Append(directive);
        return;
    }
    const int32_t value = used < count ? args[used] : 0;
    ++used;
    switch (kind) {
        case 'c':
            line.AppendFormat(directive, int(value));
            return;
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A': {
            char plain[64];
            cvq::TBoundedText rebuilt(plain);
            for (const char* at = directive; *at; ++at)
                if (*at != 'l' && *at != 'L' && *at != 'h') rebuilt.Append(*at);
            line.AppendFormat(plain, double(value));
            return;
        }
        default:
            break;
    }
    if (longLong)
        isSigned ? line.AppendFormat(directive, static_cast<long long>(value))
                 : line.AppendFormat(directive, static_cast<unsigned long long>(uint32_t(value)));
    else if (isLong)
        isSigned ? line.AppendFormat(directive, static_cast<long>(value))
                 : line.AppendFormat(directive, static_cast<unsigned long>(uint32_t(value)));
    else if (isShort || !isSigned)
        isSigned ? line.AppendFormat(directive, int(value))
                 : line.AppendFormat(directive, unsigned(value));
    else
        line.AppendFormat(directive, int(value));
}

void MonitorFormatted(const char* format, const int32_t* args, int count) {
    char buffer[kMonitorBuffer];
    cvq::TBoundedText line(buffer);
    int used = 0;
    for (const char* at = format ? format : ""; *at;) {
        if (*at != '%') {
            line.Append(*at++);
            continue;
        }
        if (at[1] == '%') {
            line.Append('%');
            at += 2;
            continue;
        }
        // Flags, width, precision, length, conversion; "*" widths are not taken.
        char directive[64];
        cvq::TBoundedText conversion(directive);
        const char* start = at++;
        while (*at && IsFlag(*at)) ++at;
        // Widths and precisions beyond the line's 1,000 bytes are not conversions: a
        // padding of millions would only be cut off again.
        const char* digits = at;
        while (*at >= '0' && *at <= '9') ++at;
        bool tooWide = at - digits > 3;
        if (*at == '.') {
            digits = ++at;
            while (*at >= '0' && *at <= '9') ++at;
            tooWide = tooWide || at - digits > 3;
        }
        while (*at == 'h' || *at == 'l' || *at == 'L' || *at == 'z' || *at == 'j' || *at == 't')
            ++at;
        if (!*at || !std::strchr("diouxXcsSpneEfFgGaA", *at) || tooWide || at - start > 40) {
            line.Append(start, size_t(at - start));  // not a conversion: kept as text
            continue;
        }
        ++at;
        conversion.Append(start, size_t(at - start));
        if (std::strpbrk(directive, "zjt")) {  // widths of no 32-bit meaning: read as long
            char plain[64];
            cvq::TBoundedText rebuilt(plain);
            for (const char* c = directive; *c; ++c)
                if (!std::strchr("zjt", *c)) rebuilt.Append(*c);
            const size_t last = std::strlen(plain) - 1;
            std::string withLong(plain, last);
            withLong += 'l';
            withLong += plain[last];
            AppendConversion(line, withLong.c_str(), args, count, used);
        } else {
            AppendConversion(line, directive, args, count, used);
        }
    }
    Monitor(buffer);
}

std::unique_ptr<cvq::detail::TTestSwitches>& ProcessSwitches() {
    static std::unique_ptr<cvq::detail::TTestSwitches> switches;
    return switches;
}

}  // namespace

void Monitor(const char* text) {
    char buffer[kMonitorBuffer];
    cvq::TBoundedText line(buffer, kMonitorBuffer - 1);  // room for the newline
    line.Append(text);
    std::strcat(buffer, "\n");
    TraceLine(buffer);
}

void Monitor(const char* format, int32_t a1) {
    const int32_t args[] = {a1};
    MonitorFormatted(format, args, 1);
}
void Monitor(const char* format, int32_t a1, int32_t a2) {
    const int32_t args[] = {a1, a2};
    MonitorFormatted(format, args, 2);
}
void Monitor(const char* format, int32_t a1, int32_t a2, int32_t a3) {
    const int32_t args[] = {a1, a2, a3};
    MonitorFormatted(format, args, 3);
}
void Monitor(const char* format, int32_t a1, int32_t a2, int32_t a3, int32_t a4) {
    const int32_t args[] = {a1, a2, a3, a4};
    MonitorFormatted(format, args, 4);
}
void Monitor(const char* format, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5) {
    const int32_t args[] = {a1, a2, a3, a4, a5};
    MonitorFormatted(format, args, 5);
}
void Monitor(const char* format, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5,
             int32_t a6) {
    const int32_t args[] = {a1, a2, a3, a4, a5, a6};
    MonitorFormatted(format, args, 6);
}
void Monitor(const char* format, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5,
             int32_t a6, int32_t a7) {
    const int32_t args[] = {a1, a2, a3, a4, a5, a6, a7};
    MonitorFormatted(format, args, 7);
}

HANDLE GetStdHandle(DWORD which) {
    return pf::StandardConsole(which);
}

void cls(void* console) {
    pf::ClearTerminal(pf::DescriptorOfConsole(console));
}

void ClearOutputConsole() {
    cls(GetStdHandle(STD_OUTPUT_HANDLE));
}

namespace cvq::detail {

std::unique_ptr<TTestSwitches> TTestSwitches::Load(const TFileName& file) {
    if (!TFile::Exist(file)) return nullptr;
    std::unique_ptr<TTestSwitches> switches(new TTestSwitches);
    TAutoCriticalSection guard(switches->m_lock);  // not shared yet; says what guards it
    try {
        switches->m_config.Load(file);
    } catch (const AException&) {
        return nullptr;  // ignored, as the switches are only test aids
    }
    switches->m_config.MoveToRoot();
    return switches;
}

bool TTestSwitches::IsOn(const char* name) const {
    TAutoCriticalSection guard(m_lock);
    return m_config.GetValue(int32_t(0), name ? name : "", 0) != 0;
}

}  // namespace cvq::detail

char CanTest(const char* name) {
    static std::once_flag once;
    std::call_once(once, [] {
        try {
            ProcessSwitches() = cvq::detail::TTestSwitches::Load(
                TFileName::CreateApplicationRelative("tconfig.txt"));
        } catch (const AException&) {
            // No application folder: every switch stays off.
        }
    });
    const auto& switches = ProcessSwitches();
    return switches && switches->IsOn(name) ? 1 : 0;
}
