// commonvcqx/system/ModuleVersionInfo.h
//
// TModuleVersionInfo: the version information of a module or file, read from the
// version file beside it ("<file>.version"; for "libfx.so.1.2" also "libfx.so.version"),
// one "Name=value" line per value (see platform/internal/ModuleTexts.h):
//
//   FileVersion=1.2.3.4           text value; also the fixed part's file version
//   ProductVersion=1.2.0.0        text value; also the fixed part's product version
//   FileDescription=Effects plug-in
//   Translation=040904E4          language id and code page, 8 hex digits (default)
//   FileFlags=0x2                 fixed-part numbers, decimal or 0x hex: FileFlags,
//   FileType=2                    FileFlagsMask (default 0x3F), FileOS, FileType,
//                                 FileSubType, FileDateMS, FileDateLS
//
// The library installs its own "libCommonVcQx.so.version". A file without a version
// file has no information: Init returns false, GetFixedInfo is null, the accessors
// answer 0 and GetInfoString false (nothing is thrown).
//
//   TModuleVersionInfo info("C:\\opt\\fx\\libfx.so");
//   const char* description;
//   if (info.GetFileDescription(description)) Show(description);
#pragma once

#include <commonvcqx/platform/WinTypes.h>
#include <commonvcqx/text/String.h>

#include <cstddef>
#include <cstdint>
#include <memory>

class TModuleVersionInfo {
public:
    // NOLINTNEXTLINE(readability-identifier-naming): the original name
    enum TFileType : uint32_t {
        kUnknown = VFT_UNKNOWN,
        kApp = VFT_APP,
        kDll = VFT_DLL,
        kDriver = VFT_DRV,
        kFont = VFT_FONT,
        kVirtualDevice = VFT_VXD,
        kStaticLib = VFT_STATIC_LIB,
    };

    /// The information of a loaded module's file.
    explicit TModuleVersionInfo(HINSTANCE module);
    /// The information of a file named in library form.
    explicit TModuleVersionInfo(const char* fileName);
    TModuleVersionInfo(const TModuleVersionInfo&) = delete;
    TModuleVersionInfo& operator=(const TModuleVersionInfo&) = delete;
    ~TModuleVersionInfo();

    /// Reads the version file of `fileName`; false (and no information) without one.
    bool Init(const char* fileName);
    /// Takes the text of a version file instead of reading one.
    bool InitFromText(const char* text, size_t length);

    /// The value `name` of `language` (0: the file's own translation); `value` then
    /// points into this object. False when there is no such value.
    bool GetInfoString(const char* name, const char*& value, unsigned language = 0) const;
    bool GetFileDescription(const char*& value, unsigned language = 0) const;
    bool GetFileVersion(const char*& value, unsigned language = 0) const;
    bool GetInternalName(const char*& value, unsigned language = 0) const;
    bool GetLegalCopyright(const char*& value, unsigned language = 0) const;
    bool GetOriginalFilename(const char*& value, unsigned language = 0) const;
    bool GetProductName(const char*& value, unsigned language = 0) const;
    bool GetProductVersion(const char*& value, unsigned language = 0) const;
    bool GetSpecialBuild(const char*& value, unsigned language = 0) const;

    /// The fixed part, or null without information.
    const VS_FIXEDFILEINFO* GetFixedInfo() const noexcept { return m_fixedInfo; }
    uint32_t GetSignature() const noexcept { return Fixed(&VS_FIXEDFILEINFO::dwSignature); }
    uint32_t GetStrucVersion() const noexcept { return Fixed(&VS_FIXEDFILEINFO::dwStrucVersion); }
    uint32_t GetFileVersionMS() const noexcept { return Fixed(&VS_FIXEDFILEINFO::dwFileVersionMS); }
    uint32_t GetFileVersionLS() const noexcept { return Fixed(&VS_FIXEDFILEINFO::dwFileVersionLS); }
    uint32_t GetProductVersionMS() const noexcept {
        return Fixed(&VS_FIXEDFILEINFO::dwProductVersionMS);
    }
    uint32_t GetProductVersionLS() const noexcept {
        return Fixed(&VS_FIXEDFILEINFO::dwProductVersionLS);
    }
    uint32_t GetFileFlagsMask() const noexcept { return Fixed(&VS_FIXEDFILEINFO::dwFileFlagsMask); }
    uint32_t GetFileFlags() const noexcept { return Fixed(&VS_FIXEDFILEINFO::dwFileFlags); }
    /// Set in the flags and valid in the mask.
    char IsFileFlagSet(uint32_t flag) const noexcept {
        return (GetFileFlags() & GetFileFlagsMask() & flag) != 0;
    }
    char IsDebug() const noexcept { return IsFileFlagSet(VS_FF_DEBUG); }
    char InfoInferred() const noexcept { return IsFileFlagSet(VS_FF_INFOINFERRED); }
    char IsPatched() const noexcept { return IsFileFlagSet(VS_FF_PATCHED); }
    char IsPreRelease() const noexcept { return IsFileFlagSet(VS_FF_PRERELEASE); }
    char IsPrivateBuild() const noexcept { return IsFileFlagSet(VS_FF_PRIVATEBUILD); }
    char IsSpecialBuild() const noexcept { return IsFileFlagSet(VS_FF_SPECIALBUILD); }
    uint32_t GetFileOS() const noexcept { return Fixed(&VS_FIXEDFILEINFO::dwFileOS); }
    TFileType GetFileType() const noexcept {
        return TFileType(Fixed(&VS_FIXEDFILEINFO::dwFileType));
    }
    /// Drivers: 0-8 as they are, else 9; fonts: 0-2 as 10-12, else 13; others raw.
    uint32_t GetFileSubType() const noexcept;
    FILETIME GetFileDate() const noexcept;
    /// Language id × 65536 + code page; 0 without information.
    uint32_t GetLanguage() const noexcept { return m_language; }

    /// The name of the file's language ("English (United States)").
    TString GetLanguageName() const;
    /// The name of a language id; a value above 0xFFFF is taken as GetLanguage gives
    /// it (language id in the high half). Unknown ids are "Language Neutral".
    static TString GetLanguageName(unsigned language);

    /// Reads "a[.b[.c[.d]]]" (each part 0-65535, anything after a blank ignored) into
    /// the fixed part's two halves: a × 65536 + b and c × 65536 + d. False (and zeros)
    /// for other text.
    static bool ParseVersionNumber(const char* text, uint32_t& mostSignificant,
                                   uint32_t& leastSignificant) noexcept;

private:
    struct TBlock;

    uint32_t Fixed(DWORD VS_FIXEDFILEINFO::*field) const noexcept {
        return m_fixedInfo ? m_fixedInfo->*field : 0;
    }
    void Release() noexcept;

    std::unique_ptr<TBlock> m_block;
    uint32_t m_language = 0;
    const VS_FIXEDFILEINFO* m_fixedInfo = nullptr;
};
