#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/MessageBoxHandler.h>
#include <commonvcqx/system/Module.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace {

std::string PluginLibraryName() {
    return FileNameFromNativePath(std::filesystem::canonical(CVQ_TEST_PLUGIN).string());
}

}  // namespace

TEST(ModuleTest, PluginLoadsByBareNameAndExportsItsProcedures) {
    TModule plugin(CVQ_TEST_PLUGIN_NAME, 1, 1);  // beside the executable
    ASSERT_TRUE(plugin.IsLoaded());
    EXPECT_STREQ(plugin.GetName(), CVQ_TEST_PLUGIN_NAME);
    auto* twice =
        reinterpret_cast<int (*)(int)>(FARPROC(TModuleProc(plugin, "CvqPluginTwiceAndOne")));
    ASSERT_NE(twice, nullptr);
    EXPECT_EQ(twice(20), 41);
    TModuleProc name(plugin, "CvqPluginName");
    TModuleProc missing(plugin, "NoSuchProcedure");
    EXPECT_EQ(FARPROC(missing), nullptr);
    missing = name;
    EXPECT_STREQ(reinterpret_cast<const char* (*)()>(FARPROC(missing))(), "test plug-in");
    EXPECT_EQ(plugin.GetProcAddress(nullptr), nullptr);

    char file[MAX_PATH];
    const std::string expected = PluginLibraryName();
    EXPECT_EQ(plugin.GetModuleFileNameA(file, sizeof file), int(expected.size()));
    EXPECT_EQ(file, expected);
    char shortBuffer[5];
    EXPECT_EQ(plugin.GetModuleFileNameA(shortBuffer, 5), 4);
    EXPECT_EQ(std::string(shortBuffer), expected.substr(0, 4));
    EXPECT_EQ(plugin.GetModuleFileNameA(shortBuffer, 0), 0);

    // A wrapper of the same handle is equal, takes the file name and frees nothing.
    {
        TModule wrapper(nullptr, plugin.GetHandle());
        EXPECT_TRUE(wrapper == plugin);
        EXPECT_EQ(wrapper.GetName(), expected);
    }
    EXPECT_EQ(twice(1), 3);  // still loaded
}

TEST(ModuleTest, LibraryNamesGoThroughTheDriveTable) {
    TModule byLibraryName(PluginLibraryName().c_str(), 1, 1);
    EXPECT_TRUE(byLibraryName.IsLoaded());
    TModule unmapped("Q:\\nowhere\\libfx.so", 1, 0);
    EXPECT_FALSE(unmapped.IsLoaded());
    EXPECT_STREQ(unmapped.GetName(), "Q:\\nowhere\\libfx.so");
}

TEST(ModuleTest, FailedLoadsThrowOnlyWhenTheyMust) {
    TModule quiet("libcvq_no_such_module.so", 1, 0);
    EXPECT_FALSE(quiet.IsLoaded());
    EXPECT_EQ(quiet.GetHandle(), nullptr);
    try {
        TModule loud("libcvq_no_such_module.so", 1, 1);
        ADD_FAILURE() << "no exception";
    } catch (const TException& exception) {
        ASSERT_NE(exception.GetMessage(), nullptr);
        const std::string why = exception.GetMessage()->c_str();
        EXPECT_NE(why.find("libcvq_no_such_module.so"), std::string::npos) << why;
    }
    TModule unloaded("anything", char(0), char(1));
    EXPECT_FALSE(unloaded.IsLoaded());
    TModule unnamed(nullptr, char(0), char(0));
    EXPECT_STREQ(unnamed.GetName(), "");
    EXPECT_EQ(unnamed.LoadStringA(20001), "");
    EXPECT_EQ(unnamed.GetProcAddress("CvqPluginName"), nullptr);
    char buffer[4] = "xyz";
    EXPECT_EQ(unnamed.GetModuleFileNameA(buffer, 4), 0);
    EXPECT_STREQ(buffer, "");
    // Handles up to 32 are not modules.
    TModule small("small", reinterpret_cast<HINSTANCE>(uintptr_t(32)));
    EXPECT_FALSE(small.IsLoaded());
    small.SetHandle(reinterpret_cast<HINSTANCE>(uintptr_t(33)));
    EXPECT_TRUE(small.IsLoaded());
    small.SetHandle(nullptr);
}

TEST(ModuleTest, StringTableEntriesAreBoundedToTheBuffer) {
    TModule plugin(CVQ_TEST_PLUGIN, 1, 1);
    EXPECT_EQ(plugin.LoadStringA(20001), "Plug-in title");
    EXPECT_EQ(plugin.LoadStringA(20002), "Two\nlines and a \\ backslash");
    EXPECT_EQ(plugin.LoadStringA(20004), "second id line follows");
    EXPECT_EQ(plugin.LoadStringA(20003), "");
    EXPECT_EQ(plugin.LoadStringA(99), "");
    EXPECT_EQ(plugin.LoadStringA(0x80000007u), "");  // not the id 7 wrapped around

    struct TCase {
        unsigned id;
        int size;
        int length;
        const char* text;
    };
    const TCase cases[] = {
        {20001, 64, 13, "Plug-in title"},
        {20001, 14, 13, "Plug-in title"},
        {20001, 13, 12, "Plug-in titl"},
        {20001, 2, 1, "P"},
        {20001, 1, 0, ""},
        {20003, 8, 0, ""},
        {99, 8, 0, ""},
        {7, 8, 5, "seven"},
    };
    for (const TCase& c : cases) {
        char buffer[80];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_EQ(plugin.LoadStringA(c.id, buffer, c.size), c.length) << c.id << "/" << c.size;
        EXPECT_STREQ(buffer, c.text) << c.id << "/" << c.size;
        EXPECT_EQ(buffer[c.size], '#') << "wrote past the buffer: " << c.id << "/" << c.size;
    }
    char untouched[2] = {'#', '#'};
    EXPECT_EQ(plugin.LoadStringA(20001, untouched, 0), 0);
    EXPECT_EQ(untouched[0], '#');
    EXPECT_EQ(plugin.LoadStringA(20001, nullptr, 10), 0);
}

TEST(ModuleTest, ResourcesWithoutALinuxMeaningAreNeverFound) {
    TModule plugin(CVQ_TEST_PLUGIN, 1, 1);
    EXPECT_EQ(plugin.FindResourceA(TResId(1), "BITMAP"), nullptr);
    EXPECT_EQ(plugin.FindResourceA("NAME", "TYPE"), nullptr);
    EXPECT_EQ(plugin.LoadResource(nullptr), nullptr);
    EXPECT_EQ(plugin.SizeofResource(nullptr), 0u);
    EXPECT_EQ(plugin.LoadBitmapA(1), nullptr);
    WNDCLASSA info{};
    EXPECT_EQ(plugin.GetClassInfoA("Class", &info), 0);
    EXPECT_EQ(plugin.LoadAcceleratorsA(1), nullptr);
    EXPECT_EQ(plugin.LoadMenuA("MENU"), nullptr);
    EXPECT_EQ(plugin.LoadCursorA(2), nullptr);
    EXPECT_EQ(plugin.LoadIconA("ICON"), nullptr);
    EXPECT_EQ(plugin.CopyIcon(nullptr), nullptr);
    EXPECT_TRUE(TResId(70000).IsNumber());
    EXPECT_EQ(uintptr_t(static_cast<const char*>(TResId(70000))), uintptr_t(70000 & 0xFFFF));
    EXPECT_FALSE(TResId("NAME").IsNumber());
}

namespace {

std::string g_boxText, g_boxCaption;
UINT g_boxType = 0;
int g_boxAnswer = IDYES;

int RecordBox(const char* text, const char* caption, UINT type) {
    g_boxText = text;
    g_boxCaption = caption;
    g_boxType = type;
    return g_boxAnswer;
}

}  // namespace

TEST(ModuleTest, ErrorAsksToResumeInAYesNoBox) {
    TMessageBoxHandler previous = SetMessageBoxHandler(&RecordBox);
    TModule module("m", nullptr);
    TException exception("disk gone");
    EXPECT_EQ(module.Error(exception, 1, 2), 0);
    EXPECT_EQ(g_boxText, "OK To resume");
    EXPECT_EQ(g_boxCaption, "Error");
    EXPECT_EQ(g_boxType, MB_YESNO | MB_TASKMODAL | MB_TOPMOST);
    g_boxAnswer = IDNO;
    EXPECT_EQ(module.Error(exception, 1, 2), 0);
    g_boxAnswer = 0;  // no box could be shown
    EXPECT_EQ(module.Error(exception, 1, 2), -1);
    SetMessageBoxHandler(previous);
}
