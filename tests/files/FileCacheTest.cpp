// TFile's read cache (0x8000, 0x100000) and write-behind (0x10000): every combination
// gives the bytes plain transfers give, failures of queued writes reach the owner, and
// the threads finish their queued work when the library ends.
#include <commonvcqx/files/File.h>
#include <commonvcqx/frame/LibraryFrame.h>
#include <commonvcqx/memory/PageCache.h>
#include <commonvcqx/platform/TraceSink.h>

#include "FileTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace pf = cvq::platform;
using cvq::test::Catch;
using cvq::test::ErrorText;
using FileCacheTest = cvq::test::ScratchFolder;

using cvq::test::Pattern;
using cvq::test::SameBytes;

namespace {

constexpr int32_t kUnusedKey = -7;

// Serves what is queued here and waits for a read the thread has in flight (flushing
// takes the reader exclusively), so the cache's state is settled.
void SettleReader() {
    while (TFile::ParallelReaderReadNext()) {
    }
    TFile::FlushReadCache(kUnusedKey);
}

}  // namespace

TEST_F(FileCacheTest, EveryFlagAndModeReadsTheBytesOfTheFile) {
    const std::string contents = Pattern(300000, 1);
    Put("data.bin", contents);
    const int flagSets[] = {0x2, 0x8002, 0x100002, 0x108002, 0x8080 | 0x2};
    const TFile::ECacheMode modes[] = {TFile::kNoCache, TFile::kCacheCopy, TFile::kReadAhead};
    std::mt19937 random(2);
    for (int flags : flagSets) {
        for (TFile::ECacheMode mode : modes) {
            SCOPED_TRACE(std::to_string(flags) + " mode " + std::to_string(mode));
            TFile file(Name("data.bin").c_str(), flags);
            TMemoryBlock block{};
            const int32_t key = 40 + mode;
            // Forward and backward walks by pages, then random ranges.
            std::vector<std::pair<int32_t, int32_t>> reads;
            for (int32_t at = 0; at < 300000; at += 65536) reads.emplace_back(at, 65536);
            for (int32_t at = 4 * 65536; at >= 0; at -= 65536) reads.emplace_back(at, 65536);
            for (int i = 0; i < 40; ++i) {
                int32_t at = static_cast<int32_t>(random() % 300000);
                reads.emplace_back(at, static_cast<int32_t>(random() % 70000));
            }
            bool backward = false;
            for (auto [at, count] : reads) {
                int32_t read = -1;
                ASSERT_TRUE(file.ReadAligned(at, block, count, 1, &read, mode, key, backward));
                int32_t expected = std::min<int32_t>(count, 300000 - at);
                ASSERT_EQ(read, expected) << at;
                ASSERT_TRUE(SameBytes(std::string(static_cast<char*>(block.address), read),
                                      contents.substr(at, read)))
                    << at;
                EXPECT_EQ(file.GetPosition(), at + read);
                backward = !backward;
                if (random() % 3 == 0) SettleReader();
            }
            for (int i = 0; i < 40; ++i) {
                int32_t at = static_cast<int32_t>(random() % 310000);
                int32_t count = static_cast<int32_t>(random() % 140000);
                std::string out(count, '\0');
                int32_t read = -1;
                ASSERT_TRUE(file.ReadCache(at, out.data(), count, 1, &read, key));
                std::string expected = at < 300000 ? contents.substr(at, count) : "";
                ASSERT_TRUE(SameBytes(out.substr(0, read), expected)) << at << " " << count;
            }
            FreeCachedPageAlignedMemory(block);
            SettleReader();
        }
    }
}

TEST_F(FileCacheTest, ReadAheadAndCopiesLeaveTheRangesTheyPromise) {
    const std::string contents = Pattern(5 * 65536, 3);
    Put("data.bin", contents);
    TFile file(Name("data.bin").c_str(), 0x8002);
    TMemoryBlock block{};
    int32_t read = 0;

    // Read-ahead: the next range is read for the key, then taken over by exchange.
    ASSERT_TRUE(file.ReadAligned(0, block, 65536, 1, &read, TFile::kReadAhead, 5));
    SettleReader();
    int32_t offset = 65536 + 10, count = 100;
    ASSERT_TRUE(file.SuggestReadFromCacheState(&offset, &count, 5));
    EXPECT_EQ(offset, 65536);
    EXPECT_EQ(count, 65536);
    offset = 65536 + 10;
    EXPECT_FALSE(file.SuggestReadFromCacheState(&offset, &count, 6));  // another key
    void* before = block.address;
    ASSERT_TRUE(file.ReadAligned(65536, block, 65536, 1, &read, TFile::kReadAhead, 5));
    EXPECT_NE(block.address, before);  // exchanged, not copied
    EXPECT_TRUE(SameBytes(std::string(static_cast<char*>(block.address), 65536),
                          contents.substr(65536, 65536)));
    SettleReader();
    offset = 2 * 65536;
    count = 65536;
    EXPECT_TRUE(file.SuggestReadFromCacheState(&offset, &count, 5));  // queued again at once

    // Backward reading reads ahead below.
    ASSERT_TRUE(file.ReadAligned(4 * 65536, block, 65536, 1, &read, TFile::kReadAhead, 8, 1));
    SettleReader();
    offset = 3 * 65536;
    count = 65536;
    EXPECT_TRUE(file.SuggestReadFromCacheState(&offset, &count, 8));

    // Copies stay for repeated reads of the range until their key is flushed.
    ASSERT_TRUE(file.ReadAligned(4096, block, 8192, 1, &read, TFile::kCacheCopy, 9));
    for (int i = 0; i < 2; ++i) {
        offset = 5000;
        count = 10;
        EXPECT_TRUE(file.SuggestReadFromCacheState(&offset, &count, 9));
        EXPECT_EQ(offset, 4096);
        EXPECT_EQ(count, 8192);
        ASSERT_TRUE(file.ReadAligned(4096, block, 8192, 1, &read, TFile::kCacheCopy, 9));
    }
    TFile::FlushReadCache(9);
    offset = 5000;
    count = 10;
    EXPECT_FALSE(file.SuggestReadFromCacheState(&offset, &count, 9));
    FreeCachedPageAlignedMemory(block);
}

TEST_F(FileCacheTest, ReadFailuresRaiseOrReturnFalse) {
    Put("data.bin", Pattern(100000, 4));
    TFile file(Name("data.bin").c_str(), 0x108002);
    TMemoryBlock block{};
    int32_t read = 0;
    pf::FailNthOperation(pf::EFailureSeam::Read, 1, EIO);
    auto caught = Catch([&] { file.ReadAligned(0, block, 4096, 1, &read, TFile::kReadAhead, 1); });
    EXPECT_TRUE(caught.thrown);
    EXPECT_EQ(caught.code, 1117u);
    EXPECT_EQ(caught.text, ErrorText(18002, Name("data.bin")));
    pf::FailNthOperation(pf::EFailureSeam::Read, 1, EIO);
    EXPECT_FALSE(file.ReadAligned(0, block, 4096, 0, &read, TFile::kReadAhead, 1));
    char out[10];
    pf::FailNthOperation(pf::EFailureSeam::Read, 1, EIO);
    EXPECT_FALSE(file.ReadCache(0, out, 10, 0, &read, 1));
    EXPECT_TRUE(Catch([&] { file.ReadAligned(-1, block, 10, 1, &read, TFile::kNoCache); }).thrown);
    FreeCachedPageAlignedMemory(block);
    SettleReader();
}

TEST_F(FileCacheTest, WriteBehindWritesWhatPlainWritesWrite) {
    struct Case {
        int flags;
        bool throughWrite;  // Write(..., useCache) rather than WriteInCache
    } cases[] = {
        {0x18, false},
        {0x10018, false},
        {0x10018 | 0x2000, false},
        {0x1010018 | 0x80000, true},
        {0x1000018 | 0x80000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        std::string expected;
        {
            TFile file(Name("out.bin").c_str(), c.flags);
            std::mt19937 random(static_cast<uint32_t>(c.flags));
            while (expected.size() < 400000) {
                std::string piece = Pattern(random() % 20000 + 1, static_cast<uint32_t>(random()));
                if (c.throughWrite) {
                    // The caller's buffer holds the data rounded up to pages.
                    std::string room = piece + std::string(4096, '\0');
                    file.Write(room.data(), static_cast<uint32_t>(piece.size()), 1);
                } else {
                    file.WriteInCache(piece.data(), static_cast<int32_t>(piece.size()));
                }
                expected += piece;
                EXPECT_EQ(file.GetPosition(), static_cast<int32_t>(expected.size()));
            }
            file.WaitEndOfCacheWriting();
            file.Close();
        }
        EXPECT_TRUE(SameBytes(Get("out.bin"), expected));
    }
}

TEST_F(FileCacheTest, QueuedBlocksLandAtTheirOwnOffsetsWhileTheOwnerSeeks) {
    const std::string body = Pattern(5 * 65536 + 123, 5);
    {
        TFile file(Name("take.raw").c_str(), 0x10018);
        file.WriteInCache(std::string(16, 'h').data(), 16);  // header placeholder
        file.WriteInCache(body.data(), static_cast<int32_t>(body.size()));
        file.Seek(4, TFile::kFromStart);  // rewrite part of the header meanwhile
        file.WriteInCache("HEAD", 4);
        file.SeekEnd();
        file.WriteInCache("tail", 4);
        TMemoryBlock block = AllocCachedPageAlignedMemory(4096, 1);
        std::memcpy(block.address, "EX", 2);
        file.WriteEx(8, block, 2);
        EXPECT_EQ(block.address, nullptr);  // taken
        file.Close();
    }
    std::string expected = std::string(16, 'h') + body + "tail";
    expected.replace(4, 4, "HEAD");
    expected.replace(8, 2, "EX");
    EXPECT_TRUE(SameBytes(Get("take.raw"), expected));
}

TEST_F(FileCacheTest, FailedQueuedWritesReachTheOwner) {
    struct Case {
        int errorNumber;
        std::string text;
        uint32_t code;
    } cases[] = {
        {ENOSPC, ErrorText(18019, "C:"), 112},
        {EIO, ErrorText(18003), 1117},
    };
    const std::string data = Pattern(6 * 65536, 6);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.errorNumber);
        TFile file(Name("full.bin").c_str(), 0x10018);
        pf::FailNthOperation(pf::EFailureSeam::Write, 2, c.errorNumber);
        // The failure is raised by a later write or at the latest by the wait.
        auto caught = Catch([&] {
            for (int i = 0; i < 6; ++i) file.WriteInCache(data.data() + i * 65536, 65536);
            file.WaitEndOfCacheWriting();
        });
        EXPECT_TRUE(caught.thrown);
        EXPECT_EQ(caught.text, c.text);
        EXPECT_EQ(caught.code, c.code);
        // It stays: the file lacks data, so every later write, wait and the close say so.
        auto again = Catch([&] { file.WriteInCache("x", 1); });
        EXPECT_EQ(again.code, c.code);
        EXPECT_EQ(Catch([&] { file.WaitEndOfCacheWriting(); }).code, c.code);
        auto closed = Catch([&] { file.Close(); });
        EXPECT_EQ(closed.code, c.code);
        EXPECT_EQ(closed.text, c.text);
        EXPECT_FALSE(file.IsOpen());
    }
}

TEST_F(FileCacheTest, EndCommonThreadsFinishesQueuedWorkFirst) {
    const std::string data = Pattern(20 * 65536, 7);
    Put("in.bin", data);
    TFile in(Name("in.bin").c_str(), 0x8002);
    TFile out(Name("out.bin").c_str(), 0x10018);
    TMemoryBlock block{};
    int32_t read = 0;
    for (int32_t at = 0; at < 20 * 65536; at += 65536) {
        ASSERT_TRUE(in.ReadAligned(at, block, 65536, 1, &read, TFile::kReadAhead, 3));
        out.WriteInCache(block.address, read);
    }
    static std::vector<std::string> traced;
    traced.clear();
    TTraceSink previous = SetTraceSink([](const char* line) { traced.emplace_back(line); });
    EndCommonThreads();  // `in` is still open with the read cache: reported, not waited for
    SetTraceSink(previous);
    ASSERT_EQ(traced.size(), 1u);
    EXPECT_NE(traced[0].find("1 file(s) still open"), std::string::npos) << traced[0];
    // Nothing is left queued for the stopped threads; both start again when needed.
    EXPECT_FALSE(TFile::ParallelReaderReadNext());
    ASSERT_TRUE(in.ReadAligned(0, block, 65536, 1, &read, TFile::kReadAhead, 3));
    out.WaitEndOfCacheWriting();
    out.WriteInCache(block.address, read);
    out.Close();
    EXPECT_TRUE(SameBytes(Get("out.bin"), data + data.substr(0, 65536)));
    FreeCachedPageAlignedMemory(block);
}

TEST_F(FileCacheTest, ManyOwnersReadAheadAndWriteBehindAtOnce) {
    const std::string contents = Pattern(8 * 65536, 8);
    Put("shared.bin", contents);
    for (int round = 0; round < 3; ++round) {
        std::vector<std::thread> owners;
        for (int t = 0; t < 4; ++t) {
            owners.emplace_back([&, t] {
                TFile in(Name("shared.bin").c_str(), 0x8002 | 0x80);
                TFile out(Name("copy" + std::to_string(t)).c_str(), 0x10018);
                TMemoryBlock block{};
                int32_t read = 0;
                for (int32_t at = 0; at < 8 * 65536; at += 65536) {
                    in.ReadAligned(at, block, 65536, 1, &read, TFile::kReadAhead, 100 + t);
                    out.WriteInCache(block.address, read);
                }
                FreeCachedPageAlignedMemory(block);
                out.Close();
                TFile::FlushReadCache(100 + t);
            });
        }
        for (std::thread& owner : owners) owner.join();
        for (int t = 0; t < 4; ++t)
            EXPECT_TRUE(SameBytes(Get("copy" + std::to_string(t)), contents));
    }
}
