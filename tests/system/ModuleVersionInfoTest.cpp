#include <commonvcqx/Version.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/system/Module.h>
#include <commonvcqx/system/ModuleVersionInfo.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string LibraryName(const char* native) {
    return FileNameFromNativePath(native);
}

std::string Value(const TModuleVersionInfo& info, const char* name, unsigned language = 0) {
    const char* value = nullptr;
    return info.GetInfoString(name, value, language) ? value : "<none>";
}

}  // namespace

TEST(ModuleVersionInfoTest, PluginVersionFileFillsTheFixedPartAndTheValues) {
    TModule plugin(CVQ_TEST_PLUGIN, 1, 1);
    const TModuleVersionInfo info(plugin.GetHandle());
    ASSERT_NE(info.GetFixedInfo(), nullptr);
    EXPECT_EQ(info.GetSignature(), 0xFEEF04BDu);
    EXPECT_EQ(info.GetStrucVersion(), 0x00010000u);
    EXPECT_EQ(info.GetFileVersionMS(), (2u << 16) | 5u);
    EXPECT_EQ(info.GetFileVersionLS(), (17u << 16) | 301u);
    EXPECT_EQ(info.GetProductVersionMS(), (2u << 16) | 5u);
    EXPECT_EQ(info.GetProductVersionLS(), 0u);
    EXPECT_EQ(info.GetFileFlags(), 0x2Eu);
    EXPECT_EQ(info.GetFileFlagsMask(), 0x3Bu);
    // 0x2E: special, private, patched and pre-release; the mask 0x3B hides patched.
    EXPECT_FALSE(info.IsDebug());
    EXPECT_TRUE(info.IsPreRelease());
    EXPECT_FALSE(info.IsPatched());
    EXPECT_TRUE(info.IsPrivateBuild());
    EXPECT_FALSE(info.InfoInferred());
    EXPECT_TRUE(info.IsSpecialBuild());
    EXPECT_EQ(info.GetFileOS(), 0x40004u);
    EXPECT_EQ(info.GetFileType(), TModuleVersionInfo::kDriver);
    EXPECT_EQ(info.GetFileSubType(), 9u);  // a driver's sub-type above 8
    EXPECT_EQ(info.GetFileDate().dwHighDateTime, 0x01D9u);
    EXPECT_EQ(info.GetFileDate().dwLowDateTime, 0x12345678u);
    EXPECT_EQ(info.GetLanguage(), 0x040704B0u);
    EXPECT_EQ(info.GetLanguageName(), "German (Germany)");

    const char* value = nullptr;
    EXPECT_TRUE(info.GetFileDescription(value));
    EXPECT_STREQ(value, "Test plug-in");
    EXPECT_TRUE(info.GetFileVersion(value));
    EXPECT_STREQ(value, "2.5.17.301");
    EXPECT_TRUE(info.GetInternalName(value));
    EXPECT_STREQ(value, "TestPlugin");
    EXPECT_TRUE(info.GetLegalCopyright(value));
    EXPECT_STREQ(value, "(c) nobody");
    EXPECT_TRUE(info.GetOriginalFilename(value));
    EXPECT_STREQ(value, "libsystem_test_plugin.so");
    EXPECT_TRUE(info.GetProductName(value));
    EXPECT_STREQ(value, "CommonVcQx tests");
    EXPECT_TRUE(info.GetProductVersion(value));
    EXPECT_STREQ(value, "2.5.0.0 (beta)");
    EXPECT_TRUE(info.GetSpecialBuild(value, 0x040704B0u));
    EXPECT_STREQ(value, "for the tests");
    EXPECT_EQ(Value(info, "productname"), "CommonVcQx tests");
    EXPECT_EQ(Value(info, "ProductName", 0x040904E4u), "<none>");  // another translation
    EXPECT_EQ(Value(info, "Comments"), "<none>");
    EXPECT_EQ(Value(info, nullptr), "<none>");
    // The same file by name.
    const TModuleVersionInfo byName(LibraryName(CVQ_TEST_PLUGIN).c_str());
    EXPECT_EQ(byName.GetFileVersionLS(), info.GetFileVersionLS());
}

TEST(ModuleVersionInfoTest, TheLibraryCarriesItsOwnVersion) {
    const TModuleVersionInfo info(LibraryName(CVQ_LIBRARY_FILE).c_str());
    ASSERT_NE(info.GetFixedInfo(), nullptr);
    EXPECT_EQ(info.GetFileVersionMS(),
              uint32_t(CommonVcQxVersionMajor << 16 | CommonVcQxVersionMinor));
    EXPECT_EQ(info.GetFileVersionLS(), uint32_t(CommonVcQxVersionPatch << 16));
    EXPECT_EQ(Value(info, "FileVersion"), std::string(GetCommonLibraryVersion()) + ".0");
    EXPECT_EQ(Value(info, "ProductName"), "CommonVcQx");
    EXPECT_EQ(info.GetFileType(), TModuleVersionInfo::kDll);
    EXPECT_EQ(info.GetLanguageName(), "English (United States)");
}

TEST(ModuleVersionInfoTest, AFileWithoutVersionFileHasNoInformation) {
    for (const char* name : {"C:\\nowhere\\libnothing.so", "Q:\\unmapped\\x.so", "",
                             static_cast<const char*>(nullptr)}) {
        TModuleVersionInfo info(name);
        EXPECT_EQ(info.GetFixedInfo(), nullptr);
        EXPECT_FALSE(info.Init(name));
        EXPECT_EQ(info.GetSignature(), 0u);
        EXPECT_EQ(info.GetFileVersionMS(), 0u);
        EXPECT_EQ(info.GetLanguage(), 0u);
        EXPECT_FALSE(info.IsDebug());
        EXPECT_EQ(info.GetFileType(), TModuleVersionInfo::kUnknown);
        EXPECT_EQ(info.GetFileDate().dwLowDateTime, 0u);
        EXPECT_EQ(Value(info, "FileVersion"), "<none>");
    }
    TModuleVersionInfo unloaded(static_cast<HINSTANCE>(nullptr));
    EXPECT_EQ(unloaded.GetFixedInfo(), nullptr);
}

TEST(ModuleVersionInfoTest, VersionTextDefaultsAndBadNumbers) {
    TModuleVersionInfo info("");
    const std::string text = "FileVersion=1.2\nFileType=x\nFileFlags=\nTranslation=zz\n";
    ASSERT_TRUE(info.InitFromText(text.data(), text.size()));
    EXPECT_EQ(info.GetFileVersionMS(), 0x00010002u);
    EXPECT_EQ(info.GetFileVersionLS(), 0u);
    EXPECT_EQ(info.GetFileType(), TModuleVersionInfo::kUnknown);
    EXPECT_EQ(info.GetFileFlags(), 0u);
    EXPECT_EQ(info.GetFileFlagsMask(), 0x3Fu);
    EXPECT_EQ(info.GetLanguage(), 0x040904E4u);
    ASSERT_TRUE(info.InitFromText(nullptr, 5));
    EXPECT_EQ(info.GetFileVersionMS(), 0u);
    EXPECT_FALSE(info.Init("C:\\nowhere\\x"));
    EXPECT_EQ(info.GetFixedInfo(), nullptr);  // a failed Init leaves nothing behind
}

TEST(ModuleVersionInfoTest, VersionNumbersHaveUpToFourSixteenBitParts) {
    struct TCase {
        const char* text;
        bool ok;
        uint32_t ms, ls;
    };
    const TCase cases[] = {
        {"1.2.3.4", true, 0x00010002, 0x00030004},
        {"65535.0.65535.1", true, 0xFFFF0000, 0xFFFF0001},
        {"7", true, 0x00070000, 0},
        {"1.2.3", true, 0x00010002, 0x00030000},
        {"2.5.0.0 (beta)", true, 0x00020005, 0},
        {"65536.0", false, 0, 0},
        {"1.2.3.4.5", false, 0, 0},
        {"1..2", false, 0, 0},
        {"1.", false, 0, 0},
        {".1", false, 0, 0},
        {"1,2,3,4", false, 0, 0},
        {"v1.2", false, 0, 0},
        {"", false, 0, 0},
        {nullptr, false, 0, 0},
    };
    for (const TCase& c : cases) {
        uint32_t ms = 9, ls = 9;
        EXPECT_EQ(TModuleVersionInfo::ParseVersionNumber(c.text, ms, ls), c.ok) << c.text;
        EXPECT_EQ(ms, c.ms) << c.text;
        EXPECT_EQ(ls, c.ls) << c.text;
    }
}

TEST(ModuleVersionInfoTest, FileSubTypesOfDriversAndFonts) {
    struct TCase {
        unsigned type, subType, result;
    };
    const TCase cases[] = {{3, 0, 0},   {3, 8, 8},  {3, 9, 9},  {3, 100, 9},
                           {4, 0, 10},  {4, 2, 12}, {4, 3, 13}, {4, 77, 13},
                           {1, 77, 77}, {2, 5, 5},  {0, 3, 3}};
    for (const TCase& c : cases) {
        TModuleVersionInfo info("");
        const std::string text =
            "FileType=" + std::to_string(c.type) + "\nFileSubType=" + std::to_string(c.subType);
        ASSERT_TRUE(info.InitFromText(text.data(), text.size()));
        EXPECT_EQ(info.GetFileSubType(), c.result) << c.type << "/" << c.subType;
    }
}

TEST(ModuleVersionInfoTest, LanguageNames) {
    EXPECT_EQ(TModuleVersionInfo::GetLanguageName(0x0409), "English (United States)");
    EXPECT_EQ(TModuleVersionInfo::GetLanguageName(0x040904E4), "English (United States)");
    EXPECT_EQ(TModuleVersionInfo::GetLanguageName(0x0407), "German (Germany)");
    EXPECT_EQ(TModuleVersionInfo::GetLanguageName(0), "Language Neutral");
    EXPECT_EQ(TModuleVersionInfo::GetLanguageName(0x7777), "Language Neutral");
}
