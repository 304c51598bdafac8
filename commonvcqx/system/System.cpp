#include <commonvcqx/platform/internal/SystemFacts.h>
#include <commonvcqx/platform/internal/VirtualMemory.h>
#include <commonvcqx/system/System.h>

#include <algorithm>
#include <cstring>

namespace pf = cvq::platform;

namespace {

constexpr int kDefaultBitsPerPixel = 32;
constexpr DWORD kAllocationGranularity = 0x10000;

TSystem::TVersionInfo ReadVersionInfo() {
    TSystem::TVersionInfo info{};
    info.dwOSVersionInfoSize = sizeof(TSystem::TVersionInfo);
    info.dwPlatformId = VER_PLATFORM_WIN32_NT;
    pf::TKernelVersion kernel;
    pf::ParseKernelRelease(pf::KernelRelease(), kernel);
    info.dwMajorVersion = kernel.major;
    info.dwMinorVersion = kernel.minor;
    info.dwBuildNumber = kernel.patch;
    const std::string name = pf::DistributionPrettyName();
    const size_t length = std::min(name.size(), sizeof info.szCSDVersion - 1);
    std::memcpy(info.szCSDVersion, name.data(), length);
    info.szCSDVersion[length] = '\0';
    return info;
}

TSystem::TSystemInfo ReadSystemInfo() {
    TSystem::TSystemInfo info{};
#if defined(__x86_64__)
    info.wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
    info.dwProcessorType = PROCESSOR_AMD_X8664;
#elif defined(__aarch64__)
    info.wProcessorArchitecture = PROCESSOR_ARCHITECTURE_ARM64;
    info.dwProcessorType = PROCESSOR_ARM;
#else
    info.wProcessorArchitecture = PROCESSOR_ARCHITECTURE_UNKNOWN;
    info.dwProcessorType = 0;
#endif
    info.dwPageSize = DWORD(pf::PageSize());
    // The lowest address the kernel maps by default and the top of the user half of
    // the 48-bit address space, less the guard region Windows keeps there too.
    info.lpMinimumApplicationAddress = reinterpret_cast<void*>(uintptr_t(kAllocationGranularity));
    info.lpMaximumApplicationAddress = reinterpret_cast<void*>(uintptr_t(0x7FFFFFFEFFFF));
    info.dwActiveProcessorMask = uintptr_t(pf::UsableProcessorMask());
    info.dwNumberOfProcessors = pf::UsableProcessorCount();
    info.dwAllocationGranularity = kAllocationGranularity;
    const pf::TProcessorIdentity identity = pf::ProcessorIdentity();
    info.wProcessorLevel = WORD(std::min<uint32_t>(identity.family, 0xFFFF));
    info.wProcessorRevision = WORD(((identity.model & 0xFF) << 8) | (identity.stepping & 0xFF));
    return info;
}

}  // namespace

const TSystem::TVersionInfo& TSystem::GetVerInfo() {
    static const TVersionInfo info = ReadVersionInfo();
    return info;
}

uint16_t TSystem::PackVersion(uint32_t major, uint32_t minor) noexcept {
    return uint16_t(std::min<uint32_t>(major, 255) * 256 + std::min<uint32_t>(minor, 255));
}

uint16_t TSystem::GetVersion() {
    static const uint16_t version = PackVersion(GetMajorVersion(), GetMinorVersion());
    return version;
}

const TSystem::TSystemInfo& TSystem::GetSystemInfo() {
    static const TSystemInfo info = ReadSystemInfo();
    return info;
}

int32_t TSystem::NumColorsOf(int planes, int bitsPerPixel) noexcept {
    if (bitsPerPixel == 32) return INT32_MAX;
    if (planes <= 0 || bitsPerPixel <= 0) return 0;
    if (bitsPerPixel >= 31) return INT32_MAX;
    const int64_t colors = int64_t(planes) << bitsPerPixel;
    return colors > INT32_MAX ? INT32_MAX : int32_t(colors);
}

int32_t TSystem::GetNumColors() {
    static const int32_t colors = [] {
        const int bits = pf::DisplayBitsPerPixel();
        return NumColorsOf(1, bits > 0 ? bits : kDefaultBitsPerPixel);
    }();
    return colors;
}

char TSystem::UseDbcs() {
    static const char dbcs = pf::IsDoubleByteCodeset(pf::LocaleCodeset()) ? 1 : 0;
    return dbcs;
}
