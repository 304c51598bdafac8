// TMultiFileBuffer with classic and mapped channel files: every byte seen through a
// virtual pointer is the file's byte at that offset, whatever the walk, the pool's
// reuse and the registration; write mode writes exactly what went through the pointers.
#include <commonvcqx/files/BufferedFile.h>
#include <commonvcqx/files/MultiFileBuffer.h>

#include "FileTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace pf = cvq::platform;
using cvq::test::Catch;
using cvq::test::ErrorText;
using cvq::test::Pattern;
using cvq::test::SameBytes;
using MultiFileBufferTest = cvq::test::ScratchFolder;

namespace {

enum class EKind { Classic, Mapped };

// The files of a walk, opened as one kind, with each channel registered on one.
struct TChannels {
    std::vector<std::unique_ptr<TFile>> files;
    std::vector<std::unique_ptr<TMemoryMappedFile>> maps;

    void Register(TMultiFileBuffer& buffer, EKind kind, int channel, const std::string& name,
                  int flags, int32_t start, int32_t itemSize, int32_t margin, int32_t size) {
        if (kind == EKind::Classic) {
            files.push_back(std::make_unique<TFile>(name.c_str(), flags));
            TClassicBufferedFile::Register(buffer, channel, *files.back(), start, 0, itemSize,
                                           margin, size, 0);
        } else {
            maps.push_back(std::make_unique<TMemoryMappedFile>(name.c_str(), 0x82, 0, 0));
            TMappedBufferedFile::Register(buffer, channel, *maps.back(), start, 0, itemSize, margin,
                                          size, 0);
        }
    }
};

// 'h' when the channel shows `offset` as it was (`old`: a buffer kept it), 'm' when as
// it is now (`now`: it was read again).
char HitOrMiss(TMultiFileBuffer& buffer, int channel, int32_t offset, const std::string& old,
               const std::string& now) {
    auto* p = static_cast<const char*>(buffer.GetVirtualPointer(offset, channel));
    if (!p) return '?';
    const std::string shown(p, 16);
    const auto at = static_cast<size_t>(offset);
    if (at < old.size() && shown == old.substr(at, 16)) return 'h';
    return shown == now.substr(at, 16) ? 'm' : '?';
}

}  // namespace

TEST_F(MultiFileBufferTest, PoolShapeFollowsTheMode) {
    TMultiFileBuffer read(TMultiFileBuffer::kReadMode, 3, 2, TFile::kNoCache, 1, 0);
    EXPECT_EQ(read.GetNumBuffers(), 6);
    TMultiFileBuffer more(TMultiFileBuffer::kReadMode, 3, 9, TFile::kNoCache, 1, 0);
    EXPECT_EQ(more.GetNumBuffers(), 9);
    TMultiFileBuffer write(TMultiFileBuffer::kWriteMode, 3, 9, TFile::kNoCache, 1, 0);
    EXPECT_EQ(write.GetNumBuffers(), 3);
    EXPECT_TRUE(write.WriteMode());
    EXPECT_EQ(read.GetVirtualPointer(0, 0), nullptr);  // no file registered
    EXPECT_EQ(read.GetVirtualPointer(0, 7), nullptr);  // no such channel
}

TEST_F(MultiFileBufferTest, InterleavedWalksSeeTheBytesOfEveryFile) {
    const std::vector<std::string> contents = {Pattern(700000, 1), Pattern(123457, 2),
                                               Pattern(300001, 3)};
    for (size_t i = 0; i < contents.size(); ++i) Put("t" + std::to_string(i), contents[i]);
    struct Case {
        EKind kind;
        int flags;
        TFile::ECacheMode mode;
    } cases[] = {
        {EKind::Classic, 0x82, TFile::kNoCache},     {EKind::Classic, 0x8082, TFile::kReadAhead},
        {EKind::Classic, 0x8082, TFile::kCacheCopy}, {EKind::Classic, 0x82, TFile::kReadAhead},
        {EKind::Mapped, 0x82, TFile::kNoCache},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.kind)) + " " + std::to_string(c.flags) +
                     " " + std::to_string(c.mode));
        TChannels channels;  // the files outlive the buffer that maps them
        TMultiFileBuffer buffer(TMultiFileBuffer::kReadMode, 3, 4, c.mode,
                                TMultiFileBuffer::kThreadProcessId, 0);
        const int32_t starts[] = {0, 44, 4096};
        for (int ch = 0; ch < 3; ++ch)
            channels.Register(buffer, c.kind, ch, Name("t" + std::to_string(ch)), c.flags,
                              starts[ch], 2 + 2 * ch, 64, 16384);
        // Forward: all channels step together, each by its item size.
        std::vector<const char*> p(3);
        std::vector<int64_t> at(3);
        for (int ch = 0; ch < 3; ++ch) {
            at[ch] = starts[ch];
            p[ch] = static_cast<const char*>(buffer.GetVirtualPointer(starts[ch], ch));
            ASSERT_NE(p[ch], nullptr);
        }
        EXPECT_NE(buffer.GetProcessId(), TMultiFileBuffer::kThreadProcessId);  // made unique
        bool going = true;
        while (going) {
            going = false;
            for (int ch = 0; ch < 3; ++ch) {
                const int64_t item = 2 + 2 * ch;
                if (at[ch] + item > static_cast<int64_t>(contents[ch].size())) continue;
                going = true;
                ASSERT_GE(buffer.GetAvailableBytesFromVirtualPointer(p[ch], ch), item);
                ASSERT_EQ(std::string(p[ch], item), contents[ch].substr(at[ch], item))
                    << ch << " " << at[ch];
                ASSERT_EQ(buffer.VirtualPointerToFileOffset(p[ch], ch), at[ch]);
                p[ch] += item;
                at[ch] += item;
                auto* moved = const_cast<char*>(p[ch]);
                buffer.ValidateVirtualPointer(reinterpret_cast<void**>(&moved), ch);
                p[ch] = moved;
            }
        }
        // Backward from each end to its start.
        for (int ch = 0; ch < 3; ++ch) {
            const int64_t item = 2 + 2 * ch;
            int64_t offset = starts[ch] + (contents[ch].size() - starts[ch]) / item * item;
            auto* q = static_cast<char*>(
                buffer.GetVirtualPointerBackward(static_cast<int32_t>(offset), ch));
            ASSERT_NE(q, nullptr);
            while (offset - item >= starts[ch]) {
                q -= item;
                offset -= item;
                buffer.ValidateVirtualPointerBackward(reinterpret_cast<void**>(&q), ch);
                ASSERT_GE(buffer.GetAvailableBytesBeforeVirtualPointer(q, ch), 0);
                ASSERT_EQ(buffer.VirtualPointerToFileOffset(q, ch), offset);
                ASSERT_EQ(std::string(q, item), contents[ch].substr(offset, item)) << offset;
            }
        }
    }
}

TEST_F(MultiFileBufferTest, WindowsStayWhileThePointerIsSafe) {
    Put("t", Pattern(200000, 4));
    TFile file(Name("t").c_str(), 0x82);
    TMultiFileBuffer buffer(TMultiFileBuffer::kReadMode, 1, 2, TFile::kNoCache, 1, 0);
    TClassicBufferedFile::Register(buffer, 0, file, 0, 0, 4, 16, 32768, 0);
    char* first = static_cast<char*>(buffer.GetVirtualPointer(1000, 0));
    void* start = buffer.GetStartOfCurrentBuffer(0);
    char* second = static_cast<char*>(buffer.GetVirtualPointer(1100, 0));
    EXPECT_EQ(buffer.GetStartOfCurrentBuffer(0), start);  // the same buffer
    EXPECT_EQ(second - first, 100);
    void* p = second;
    buffer.ValidateVirtualPointer(&p, 0);
    EXPECT_EQ(p, second);
    EXPECT_EQ(static_cast<char*>(buffer.GetEndOfCurrentBuffer(0)) -
                  static_cast<char*>(buffer.GetStartOfCurrentBuffer(0)),
              32768);
}

TEST_F(MultiFileBufferTest, ReleasedPoolsAreReusedByShape) {
    TMultiFileBuffer::End();
    EXPECT_EQ(TMultiFileBuffer::GetCachedShapeCount(), 0);
    Put("t", Pattern(100000, 5));
    TFile file(Name("t").c_str(), 0x82);
    {
        TMultiFileBuffer buffer(TMultiFileBuffer::kReadMode, 2, 4, TFile::kNoCache, 1, 0);
        TClassicBufferedFile::Register(buffer, 0, file, 0, 0, 1, 1, 4096, 0);
        ASSERT_NE(buffer.GetVirtualPointer(10, 0), nullptr);
    }
    EXPECT_EQ(TMultiFileBuffer::GetCachedShapeCount(), 1);
    {
        TMultiFileBuffer same(TMultiFileBuffer::kReadMode, 2, 3, TFile::kNoCache, 1, 0);
        EXPECT_EQ(TMultiFileBuffer::GetCachedShapeCount(), 0);  // 2 x 4 taken again
        EXPECT_EQ(same.GetVirtualPointer(10, 0), nullptr);      // but with no files
        TMultiFileBuffer other(TMultiFileBuffer::kReadMode, 5, 4, TFile::kNoCache, 1, 0);
    }
    EXPECT_EQ(TMultiFileBuffer::GetCachedShapeCount(), 2);
    for (int n = 1; n <= 12; ++n)
        TMultiFileBuffer(TMultiFileBuffer::kReadMode, n + 10, 1, TFile::kNoCache, 1, 0);
    EXPECT_EQ(TMultiFileBuffer::GetCachedShapeCount(), 10);
    TMultiFileBuffer::End();
    EXPECT_EQ(TMultiFileBuffer::GetCachedShapeCount(), 0);
}

TEST_F(MultiFileBufferTest, CopiesShareOnePool) {
    const std::string contents = Pattern(100000, 6);
    Put("t", contents);
    TFile file(Name("t").c_str(), 0x82);
    auto original = std::make_unique<TMultiFileBuffer>(TMultiFileBuffer::kReadMode, 1, 2,
                                                       TFile::kNoCache, 1, 0);
    TClassicBufferedFile::Register(*original, 0, file, 0, 0, 1, 1, 4096, 0);
    TMultiFileBuffer copy(*original);
    TMultiFileBuffer assigned(TMultiFileBuffer::kReadMode, 4, 8, TFile::kNoCache, 1, 0);
    assigned = copy;
    original.reset();  // the pool lives on in the copies
    auto* p = static_cast<char*>(copy.GetVirtualPointer(5000, 0));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::string(p, 10), contents.substr(5000, 10));
    EXPECT_EQ(assigned.GetCurrentFile(0), copy.GetCurrentFile(0));
    EXPECT_EQ(assigned.GetStartOfCurrentBuffer(0), copy.GetStartOfCurrentBuffer(0));
}

TEST_F(MultiFileBufferTest, RegistrationReusesTheSameFileOnly) {
    const std::string a = Pattern(100000, 7), b = Pattern(100000, 8);
    Put("a", a);
    Put("b", b);
    TFile fileA(Name("a").c_str(), 0x82), againA(Name("a").c_str(), 0x82);
    TFile fileB(Name("b").c_str(), 0x82);
    TMultiFileBuffer buffer(TMultiFileBuffer::kReadMode, 1, 2, TFile::kNoCache, 1, 0);
    TClassicBufferedFile* first =
        TClassicBufferedFile::Register(buffer, 0, fileA, 0, 0, 2, 8, 8192, 0);
    EXPECT_EQ(TClassicBufferedFile::Register(buffer, 0, fileA, 0, 0, 2, 8, 8192, 0), first);
    // Another object for the same file on disk is the same file.
    EXPECT_EQ(TClassicBufferedFile::Register(buffer, 0, againA, 0, 0, 2, 8, 8192, 0), first);
    auto* p = static_cast<char*>(buffer.GetVirtualPointer(100, 0));
    EXPECT_EQ(std::string(p, 8), a.substr(100, 8));
    // Another file replaces it, and the old file's data is gone from the pool.
    TClassicBufferedFile* second =
        TClassicBufferedFile::Register(buffer, 0, fileB, 0, 0, 2, 8, 8192, 0);
    EXPECT_NE(second, nullptr);
    EXPECT_EQ(buffer.GetCurrentFile(0), second);
    p = static_cast<char*>(buffer.GetVirtualPointer(100, 0));
    EXPECT_EQ(std::string(p, 8), b.substr(100, 8));
    // Other parameters make a new file too.
    TClassicBufferedFile* third =
        TClassicBufferedFile::Register(buffer, 0, fileB, 0, 0, 4, 8, 8192, 0);
    EXPECT_EQ(buffer.GetCurrentFile(0), third);
    buffer.StopUsingFile(fileB);
    EXPECT_EQ(buffer.GetStartOfCurrentBuffer(0), nullptr);
    buffer.Reset();
    EXPECT_EQ(buffer.GetCurrentFile(0), nullptr);
}

TEST_F(MultiFileBufferTest, ClearedCommitStatusDefersTheRead) {
    const std::string contents = Pattern(300000, 9);
    Put("t", contents);
    TFile file(Name("t").c_str(), 0x8082);
    TMultiFileBuffer buffer(TMultiFileBuffer::kReadMode, 1, 2, TFile::kReadAhead, 77, 0);
    TClassicBufferedFile::Register(buffer, 0, file, 0, 0, 1, 64, 65536, 0);
    buffer.SetCommitStatus(0);
    EXPECT_EQ(buffer.GetVirtualPointer(70000, 0), nullptr);
    EXPECT_EQ(buffer.GetVirtualPointer(70010, 0), nullptr);  // still recorded only
    buffer.SetCommitStatus(1);
    auto* p = static_cast<char*>(buffer.GetVirtualPointer(70010, 0));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::string(p, 100), contents.substr(70010, 100));
}

TEST_F(MultiFileBufferTest, WriteModeWritesExactlyTheBytesGiven) {
    struct Case {
        EKind kind;
        int flags;
    } cases[] = {{EKind::Classic, 0x18}, {EKind::Classic, 0x10018}, {EKind::Mapped, 0x18}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.kind)) + " " + std::to_string(c.flags));
        const std::vector<std::string> data = {Pattern(400003, 10), Pattern(70000, 11)};
        {
            std::vector<std::unique_ptr<TFile>> files;
            std::vector<std::unique_ptr<TMemoryMappedFile>> maps;
            TMultiFileBuffer buffer(TMultiFileBuffer::kWriteMode, 2, 0, TFile::kNoCache, 1, 0);
            for (int ch = 0; ch < 2; ++ch) {
                std::string name = Name("w" + std::to_string(ch));
                if (c.kind == EKind::Classic) {
                    files.push_back(std::make_unique<TFile>(name.c_str(), c.flags));
                    TClassicBufferedFile::Register(buffer, ch, *files.back(), 0, 0, 1, 256, 100000,
                                                   1);
                } else {
                    files.push_back(std::make_unique<TFile>(name.c_str(), c.flags));
                    files.back()->SetSize(1);
                    maps.push_back(std::make_unique<TMemoryMappedFile>(*files.back(), 0, 0));
                    TMappedBufferedFile::Register(buffer, ch, *maps.back(), 0, 0, 1, 256, 100000,
                                                  1);
                }
            }
            std::vector<char*> p(2);
            std::vector<size_t> at(2, 0);
            for (int ch = 0; ch < 2; ++ch) {
                p[ch] = static_cast<char*>(buffer.GetVirtualPointer(0, ch));
                ASSERT_NE(p[ch], nullptr);
            }
            std::mt19937 random(12);
            for (bool going = true; going;) {
                going = false;
                for (int ch = 0; ch < 2; ++ch) {
                    size_t n = std::min<size_t>(random() % 200 + 1, data[ch].size() - at[ch]);
                    if (n == 0) continue;
                    going = true;
                    ASSERT_GE(buffer.GetAvailableBytesFromVirtualPointer(p[ch], ch),
                              static_cast<int32_t>(std::min<size_t>(n, 256)));
                    n = std::min<size_t>(n, 256);
                    std::memcpy(p[ch], data[ch].data() + at[ch], n);
                    p[ch] += n;
                    at[ch] += n;
                    buffer.ValidateVirtualPointer(reinterpret_cast<void**>(&p[ch]), ch);
                }
            }
            for (int ch = 0; ch < 2; ++ch) {
                auto size = static_cast<int32_t>(data[ch].size());
                buffer.ValidateWriting(size, size, 0, 0, ch, 1);
            }
            if (c.kind == EKind::Classic) {
                EXPECT_GT(buffer.GetWriteCount(), 6);
            }
        }
        for (int ch = 0; ch < 2; ++ch)
            EXPECT_TRUE(SameBytes(Get("w" + std::to_string(ch)), data[ch])) << ch;
    }
}

TEST_F(MultiFileBufferTest, WriteFailuresReachTheWriter) {
    for (int flags : {0x18, 0x10018}) {
        SCOPED_TRACE(flags);
        TFile file(Name("full").c_str(), flags);
        TMultiFileBuffer buffer(TMultiFileBuffer::kWriteMode, 1, 0, TFile::kNoCache, 1, 0);
        TClassicBufferedFile::Register(buffer, 0, file, 0, 0, 1, 16, 65536, 1);
        auto* p = static_cast<char*>(buffer.GetVirtualPointer(0, 0));
        std::memset(p, 'x', 1000);
        pf::FailNthOperation(pf::EFailureSeam::Write, 1, ENOSPC);
        auto caught = Catch([&] { buffer.ValidateWriting(1000, 1000, 0, 0, 0, 1); });
        EXPECT_TRUE(caught.thrown);
        EXPECT_EQ(caught.code, 112u);
        EXPECT_EQ(caught.text, ErrorText(18019, "C:"));
        pf::DisarmFailures();
        if (flags & 0x10000) {
            EXPECT_EQ(Catch([&] { file.Close(); }).code, 112u);
        }
    }
}

TEST_F(MultiFileBufferTest, MappedWritingGrowsTheFileFirst) {
    TFile file(Name("mapped").c_str(), 0x18);
    file.SetSize(1);
    TMemoryMappedFile map(file, 0, 0);
    TMultiFileBuffer buffer(TMultiFileBuffer::kWriteMode, 1, 0, TFile::kNoCache, 1, 0);
    TMappedBufferedFile::Register(buffer, 0, map, 0, 0, 1, 16, 65536, 1);
    pf::FailNthOperation(pf::EFailureSeam::CreateMapping, 1, ENOSPC);
    // A full disk is reported when the window is asked for, never as a fault later.
    auto caught = Catch([&] { buffer.GetVirtualPointer(0, 0); });
    EXPECT_TRUE(caught.thrown);
    EXPECT_EQ(caught.code, 112u);
    EXPECT_EQ(caught.text, ErrorText(18019, "C:"));
    auto* p = static_cast<char*>(buffer.GetVirtualPointer(0, 0));
    ASSERT_NE(p, nullptr);
    std::memcpy(p, "take", 4);
    buffer.ValidateWriting(4, 4, 0, 0, 0, 1);
    EXPECT_EQ(Get("mapped"), "take");
}

TEST_F(MultiFileBufferTest, RandomUseMatchesTheFiles) {
    const std::vector<std::string> contents = {Pattern(90000, 13), Pattern(250000, 14),
                                               Pattern(5000, 15)};
    for (size_t i = 0; i < contents.size(); ++i) Put("r" + std::to_string(i), contents[i]);
    std::vector<std::unique_ptr<TFile>> files;
    for (size_t i = 0; i < contents.size(); ++i)
        files.push_back(std::make_unique<TFile>(Name("r" + std::to_string(i)).c_str(), 0x8082));
    std::mt19937 random(16);
    for (int round = 0; round < 4; ++round) {
        TMultiFileBuffer buffer(TMultiFileBuffer::kReadMode, 2, 3,
                                static_cast<TFile::ECacheMode>(round % 3), 5 + round, 0);
        std::vector<int> fileOf(2, -1);
        std::vector<char*> p(2, nullptr);
        std::vector<int64_t> at(2, 0);
        for (int step = 0; step < 3000; ++step) {
            int ch = static_cast<int>(random() % 2);
            switch (random() % 20) {
                case 0: {
                    int f = static_cast<int>(random() % 3);
                    TClassicBufferedFile::Register(buffer, ch, *files[f], 0, 0, 1, 32,
                                                   static_cast<int32_t>(random() % 3 + 1) * 8192,
                                                   0);
                    fileOf[ch] = f;
                    p[ch] = nullptr;
                    break;
                }
                case 1:
                    if (fileOf[ch] >= 0) buffer.StopUsingFile(*files[fileOf[ch]]);
                    p = {nullptr, nullptr};
                    break;
                case 2:
                    buffer.Reset();
                    fileOf = {-1, -1};
                    p = {nullptr, nullptr};
                    break;
                default: {
                    if (fileOf[ch] < 0) break;
                    const std::string& bytes = contents[fileOf[ch]];
                    auto size = static_cast<int64_t>(bytes.size());
                    bool forward = random() % 2 == 0;
                    if (!p[ch] || random() % 10 == 0) {
                        at[ch] = static_cast<int64_t>(random() % bytes.size());
                        p[ch] = static_cast<char*>(
                            forward ? buffer.GetVirtualPointer(static_cast<int32_t>(at[ch]), ch)
                                    : buffer.GetVirtualPointerBackward(static_cast<int32_t>(at[ch]),
                                                                       ch));
                        ASSERT_NE(p[ch], nullptr);
                    }
                    auto move = static_cast<int64_t>(random() % 64);
                    if (forward && at[ch] + move < size) {
                        at[ch] += move;
                        p[ch] += move;
                        buffer.ValidateVirtualPointer(reinterpret_cast<void**>(&p[ch]), ch);
                    } else if (!forward && at[ch] - move >= 0) {
                        at[ch] -= move;
                        p[ch] -= move;
                        buffer.ValidateVirtualPointerBackward(reinterpret_cast<void**>(&p[ch]), ch);
                    }
                    ASSERT_EQ(buffer.VirtualPointerToFileOffset(p[ch], ch), at[ch]);
                    ASSERT_GT(buffer.GetAvailableBytesFromVirtualPointer(p[ch], ch), 0);
                    ASSERT_EQ(*p[ch], bytes[static_cast<size_t>(at[ch])]) << at[ch];
                }
            }
        }
    }
}

TEST_F(MultiFileBufferTest, MappedWindowsPointIntoOneSharedView) {
    const std::string contents = Pattern(1000003, 17);
    Put("m", contents);
    TMemoryMappedFile map(Name("m").c_str(), 0x82, 0, 0);
    TMultiFileBuffer buffer(TMultiFileBuffer::kReadMode, 2, 4, TFile::kNoCache, 1, 0);
    TMappedBufferedFile::Register(buffer, 0, map, 0, 0, 4, 16, 65536, 0);
    TMappedBufferedFile::Register(buffer, 1, map, 100, 0, 2, 8, 131072, 0);
    auto* forward = static_cast<char*>(buffer.GetVirtualPointer(0, 0));
    auto* backward = static_cast<char*>(buffer.GetVirtualPointerBackward(999000, 1));
    ASSERT_NE(forward, nullptr);
    ASSERT_NE(backward, nullptr);
    ASSERT_EQ(map.GetViews().GetCount(), 1);
    TMemoryMappedFile::TView* whole = map.GetView();
    EXPECT_EQ(whole->GetSize(), map.GetMappingSize());
    int64_t up = 0, down = 999000;
    int moves = 0;
    while (up + 8 <= static_cast<int64_t>(contents.size()) && down - 2 >= 100) {
        void* before = buffer.GetStartOfCurrentBuffer(0);
        forward += 4;
        up += 4;
        buffer.ValidateVirtualPointer(reinterpret_cast<void**>(&forward), 0);
        backward -= 2;
        down -= 2;
        buffer.ValidateVirtualPointerBackward(reinterpret_cast<void**>(&backward), 1);
        moves += buffer.GetStartOfCurrentBuffer(0) != before;
        ASSERT_EQ(std::string(forward, 4), contents.substr(static_cast<size_t>(up), 4)) << up;
        ASSERT_EQ(std::string(backward, 2), contents.substr(static_cast<size_t>(down), 2)) << down;
        // Moving windows map nothing: every window is a pointer into the one view.
        ASSERT_EQ(map.GetView(), whole);
        ASSERT_EQ(map.GetView(1), nullptr);
        ASSERT_GE(forward, static_cast<char*>(whole->GetStart()));
        ASSERT_LT(forward, static_cast<char*>(whole->GetStart()) + whole->GetSize());
    }
    EXPECT_GT(moves, 10);
    buffer.StopUsingFile(map);
    EXPECT_EQ(map.GetViews().GetCount(), 0);  // the last window gone, the view is unmapped
}

TEST_F(MultiFileBufferTest, SeveralChannelsWriteOneMappedFile) {
    constexpr int kWriters = 3;
    constexpr size_t kRegion = 300000;
    std::vector<std::string> data;
    for (int ch = 0; ch < kWriters; ++ch) data.push_back(Pattern(kRegion, 20 + ch));
    {
        TFile file(Name("multi").c_str(), 0x18);
        file.SetSize(1);
        TMemoryMappedFile map(file, 0, 0);
        TMultiFileBuffer buffer(TMultiFileBuffer::kWriteMode, kWriters, 0, TFile::kNoCache, 1, 0);
        std::vector<char*> p(kWriters);
        std::vector<size_t> at(kWriters, 0);
        for (int ch = 0; ch < kWriters; ++ch) {
            TMappedBufferedFile::Register(buffer, ch, map, static_cast<int32_t>(ch * kRegion), 0, 1,
                                          128, 65536, 1);
            p[ch] = static_cast<char*>(
                buffer.GetVirtualPointer(static_cast<int32_t>(ch * kRegion), ch));
            ASSERT_NE(p[ch], nullptr);
        }
        // The last region's window grows the file at once; the others grow it again as
        // they go. Every growth leaves the other channels' pointers where they were.
        std::mt19937 random(21);
        for (bool going = true; going;) {
            going = false;
            for (int ch = 0; ch < kWriters; ++ch) {
                size_t n = std::min<size_t>(random() % 128 + 1, kRegion - at[ch]);
                if (n == 0) continue;
                going = true;
                ASSERT_GE(buffer.GetAvailableBytesFromVirtualPointer(p[ch], ch),
                          static_cast<int32_t>(n));
                std::memcpy(p[ch], data[ch].data() + at[ch], n);
                p[ch] += n;
                at[ch] += n;
                buffer.ValidateVirtualPointer(reinterpret_cast<void**>(&p[ch]), ch);
                ASSERT_EQ(buffer.VirtualPointerToFileOffset(p[ch], ch),
                          static_cast<int32_t>(ch * kRegion + at[ch]));
            }
        }
        EXPECT_GT(map.GetMappingSize(), kWriters * kRegion - 1);
        const auto total = static_cast<int32_t>(kWriters * kRegion);
        for (int ch = 0; ch < kWriters; ++ch) buffer.ValidateWriting(total, total, 0, 0, ch, 1);
        EXPECT_EQ(map.GetViews().GetCount(), 0);
    }
    std::string written = Get("multi");
    ASSERT_EQ(written.size(), kWriters * kRegion);
    for (int ch = 0; ch < kWriters; ++ch)
        EXPECT_TRUE(SameBytes(written.substr(ch * kRegion, kRegion), data[ch])) << ch;
}

TEST_F(MultiFileBufferTest, AFullDiskWhileGrowingLeavesTheOtherWindows) {
    TFile file(Name("full").c_str(), 0x18);
    file.SetSize(1);
    TMemoryMappedFile map(file, 0, 0);
    TMultiFileBuffer buffer(TMultiFileBuffer::kWriteMode, 2, 0, TFile::kNoCache, 1, 0);
    TMappedBufferedFile::Register(buffer, 0, map, 0, 0, 1, 16, 65536, 1);
    TMappedBufferedFile::Register(buffer, 1, map, 1 << 20, 0, 1, 16, 65536, 1);
    auto* first = static_cast<char*>(buffer.GetVirtualPointer(0, 0));
    ASSERT_NE(first, nullptr);
    const uint32_t mapped = map.GetMappingSize();
    pf::FailNthOperation(pf::EFailureSeam::CreateMapping, 1, ENOSPC);
    auto caught = Catch([&] { buffer.GetVirtualPointer(1 << 20, 1); });
    EXPECT_TRUE(caught.thrown);
    EXPECT_EQ(caught.code, 112u);
    EXPECT_EQ(caught.text, ErrorText(18019, "C:"));
    EXPECT_EQ(map.GetMappingSize(), mapped);  // the file kept its size
    std::memcpy(first, "kept", 4);            // the first window is still the file's
    EXPECT_EQ(buffer.GetStartOfCurrentBuffer(0), first);
    auto* second = static_cast<char*>(buffer.GetVirtualPointer(1 << 20, 1));
    ASSERT_NE(second, nullptr);
    std::memcpy(second, "late", 4);
    buffer.ValidateWriting(-1, (1 << 20) + 4, 0, 0, 0, 1);
    std::string written = Get("full");
    ASSERT_EQ(written.size(), (1u << 20) + 4);
    EXPECT_EQ(written.substr(0, 4), "kept");
    EXPECT_EQ(written.substr(1 << 20), "late");
}

TEST_F(MultiFileBufferTest, MovingWindowsKeepTheBytesTheyShare) {
    // The file changes on disk after the first window is read: what the next window
    // shows from before that change it took from the first window instead of reading.
    const std::string before = Pattern(1000000, 30), after = Pattern(1000000, 31);
    for (bool forward : {true, false}) {
        SCOPED_TRACE(forward);
        for (TFile::ECacheMode mode : {TFile::kNoCache, TFile::kReadAhead}) {
            Put("t", before);
            TFile file(Name("t").c_str(), 0x8082);
            TMultiFileBuffer buffer(TMultiFileBuffer::kReadMode, 1, 2, mode, 40, 0);
            TClassicBufferedFile::Register(buffer, 0, file, 0, 0, 4, 1024, 65536, 0);
            int64_t at = 500000;
            auto* p = static_cast<char*>(forward ? buffer.GetVirtualPointer(500000, 0)
                                                 : buffer.GetVirtualPointerBackward(500000, 0));
            ASSERT_NE(p, nullptr);
            const int64_t oldStart = at - buffer.GetAvailableBytesBeforeVirtualPointer(p, 0);
            const int64_t oldEnd = at + buffer.GetAvailableBytesFromVirtualPointer(p, 0);
            Put("t", after);
            TFile::FlushReadCache(40);  // a read-ahead of the old bytes would hide the change
            // Step to just outside the safe zone.
            const int64_t target = forward ? oldEnd - 4096 + 4 : oldStart + 4096 - 4;
            p += target - at;
            at = target;
            if (forward)
                buffer.ValidateVirtualPointer(reinterpret_cast<void**>(&p), 0);
            else
                buffer.ValidateVirtualPointerBackward(reinterpret_cast<void**>(&p), 0);
            const int64_t newStart = at - buffer.GetAvailableBytesBeforeVirtualPointer(p, 0);
            const int64_t newEnd = at + buffer.GetAvailableBytesFromVirtualPointer(p, 0);
            ASSERT_TRUE(newStart != oldStart || newEnd != oldEnd) << "the window moved";
            const int64_t sharedFrom = std::max(oldStart, newStart);
            const int64_t sharedTo = std::min(oldEnd, newEnd);
            EXPECT_GE(sharedTo - sharedFrom, 4096);
            const char* base = p - (at - newStart);
            for (int64_t o = newStart; o < newEnd; ++o) {
                const std::string& expected = o >= sharedFrom && o < sharedTo ? before : after;
                ASSERT_EQ(base[o - newStart], expected[static_cast<size_t>(o)]) << o;
            }
        }
    }
}

TEST_F(MultiFileBufferTest, ARepeatedPassFindsWhatThePreviousPassLeft) {
    // Four windows through three buffers, twice, the file changing in between: plain
    // least-recently-used reuse has given up every window by the time the second pass
    // comes back; with the passes notified the last window of the first pass survives.
    const std::string first = Pattern(4 * 65536, 32), second = Pattern(4 * 65536, 33);
    for (bool passes : {false, true}) {
        SCOPED_TRACE(passes);
        Put("loop", first);
        TFile file(Name("loop").c_str(), 0x82);
        TMultiFileBuffer buffer(TMultiFileBuffer::kReadMode, 1, 3, TFile::kNoCache, 1, 0);
        ASSERT_EQ(buffer.GetNumBuffers(), 3);
        TClassicBufferedFile::Register(buffer, 0, file, 0, 0, 1, 16, 65536, 0);
        std::string seen;
        if (passes) buffer.NotifyNewMacroPass();
        for (int32_t w = 0; w < 4; ++w) seen += HitOrMiss(buffer, 0, w * 65536 + 100, "", first);
        Put("loop", second);
        if (passes) buffer.NotifyNewMacroPass();
        seen += ' ';
        for (int32_t w = 0; w < 4; ++w)
            seen += HitOrMiss(buffer, 0, w * 65536 + 100, first, second);
        EXPECT_EQ(seen, passes ? "mmmm mmmh" : "mmmm mmmm");
        EXPECT_EQ(buffer.GetPass(), passes ? 1 : -1);
    }
}

TEST_F(MultiFileBufferTest, TheReuseLimitKeepsOneChannelFromTakingThePool) {
    const std::string a = Pattern(4 * 65536, 34), changed = Pattern(4 * 65536, 35);
    const std::string b = Pattern(8 * 65536, 36);
    Put("b", b);
    TFile fileB(Name("b").c_str(), 0x82);
    struct Case {
        int32_t limit;
        int32_t kept;
        const char* seen;
    } cases[] = {{0, 4, "mm mmmmmm m"}, {2, 2, "mm mmmmmm h"}, {99, 4, "mm mmmmmm m"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.limit);
        Put("a", a);
        TFile fileA(Name("a").c_str(), 0x82);
        TMultiFileBuffer buffer(TMultiFileBuffer::kReadMode, 2, 4, TFile::kNoCache, 1, 0);
        EXPECT_EQ(buffer.GetReuseLimit(), 4);
        if (c.limit) buffer.SetReuseLimit(c.limit);
        EXPECT_EQ(buffer.GetReuseLimit(), c.kept);
        TClassicBufferedFile::Register(buffer, 0, fileA, 0, 0, 1, 16, 65536, 0);
        TClassicBufferedFile::Register(buffer, 1, fileB, 0, 0, 1, 16, 65536, 0);
        std::string seen;
        for (int32_t w = 0; w < 2; ++w) seen += HitOrMiss(buffer, 0, w * 65536 + 8, "", a);
        seen += ' ';
        // Channel 1 walks its file while channel 0 stays on its second window.
        for (int32_t w = 0; w < 6; ++w) seen += HitOrMiss(buffer, 1, w * 65536 + 8, "", b);
        Put("a", changed);
        seen += ' ';
        seen += HitOrMiss(buffer, 0, 8, a, changed);
        EXPECT_EQ(seen, c.seen);
    }
    TMultiFileBuffer write(TMultiFileBuffer::kWriteMode, 2, 0, TFile::kNoCache, 1, 0);
    EXPECT_EQ(write.GetReuseLimit(), 1);
}
