#include <commonvcqx/base/NumberParsing.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/internal/ExecutableFile.h>
#include <commonvcqx/platform/internal/ModuleTexts.h>
#include <commonvcqx/system/ModuleVersionInfo.h>

#include <string>
#include <string_view>

namespace pf = cvq::platform;

namespace {

constexpr uint32_t kDefaultTranslation = 0x040904E4;  // US English, Western code page

struct TLanguageName {
    uint16_t id;
    const char* name;
};

// The names VerLanguageName gives for the languages hosts ship most.
constexpr TLanguageName kLanguageNames[] = {
    {0x0000, "Language Neutral"},
    {0x0401, "Arabic (Saudi Arabia)"},
    {0x0404, "Chinese (Traditional)"},
    {0x0405, "Czech"},
    {0x0406, "Danish"},
    {0x0407, "German (Germany)"},
    {0x0408, "Greek"},
    {0x0409, "English (United States)"},
    {0x040A, "Spanish (Traditional Sort)"},
    {0x040B, "Finnish"},
    {0x040C, "French (France)"},
    {0x040D, "Hebrew"},
    {0x040E, "Hungarian"},
    {0x0410, "Italian (Italy)"},
    {0x0411, "Japanese"},
    {0x0412, "Korean"},
    {0x0413, "Dutch (Netherlands)"},
    {0x0414, "Norwegian (Bokmal)"},
    {0x0415, "Polish"},
    {0x0416, "Portuguese (Brazil)"},
    {0x0419, "Russian"},
    {0x041D, "Swedish"},
    {0x041F, "Turkish"},
    {0x0804, "Chinese (Simplified)"},
    {0x0807, "German (Switzerland)"},
    {0x0809, "English (United Kingdom)"},
    {0x080A, "Spanish (Mexico)"},
    {0x0816, "Portuguese (Portugal)"},
    {0x0C07, "German (Austria)"},
    {0x0C0A, "Spanish (Modern Sort)"},
    {0x0C0C, "French (Canada)"},
};

uint32_t NumberOr(const pf::TVersionValues& values, std::string_view name, uint32_t fallback,
                  int base) {
    const std::string* text = pf::FindVersionValue(values, name);
    if (!text || text->empty()) return fallback;
    const char* end = nullptr;
    const uint32_t number = cvq::ParseULong32(text->c_str(), &end, base);
    return end == text->c_str() ? fallback : number;
}

}  // namespace

struct TModuleVersionInfo::TBlock {
    VS_FIXEDFILEINFO fixed{};
    pf::TVersionValues values;
};

TModuleVersionInfo::TModuleVersionInfo(HINSTANCE module) {
    const std::string file = module ? pf::ModuleFileName(module) : std::string();
    if (!file.empty()) Init(file.c_str());
}

TModuleVersionInfo::TModuleVersionInfo(const char* fileName) {
    Init(fileName);
}

TModuleVersionInfo::~TModuleVersionInfo() = default;

void TModuleVersionInfo::Release() noexcept {
    m_block.reset();
    m_fixedInfo = nullptr;
    m_language = 0;
}

bool TModuleVersionInfo::Init(const char* fileName) {
    Release();
    std::string native;
    if (!fileName || !NativePathFromFileName(fileName, native)) return false;
    std::string text;
    if (!pf::ReadCompanionFile(native, ".version", text)) return false;
    return InitFromText(text.data(), text.size());
}

bool TModuleVersionInfo::InitFromText(const char* text, size_t length) {
    Release();
    auto block = std::make_unique<TBlock>();
    block->values = pf::ParseVersionValues(std::string_view(text ? text : "", text ? length : 0));
    const pf::TVersionValues& values = block->values;
    VS_FIXEDFILEINFO& fixed = block->fixed;
    fixed.dwSignature = VS_FFI_SIGNATURE;
    fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
    if (const std::string* version = pf::FindVersionValue(values, "FileVersion"))
        ParseVersionNumber(version->c_str(), fixed.dwFileVersionMS, fixed.dwFileVersionLS);
    if (const std::string* version = pf::FindVersionValue(values, "ProductVersion"))
        ParseVersionNumber(version->c_str(), fixed.dwProductVersionMS, fixed.dwProductVersionLS);
    fixed.dwFileFlagsMask = NumberOr(values, "FileFlagsMask", VS_FFI_FILEFLAGSMASK, 0);
    fixed.dwFileFlags = NumberOr(values, "FileFlags", 0, 0);
    fixed.dwFileOS = NumberOr(values, "FileOS", VOS_UNKNOWN, 0);
    fixed.dwFileType = NumberOr(values, "FileType", VFT_UNKNOWN, 0);
    fixed.dwFileSubtype = NumberOr(values, "FileSubType", 0, 0);
    fixed.dwFileDateMS = NumberOr(values, "FileDateMS", 0, 0);
    fixed.dwFileDateLS = NumberOr(values, "FileDateLS", 0, 0);
    m_language = NumberOr(values, "Translation", kDefaultTranslation, 16);
    m_block = std::move(block);
    m_fixedInfo = &m_block->fixed;
    return true;
}

bool TModuleVersionInfo::GetInfoString(const char* name, const char*& value,
                                       unsigned language) const {
    if (!m_block || !name) return false;
    if (language != 0 && language != m_language) return false;
    const std::string* found = pf::FindVersionValue(m_block->values, name);
    if (!found) return false;
    value = found->c_str();
    return true;
}

bool TModuleVersionInfo::GetFileDescription(const char*& value, unsigned language) const {
    return GetInfoString("FileDescription", value, language);
}

bool TModuleVersionInfo::GetFileVersion(const char*& value, unsigned language) const {
    return GetInfoString("FileVersion", value, language);
}

bool TModuleVersionInfo::GetInternalName(const char*& value, unsigned language) const {
    return GetInfoString("InternalName", value, language);
}

bool TModuleVersionInfo::GetLegalCopyright(const char*& value, unsigned language) const {
    return GetInfoString("LegalCopyright", value, language);
}

bool TModuleVersionInfo::GetOriginalFilename(const char*& value, unsigned language) const {
    return GetInfoString("OriginalFilename", value, language);
}

bool TModuleVersionInfo::GetProductName(const char*& value, unsigned language) const {
    return GetInfoString("ProductName", value, language);
}

bool TModuleVersionInfo::GetProductVersion(const char*& value, unsigned language) const {
    return GetInfoString("ProductVersion", value, language);
}

bool TModuleVersionInfo::GetSpecialBuild(const char*& value, unsigned language) const {
    return GetInfoString("SpecialBuild", value, language);
}

uint32_t TModuleVersionInfo::GetFileSubType() const noexcept {
    const uint32_t subType = Fixed(&VS_FIXEDFILEINFO::dwFileSubtype);
    switch (GetFileType()) {
        case kDriver:
            return subType <= 8 ? subType : 9;
        case kFont:
            return subType <= 2 ? subType + 10 : 13;
        default:
            return subType;
    }
}

FILETIME TModuleVersionInfo::GetFileDate() const noexcept {
    return FILETIME{Fixed(&VS_FIXEDFILEINFO::dwFileDateLS), Fixed(&VS_FIXEDFILEINFO::dwFileDateMS)};
}

TString TModuleVersionInfo::GetLanguageName() const {
    return GetLanguageName(m_language);
}

TString TModuleVersionInfo::GetLanguageName(unsigned language) {
    const unsigned id = language > 0xFFFF ? language >> 16 : language;
    for (const TLanguageName& entry : kLanguageNames)
        if (entry.id == id) return TString(entry.name);
    return TString(kLanguageNames[0].name);
}

bool TModuleVersionInfo::ParseVersionNumber(const char* text, uint32_t& mostSignificant,
                                            uint32_t& leastSignificant) noexcept {
    mostSignificant = leastSignificant = 0;
    if (!text) return false;
    uint32_t parts[4] = {0, 0, 0, 0};
    int count = 0;
    const char* at = text;
    for (;;) {
        if (*at < '0' || *at > '9') return false;
        uint32_t part = 0;
        while (*at >= '0' && *at <= '9') {
            part = part * 10 + uint32_t(*at++ - '0');
            if (part > 0xFFFF) return false;
        }
        parts[count++] = part;
        if (*at != '.') break;
        if (count == 4) return false;
        ++at;
    }
    if (*at != '\0' && *at != ' ' && *at != '\t') return false;
    mostSignificant = (parts[0] << 16) | parts[1];
    leastSignificant = (parts[2] << 16) | parts[3];
    return true;
}
