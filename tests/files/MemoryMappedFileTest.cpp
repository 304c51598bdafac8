// TMemoryMappedFile: views and their counts, growth, access, failures and sharing the
// view list between threads.
#include "FileTestSupport.h"

#include <commonvcqx/files/File.h>
#include <commonvcqx/files/MemoryMappedFile.h>
#include <commonvcqx/memory/AllocatorHooks.h>
#include <commonvcqx/platform/internal/FailureSeams.h>

#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using cvq::platform::EFailureSeam;
using cvq::platform::FailNthOperation;
using cvq::test::Catch;
using cvq::test::ErrorText;
namespace fs = std::filesystem;

const uint32_t kPage = static_cast<uint32_t>(sysconf(_SC_PAGESIZE));

class MemoryMappedFileTest : public cvq::test::ScratchFolder {
protected:
    // Three pages, each filled with its own letter.
    std::string PutPages(const std::string& leaf) const {
        std::string contents =
            std::string(kPage, 'a') + std::string(kPage, 'b') + std::string(kPage, 'c');
        Put(leaf, contents);
        return Name(leaf);
    }
};

TEST_F(MemoryMappedFileTest, FindElseCreateCountsAndReleaseRemoves) {
    TMemoryMappedFile map(PutPages("pages.bin").c_str(), 0x8, 0, 0);
    EXPECT_EQ(map.GetStart(), nullptr);
    EXPECT_EQ(map.GetSize(), 0u);
    EXPECT_EQ(map.GetView(), nullptr);
    EXPECT_EQ(map.GetFileSize(), int32_t(3 * kPage));

    TMemoryMappedFile::TView* whole = map.CreateView(0, 0);
    EXPECT_EQ(whole->GetSize(), 3 * kPage);
    EXPECT_EQ(whole->GetCount(), 1);
    EXPECT_EQ(map.GetStart(), whole->GetStart());
    EXPECT_NE(IsDynamicMemory(whole), 0);  // records come from the library's heaps

    // A range inside an existing view is served by it.
    EXPECT_EQ(map.FindElseCreate(kPage, kPage), whole);
    EXPECT_EQ(whole->GetCount(), 2);
    map.Release(whole);
    EXPECT_EQ(map.GetViews().GetCount(), 1);
    map.Release(whole);
    EXPECT_EQ(map.GetViews().GetCount(), 0);

    // Otherwise a window of exactly the range is mapped and appended.
    TMemoryMappedFile::TView* second = map.FindElseCreate(kPage, kPage);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->GetOffset(), kPage);
    EXPECT_EQ(second->GetSize(), kPage);
    EXPECT_EQ(static_cast<const char*>(second->GetStart())[0], 'b');
    TMemoryMappedFile::TView* third = map.FindElseCreate(2 * kPage, 10);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(map.GetView(1), third);
    EXPECT_EQ(static_cast<const char*>(third->GetStart())[9], 'c');
    EXPECT_EQ(map.FindElseCreate(2 * kPage + 4, 6), third);  // the first that holds it
    EXPECT_EQ(third->GetCount(), 2);

    // Ranges that cannot be mapped give null and leave the list alone.
    EXPECT_EQ(map.FindElseCreate(1, 10), nullptr);             // not on the granularity
    EXPECT_EQ(map.FindElseCreate(3 * kPage, kPage), nullptr);  // past the mapping
    EXPECT_EQ(map.GetViews().GetCount(), 2);

    map.RemapView(second, 0);
    EXPECT_EQ(second->GetOffset(), 0u);
    EXPECT_EQ(static_cast<const char*>(second->GetStart())[0], 'a');
    map.DeleteAllViews();
    EXPECT_EQ(map.GetStart(), nullptr);
}

TEST_F(MemoryMappedFileTest, GrowthZeroFillsAndReachesTheDisk) {
    Put("grow.bin", "abc");
    {
        TMemoryMappedFile map(Name("grow.bin").c_str(), 0x8, 1, 0);
        EXPECT_EQ(map.SetFileSize(3, 1, 1), nullptr);  // same size: nothing happens
        ASSERT_EQ(map.GetViews().GetCount(), 1);

        auto* start = static_cast<char*>(map.SetFileSize(2 * kPage + 5, 1, 1));
        ASSERT_NE(start, nullptr);
        EXPECT_EQ(start, map.GetStart());
        EXPECT_EQ(map.GetViews().GetCount(), 1);
        EXPECT_EQ(map.GetFileSize(), int32_t(2 * kPage + 5));
        EXPECT_EQ(map.GetSize(), 2 * kPage + 5);
        EXPECT_EQ(std::string(start, 3), "abc");
        EXPECT_EQ(std::string(start + 3, 2 * kPage + 2), std::string(2 * kPage + 2, '\0'));
        start[2 * kPage + 4] = 'z';  // the last byte is backed by the file
        map.FlushViews();
        EXPECT_EQ(fs::file_size(Path("grow.bin")), 2 * kPage + 5);

        EXPECT_EQ(map.SetFileSize(3 * kPage, 0, 0), nullptr);  // grown, without a view
        EXPECT_EQ(map.GetStart(), nullptr);
        EXPECT_EQ(map.GetMappingSize(), 3 * kPage);
    }
    std::string stored = Get("grow.bin");
    ASSERT_EQ(stored.size(), 3 * kPage);
    EXPECT_EQ(stored[2 * kPage + 4], 'z');

    // A maximum size beyond the end grows the file before any view is touched.
    {
        TMemoryMappedFile map(Name("grow.bin").c_str(), 0x8, 1, 5 * kPage);
        static_cast<char*>(map.GetStart())[5 * kPage - 1] = 'e';
    }
    EXPECT_EQ(fs::file_size(Path("grow.bin")), 5 * kPage);
    EXPECT_EQ(Get("grow.bin").back(), 'e');

    // Zero filling clears from the size last known, also over bytes the file had.
    std::string name = PutPages("known.bin");
    {
        TMemoryMappedFile map(name.c_str(), 0x8 | 0x80, 1, kPage);
        EXPECT_EQ(map.GetFileSize(), int32_t(kPage));
        auto* start = static_cast<char*>(map.SetFileSize(2 * kPage, 1, 0));
        EXPECT_EQ(start[kPage], 'b');
        TMemoryMappedFile again(name.c_str(), 0x8 | 0x80, 1, kPage);
        start = static_cast<char*>(again.SetFileSize(2 * kPage, 1, 1));
        EXPECT_EQ(std::string(start + kPage, kPage), std::string(kPage, '\0'));
        EXPECT_EQ(start[0], 'a');
    }
    EXPECT_EQ(Get("known.bin"),
              std::string(kPage, 'a') + std::string(kPage, '\0') + std::string(kPage, 'c'));

    // Write-only files map writable views too.
    {
        TFile file(Name("written.bin").c_str(), 0x4 | 0x10);
        TMemoryMappedFile map(file, 1, 4);
        std::memcpy(map.GetStart(), "wxyz", 4);
    }
    EXPECT_EQ(Get("written.bin"), "wxyz");

    // A file on a C stream still holds written bytes in its buffer: mapping sees them.
    TFile stream(Name("stream.bin").c_str(), 0x8 | 0x10 | 0x20000);
    stream.Write("buffered", 8);
    TMemoryMappedFile map(stream, 1, 0);
    ASSERT_EQ(map.GetSize(), 8u);
    EXPECT_EQ(std::memcmp(map.GetStart(), "buffered", 8), 0);
}

TEST_F(MemoryMappedFileTest, ExtendingKeepsEveryViewWhereItIs) {
    Put("extend.bin", "abc");
    {
        TMemoryMappedFile map(Name("extend.bin").c_str(), 0x8, 1, 0);
        auto* start = static_cast<char*>(map.GetStart());
        map.ExtendMapping(2);  // not above the mapping: nothing happens
        EXPECT_EQ(map.GetMappingSize(), 3u);
        map.ExtendMapping(2 * kPage);
        EXPECT_EQ(map.GetMappingSize(), 2 * kPage);
        EXPECT_EQ(map.GetFileSize(), int32_t(2 * kPage));
        EXPECT_EQ(fs::file_size(Path("extend.bin")), 2 * kPage);
        ASSERT_EQ(map.GetViews().GetCount(), 1);
        EXPECT_EQ(map.GetStart(), start);  // the old view, still mapped
        start[0] = 'A';
        TMemoryMappedFile::TView* grown = map.CreateView(kPage, kPage);
        auto* tail = static_cast<char*>(grown->GetStart());
        EXPECT_EQ(tail[0], '\0');
        tail[kPage - 1] = 'z';
        FailNthOperation(EFailureSeam::CreateMapping, 1, ENOSPC);
        auto full = Catch([&] { map.ExtendMapping(4 * kPage); });
        EXPECT_EQ(full.code, 112u);
        EXPECT_EQ(full.text, ErrorText(18019, "C:"));
        EXPECT_EQ(map.GetMappingSize(), 2 * kPage);  // the views stay good
        start[1] = 'B';
        map.FlushViews();
    }
    std::string stored = Get("extend.bin");
    ASSERT_EQ(stored.size(), 2 * kPage);
    EXPECT_EQ(stored.substr(0, 3), "ABc");
    EXPECT_EQ(stored.back(), 'z');
    Put("read.bin", "abc");
    TMemoryMappedFile readOnly(Name("read.bin").c_str(), 0x2, 1, 0);
    auto refused = Catch([&] { readOnly.ExtendMapping(kPage); });
    EXPECT_EQ(refused.code, 5u);
    EXPECT_EQ(refused.text, ErrorText(18021));
    EXPECT_EQ(readOnly.GetMappingSize(), 3u);
}

TEST_F(MemoryMappedFileTest, ReadOnlyViewsFaultOnWriting) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string name = PutPages("ro.bin");
    TMemoryMappedFile map(name.c_str(), 0x2, 1, 0);
    EXPECT_EQ(static_cast<const char*>(map.GetStart())[kPage], 'b');
    // The child runs this test again from its start and dies before its folder is
    // removed: it removes the folder itself first (the mapping outlives it).
    EXPECT_DEATH(
        {
            fs::remove_all(Path());
            static_cast<volatile char*>(map.GetStart())[0] = 'x';
        },
        "");

    // A read-only file cannot be grown by its mapping.
    auto grown = Catch([&] { TMemoryMappedFile bigger(name.c_str(), 0x2, 1, 4 * kPage); });
    EXPECT_EQ(grown.text, ErrorText(18021));
    EXPECT_EQ(grown.code, 5u);
    EXPECT_EQ(fs::file_size(Path("ro.bin")), 3 * kPage);
}

TEST_F(MemoryMappedFileTest, FailuresRaiseTheirErrorsAndLeaveNothingBehind) {
    TFile closed;
    auto notOpen = Catch([&] { TMemoryMappedFile map(closed, 1, 0); });
    EXPECT_EQ(notOpen.text, ErrorText(18000, ""));
    EXPECT_EQ(notOpen.code, 6u);

    // A file the constructor created is removed when mapping fails...
    auto empty = Catch([&] { TMemoryMappedFile map(Name("new.bin").c_str(), 0x10, 1, 0); });
    EXPECT_EQ(empty.text, ErrorText(18021));
    EXPECT_EQ(empty.code, 1006u);
    EXPECT_FALSE(fs::exists(Path("new.bin")));
    // ...one that was there before is kept with its contents.
    std::string name = PutPages("old.bin");
    const struct {
        EFailureSeam seam;
        int errorNumber;
        std::string text;
        uint32_t code;
    } cases[] = {
        {EFailureSeam::CreateMapping, ENOMEM, ErrorText(18026), 8},
        {EFailureSeam::CreateMapping, ENOSPC, ErrorText(18019, "C:"), 112},
        {EFailureSeam::CreateMapping, EACCES, ErrorText(18021), 5},
        {EFailureSeam::MapView, ENOMEM, ErrorText(18026), 8},
        {EFailureSeam::MapView, EIO, ErrorText(18021), 1117},
    };
    for (const auto& c : cases) {
        FailNthOperation(c.seam, 1, c.errorNumber);
        auto caught = Catch([&] { TMemoryMappedFile map(name.c_str(), 0x8, 1, 0); });
        EXPECT_EQ(caught.text, c.text) << c.errorNumber;
        EXPECT_EQ(caught.code, c.code) << c.errorNumber;
        EXPECT_EQ(fs::file_size(Path("old.bin")), 3 * kPage);
    }

    // A failed growth keeps the old mapping usable and the file at its size.
    TMemoryMappedFile map(name.c_str(), 0x8, 1, 0);
    FailNthOperation(EFailureSeam::CreateMapping, 1, ENOSPC);
    auto full = Catch([&] { map.SetFileSize(8 * kPage, 1, 1); });
    EXPECT_EQ(full.code, 112u);
    EXPECT_EQ(map.GetMappingSize(), 3 * kPage);
    EXPECT_EQ(static_cast<const char*>(map.CreateView(0, 0)->GetStart())[0], 'a');
    EXPECT_EQ(fs::file_size(Path("old.bin")), 3 * kPage);

    // After Close nothing maps any more; the file is closed.
    map.Close();
    EXPECT_FALSE(map.GetFile()->IsOpen());
    EXPECT_EQ(map.GetStart(), nullptr);
    EXPECT_EQ(Catch([&] { map.CreateView(0, kPage); }).text, ErrorText(18021));
    EXPECT_EQ(map.FindElseCreate(0, kPage), nullptr);
    EXPECT_EQ(map.SetFileSize(kPage, 1, 0), nullptr);
}

TEST_F(MemoryMappedFileTest, ThreadsShareTheViewList) {
    TMemoryMappedFile map(PutPages("shared.bin").c_str(), 0x8, 0, 0);
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) {
                uint32_t page = uint32_t((t + i) % 3);
                TMemoryMappedFile::TView* view = map.FindElseCreate(page * kPage, kPage);
                if (!view) {
                    ++wrong;
                    continue;
                }
                char* at =
                    static_cast<char*>(view->GetStart()) + (page * kPage - view->GetOffset());
                if (*at != char('a' + page)) ++wrong;
                map.Release(view);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(map.GetViews().GetCount(), 0);
}

}  // namespace
