// commonvcqx/system/System.h
//
// TSystem: what the running platform is. Every answer is fetched once and kept for
// the life of the process; the first calls may come from several threads at once.
//
// On Linux the platform counts as the NT family (IsNT true) so that NT-only paths stay
// on; the version numbers are the kernel's ("6.1.0-18-amd64" is 6, 1, build 0) and the
// service-pack text (szCSDVersion) is the distribution's PRETTY_NAME, cut to 127
// characters. The processors are those the process may run on (its affinity mask).
// Without a reachable X11 or Wayland display, the display counts as 32 bits per pixel.
// Double-byte support follows the codeset of the locale current at the first call.
//
//   if (TSystem::GetNumProcessors() > 1) StartWorkers();
//   uint16_t version = TSystem::GetVersion();   // 0x0601 on kernel 6.1
#pragma once

#include <commonvcqx/platform/WinTypes.h>

#include <cstdint>

class TSystem {
public:
    using TVersionInfo = OSVERSIONINFO;
    using TSystemInfo = SYSTEM_INFO;

    /// The processor types of SYSTEM_INFO::dwProcessorType.
    enum TProcessor : uint32_t {  // NOLINT(readability-identifier-naming): the original name
        kIntel386 = PROCESSOR_INTEL_386,
        kIntel486 = PROCESSOR_INTEL_486,
        kIntelPentium = PROCESSOR_INTEL_PENTIUM,
        kAmdX8664 = PROCESSOR_AMD_X8664,
        kOther = 0,
    };

    /// The version record: size 148, the kernel's numbers, platform id 2.
    static const TVersionInfo& GetVerInfo();
    static uint32_t GetPlatformId() { return GetVerInfo().dwPlatformId; }
    static char IsNT() { return GetPlatformId() == VER_PLATFORM_WIN32_NT; }
    static char IsWin95() { return GetPlatformId() == VER_PLATFORM_WIN32_WINDOWS; }
    static uint32_t GetMajorVersion() { return GetVerInfo().dwMajorVersion; }
    static uint32_t GetMinorVersion() { return GetVerInfo().dwMinorVersion; }
    static uint32_t GetBuildNumber() { return GetVerInfo().dwBuildNumber; }
    /// major × 256 + minor, each part held to 0-255.
    static uint16_t GetVersion();

    static const TSystemInfo& GetSystemInfo();
    static TProcessor GetProcessorType() { return TProcessor(GetSystemInfo().dwProcessorType); }
    static int32_t GetNumProcessors() { return int32_t(GetSystemInfo().dwNumberOfProcessors); }

    /// 2,147,483,647 for 32 bits per pixel, else planes × 2^(bits per pixel).
    static int32_t GetNumColors();
    /// Whether the locale's codeset is a double-byte character set.
    static char UseDbcs();

    /// The colour count of a display with these planes and bits per pixel, as
    /// GetNumColors packs it (saturating at 2,147,483,647).
    static int32_t NumColorsOf(int planes, int bitsPerPixel) noexcept;
    /// major × 256 + minor, each part held to 0-255.
    static uint16_t PackVersion(uint32_t major, uint32_t minor) noexcept;
};
