// commonvcqx/platform/internal/SystemFacts.h
//
// Facts about the running system as the system information answers them: the kernel's
// version from its release text, the distribution's name, the processors this process
// may run on, the processor's identity, the display's depth and whether the locale's
// codeset is a double-byte one.
//
//   cvq::platform::TKernelVersion version;
//   cvq::platform::ParseKernelRelease("6.1.0-18-amd64", version);   // 6, 1, 0
//   uint32_t processors = cvq::platform::UsableProcessorCount();
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cvq::platform {

struct TKernelVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t patch = 0;
};

/// Reads the leading "major.minor[.patch]" of a kernel release ("5.15.0-1040-azure",
/// "6.1.0-rc3+"); what follows the numbers is the distribution's and is ignored. Each
/// number saturates at UINT32_MAX. False (and zeros) when the text does not start with
/// "digits.digits".
bool ParseKernelRelease(std::string_view release, TKernelVersion& version) noexcept;

/// The running kernel's release text (uname); "" when the system cannot tell.
std::string KernelRelease();

/// The value of PRETTY_NAME in os-release text: quotes removed and backslash escapes
/// resolved as the file's shell-like syntax has them; "" when the text has none.
std::string PrettyNameFromOsRelease(std::string_view text);

/// PRETTY_NAME of /etc/os-release (else /usr/lib/os-release); "" when neither has one.
std::string DistributionPrettyName();

/// How many processors this process may run on (its affinity mask); at least 1.
uint32_t UsableProcessorCount();

/// The processors this process may run on, one bit per processor for the first 64.
uint64_t UsableProcessorMask();

/// The processor's family and model as CPUID reports them (with the extended fields
/// added as the vendors specify), and its stepping; zeros where CPUID is absent.
struct TProcessorIdentity {
    uint32_t family = 0;
    uint32_t model = 0;
    uint32_t stepping = 0;
};
TProcessorIdentity ProcessorIdentity() noexcept;

/// Bits per pixel of the default screen of the X11 display, or of a Wayland display
/// (whose mandatory pixel formats have 32), both client libraries loaded at run time;
/// 0 when no display can be reached.
int DisplayBitsPerPixel();

/// Whether `codeset` (as nl_langinfo names it) is a double-byte character set: the
/// East Asian codesets whose characters take one or two bytes. UTF-8 is not one.
bool IsDoubleByteCodeset(std::string_view codeset) noexcept;

/// The codeset of the process's current locale ("ANSI_X3.4-1968" in the "C" locale).
std::string LocaleCodeset();

}  // namespace cvq::platform
