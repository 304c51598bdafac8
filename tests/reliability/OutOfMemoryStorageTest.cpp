// Storage under out-of-memory at every allocation: tagged documents written and read
// through files, configurations loaded, saved and copied, registry values ensured, whole
// files loaded and saved, mapped views. A failed save leaves the old file whole.
#include "OutOfMemoryDriver.h"

#include <commonvcqx/config/Config.h>
#include <commonvcqx/config/Registry.h>
#include <commonvcqx/files/File.h>
#include <commonvcqx/files/MemoryMappedFile.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>
#include <commonvcqx/text/StaticStrings.h>

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using cvq::reliability::DriveOutOfMemory;
using cvq::reliability::TNamedOutOfMemoryCase;
using cvq::reliability::TOutOfMemoryRun;

namespace {

std::string g_native;   // the scratch folder
std::string g_library;  // its library name

std::string Native(const char* leaf) {
    return g_native + "/" + leaf;
}
TFileName Library(const char* leaf) {
    return TFileName((g_library + "\\" + leaf).c_str());
}
std::string Contents(const char* leaf) {
    std::ifstream in(Native(leaf), std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}
void Put(const char* leaf, const std::string& bytes) {
    std::ofstream(Native(leaf), std::ios::binary) << bytes;
}
size_t Entries() {
    size_t n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(g_native)) n += entry.exists();
    return n;
}

void FillDocument(TTaggedOutputStream& out, int tracks) {
    out.SetValue(int32_t(tracks), "Siz", 0);
    for (int i = 0; i < tracks; ++i) {
        out.MoveDown("Track", i);
        out.SetValue("a track with a long enough name", "Name", 0);
        out.SetValue(double(i) / 3, "Gain", 0);
        out.MoveUp();
    }
}

void FillConfig(TConfig& config, int groups) {
    for (int g = 0; g < groups; ++g) {
        config.MoveDown("/Group", g);
        config.SetValue(int32_t(g), "Number", 0);
        config.SetValue("C:\\some\\folder\\file.wav", "Path", 0);
        config.SetValue(2.5, "Level", 0);
    }
    config.MoveToRoot();
}

const TNamedOutOfMemoryCase kStorageCases[] = {
    {"tagged document saved over an old one",
     [](TOutOfMemoryRun& run) {
         Put("song.doc", "old document");
         bool done = run.Armed([] {
             TTaggedOutputStream out(1, "song", 1);
             FillDocument(out, 40);
             out.SaveAs(Library("song.doc"), 1);
         });
         if (!done) {
             EXPECT_EQ(Contents("song.doc"), "old document");
         }
         EXPECT_EQ(Entries(), 1u);
     }},
    {"tagged document read",
     [](TOutOfMemoryRun& run) {
         {
             TTaggedOutputStream out(1, "song", 1);
             FillDocument(out, 30);
             out.SaveAs(Library("read.doc"), 1);
         }
         int32_t count = -1;
         TString name;
         bool done = run.Armed([&] {
             TTaggedInputStream in(1, Library("read.doc"), 1);
             count = in.GetValue(int32_t(0), "Siz", 0);
             if (in.MoveDown("Track", 29)) {
                 name = in.GetValue("", "Name", 0);
                 in.MoveUp();
             }
         });
         if (done) {
             EXPECT_EQ(count, 30);
             EXPECT_STREQ(name.c_str(), "a track with a long enough name");
         }
     }},
    {"configuration saved over an old one",
     [](TOutOfMemoryRun& run) {
         Put("prefs.cfg", "old text");
         TConfig config("Prefs", TConfig::EMode(0));
         FillConfig(config, 20);
         bool done = run.Armed([&] { config.Save(Library("prefs.cfg"), 1); });
         if (!done) {
             EXPECT_EQ(Contents("prefs.cfg"), "old text");
         }
         EXPECT_EQ(Entries(), 1u);
         config.MoveDown("/Group", 19);
         EXPECT_EQ(config.GetValue(int32_t(0), "Number", 0), 19);
     }},
    {"configuration loaded",
     [](TOutOfMemoryRun& run) {
         {
             TConfig source("Prefs", TConfig::EMode(0));
             FillConfig(source, 20);
             source.Save(Library("load.cfg"), 1);
         }
         TConfig config("Prefs", TConfig::EMode(0));
         config.SetValue(int32_t(7), "Kept", 0);
         bool done = run.Armed([&] { config.Load(Library("load.cfg")); });
         config.MoveToRoot();
         if (done) {
             config.MoveDown("/Group", 19);
             EXPECT_EQ(config.GetValue(int32_t(0), "Number", 0), 19);
         }
         config.SetValue(int32_t(8), "After", 0);
         EXPECT_EQ(config.GetValue(int32_t(0), "After", 0), 8);
     }},
    {"configuration with auto-save opened and closed",
     [](TOutOfMemoryRun& run) {
         // A tree that could not be read whole must not be saved over its file.
         TConfig source("Prefs", TConfig::EMode(0));
         FillConfig(source, 10);
         source.Save(Library("auto.cfg"), 1);
         const std::string saved = Contents("auto.cfg");
         bool done = run.Armed([] {
             TConfig config("Prefs", Library("auto.cfg"), 1, TConfig::EMode(0));
             config.MoveDown("/Group", 9);
             if (config.GetValue(int32_t(0), "Number", 0) != 9) throw 9;
         });
         if (!done) {
             EXPECT_EQ(Contents("auto.cfg"), saved);
         }
         // The save on closing reports its failure to the trace sink, as documented.
         if (run.Failed() && run.Thrown()[0] == 0) run.AcceptResult();
         TConfig back("Prefs", TConfig::EMode(0));
         back.Load(Library("auto.cfg"));
         EXPECT_TRUE(back == source);
     }},
    {"configuration copied",
     [](TOutOfMemoryRun& run) {
         TConfig source("Prefs", TConfig::EMode(0));
         FillConfig(source, 15);
         TConfig target("Other", TConfig::EMode(0));
         target.SetValue(int32_t(1), "Old", 0);
         TConfig* copy = nullptr;
         bool done = run.Armed([&] {
             copy = new TConfig(source);
             target = source;
         });
         if (done) {
             EXPECT_TRUE(*copy == source);
             EXPECT_TRUE(target == source);
         }
         delete copy;
         target.SetValue(int32_t(2), "New", 0);
         EXPECT_EQ(target.GetValue(int32_t(0), "New", 0), 2);
     }},
    {"registry values ensured",
     [](TOutOfMemoryRun& run) {
         SetRegistryDirectory(g_native.c_str());
         EnsureRegistryString(HKEY_CURRENT_USER, "Software\\Maker\\App", "Name", "first", 1);
         bool done = run.Armed([] {
             EnsureRegistryKey(HKEY_CURRENT_USER, "Software\\Maker\\App\\Deep\\Er");
             EnsureRegistryString(HKEY_CURRENT_USER, "Software\\Maker\\App", "Name", "second", 1);
             EnsureRegistryLong(HKEY_CURRENT_USER, "Software\\Maker\\App", "Count", 42);
         });
         char found = 0;
         TString name =
             GetRegistryString(HKEY_CURRENT_USER, "Software\\Maker\\App", "Name", &found);
         EXPECT_TRUE(found);
         if (done) {
             EXPECT_STREQ(name.c_str(), "second");
             EXPECT_EQ(GetRegistryLong(HKEY_CURRENT_USER, "Software\\Maker\\App", "Count", &found),
                       42);
         } else {
             EXPECT_TRUE(name == TString("first") || name == TString("second"));
         }
         SetRegistryDirectory(nullptr);
         std::filesystem::remove(Native("HKEY_CURRENT_USER.reg"));
         std::filesystem::remove(Native("HKEY_CURRENT_USER.lock"));
         EXPECT_EQ(Entries(), 0u);
     }},
    {"whole file saved and loaded",
     [](TOutOfMemoryRun& run) {
         Put("data.bin", "old bytes");
         std::string bytes(100000, 'd');
         void* loaded = nullptr;
         uint32_t size = 0;
         bool done = run.Armed([&] {
             TFile::SaveFile(Library("data.bin"), bytes.data(), uint32_t(bytes.size()));
             loaded = TFile::LoadFile(Library("data.bin"), &size);
         });
         std::string now = Contents("data.bin");
         EXPECT_TRUE(now == "old bytes" || now == bytes);
         if (done) {
             EXPECT_EQ(size, bytes.size());
         }
         NH_Heap::FreeMem(loaded);
         EXPECT_EQ(Entries(), 1u);
     }},
    {"mapped views",
     [](TOutOfMemoryRun& run) {
         Put("map.raw", std::string(3 * 65536, 'm'));
         TMemoryMappedFile* map = nullptr;
         char seen = 0;
         bool done = run.Armed([&] {
             map = new TMemoryMappedFile(Library("map.raw"), 0x2, 1, 0);
             TMemoryMappedFile::TView* window = map->FindElseCreate(65536, 4096);
             seen = static_cast<const char*>(window->GetStart())[100];
             map->Release(window);
             TMemoryMappedFile::TView* other = map->CreateView(0, 8192);
             map->CloseView(other);
         });
         if (done) {
             EXPECT_EQ(seen, 'm');
         }
         // Mapped files report short memory as the virtual-memory file error.
         if (run.Failed() && std::string(run.Thrown()) == GetStaticString(18026)) {
             run.AcceptResult();
         }
         delete map;
         EXPECT_EQ(Contents("map.raw").size(), 3u * 65536);
     }},
};

class OutOfMemoryStorageTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "cvq_oom_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        g_native = pattern;
        g_library = FileNameFromNativePath(g_native);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(g_native, ignored);
    }
};

TEST_F(OutOfMemoryStorageTest, StorageOperationsFailCleanlyAtEveryAllocation) {
    for (const auto& entry : kStorageCases) {
        int32_t points = DriveOutOfMemory(entry);
        std::printf("%-40s %5d failure points\n", entry.name, points);
        if (cvq::reliability::HeapsServeTheProcess()) {
            EXPECT_GT(points, 0) << entry.name;
        }
        if (HasFailure()) return;
        for (const auto& file : std::filesystem::directory_iterator(g_native))
            std::filesystem::remove(file.path());
    }
}

}  // namespace
