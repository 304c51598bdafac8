// TMultiFileBuffer beside the system calls it stands on, in the same run: 8 channels of
// 128 MB read interleaved (classic with read-ahead, and mapped) against 8 files read with
// pread(2) in 1 MB chunks and with mmap + MADV_SEQUENTIAL, warm (page cache holds the
// files) and cold (POSIX_FADV_DONTNEED before each pass); 8 x 128 MB written through
// write-behind against write(2); and the inner loop, ValidateVirtualPointer while the
// window holds the offset. Every read variant sums the same 64-bit words, so the
// bytes/second counters compare as ratios. Files live in $TMPDIR (default /tmp).
// Writing is timed two ways, since the page cache alone would time only how much the
// kernel lets pile up before writeback starts: /0 in $TMPDIR up to fsync of every file
// (the data on disk), /1 on tmpfs (/dev/shm, no disk behind it: the copying alone).
#include <commonvcqx/files/BufferedFile.h>
#include <commonvcqx/files/MultiFileBuffer.h>
#include <commonvcqx/platform/Drives.h>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kChannels = 8;
constexpr size_t kFileBytes = size_t{128} << 20;
constexpr size_t kChunk = size_t{1} << 20;
constexpr size_t kStep = size_t{64} << 10;  // what a channel consumes before the next one's turn

std::string ScratchPath(const std::string& leaf) {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder && *folder ? folder : "/tmp") + "/" + leaf;
}

std::string TrackPath(int channel) {
    return ScratchPath("cvq_multifile_bench_" + std::to_string(channel) + ".raw");
}

constexpr const char* kMemoryFolder = "/dev/shm";

std::string OutPath(int channel, bool inMemory) {
    std::string leaf = "cvq_multifile_bench_out_" + std::to_string(channel);
    return inMemory ? std::string(kMemoryFolder) + "/" + leaf : ScratchPath(leaf);
}

void RemoveFiles() {
    for (int c = 0; c < kChannels; ++c) {
        ::unlink(TrackPath(c).c_str());
        ::unlink(OutPath(c, false).c_str());
        ::unlink(OutPath(c, true).c_str());
    }
}

void EnsureTracks() {
    static const bool made = [] {
        std::vector<char> block(kChunk);
        for (int c = 0; c < kChannels; ++c) {
            for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 131 + c);
            int fd = ::open(TrackPath(c).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            for (size_t done = 0; fd >= 0 && done < kFileBytes; done += kChunk)
                if (::write(fd, block.data(), kChunk) != static_cast<ssize_t>(kChunk)) break;
            if (fd >= 0) ::close(fd);
        }
        std::atexit(RemoveFiles);
        return true;
    }();
    (void)made;
}

// Cold: the files leave the page cache; warm: one read brings them in.
void PrepareCache(bool cold) {
    std::vector<char> block(kChunk);
    for (int c = 0; c < kChannels; ++c) {
        int fd = ::open(TrackPath(c).c_str(), O_RDONLY);
        if (fd < 0) continue;
        if (cold) {
            ::fdatasync(fd);
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        } else {
            while (::read(fd, block.data(), kChunk) > 0) {
            }
        }
        ::close(fd);
    }
}

uint64_t Sum(const char* p, size_t bytes) {
    uint64_t sum = 0;
    for (size_t i = 0; i + 8 <= bytes; i += 8) {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        sum += word;
    }
    return sum;
}

TFileName LibraryName(const std::string& native) {
    return TFileName(FileNameFromNativePath(native).c_str());
}

void Finish(benchmark::State& state, size_t bytes) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// Reading

void ReadThroughBuffer(benchmark::State& state, bool mapped) {
    EnsureTracks();
    const bool cold = state.range(0) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        PrepareCache(cold);
        state.ResumeTiming();
        std::vector<std::unique_ptr<TFile>> files;
        std::vector<std::unique_ptr<TMemoryMappedFile>> maps;
        TMultiFileBuffer buffer(TMultiFileBuffer::kReadMode, kChannels, 2 * kChannels,
                                mapped ? TFile::kNoCache : TFile::kReadAhead,
                                TMultiFileBuffer::kThreadProcessId, 0);
        std::vector<char*> p(kChannels);
        for (int c = 0; c < kChannels; ++c) {
            files.push_back(std::make_unique<TFile>(LibraryName(TrackPath(c)), 0x8082));
            if (mapped) {
                maps.push_back(std::make_unique<TMemoryMappedFile>(*files.back(), 0, 0));
                TMappedBufferedFile::Register(buffer, c, *maps.back(), 0, 0, 4, 1024,
                                              static_cast<int32_t>(kChunk), 0);
            } else {
                TClassicBufferedFile::Register(buffer, c, *files.back(), 0, 0, 4, 1024,
                                               static_cast<int32_t>(kChunk), 0);
            }
            p[c] = static_cast<char*>(buffer.GetVirtualPointer(0, c));
        }
        uint64_t sum = 0;
        for (size_t at = 0; at < kFileBytes; at += kStep) {
            for (int c = 0; c < kChannels; ++c) {
                size_t left = kStep;
                while (left > 0) {
                    auto available =
                        static_cast<size_t>(buffer.GetAvailableBytesFromVirtualPointer(p[c], c));
                    size_t n = std::min(left, available);
                    sum += Sum(p[c], n);
                    p[c] += n;
                    left -= n;
                    buffer.ValidateVirtualPointer(reinterpret_cast<void**>(&p[c]), c);
                    if (n == 0) break;
                }
            }
        }
        benchmark::DoNotOptimize(sum);
        buffer.Reset();
    }
    Finish(state, kFileBytes * kChannels);
}

void BM_Read_ClassicReadAhead(benchmark::State& state) {
    ReadThroughBuffer(state, false);
}

void BM_Read_Mapped(benchmark::State& state) {
    ReadThroughBuffer(state, true);
}

void BM_Read_Pread1MB(benchmark::State& state) {
    EnsureTracks();
    const bool cold = state.range(0) != 0;
    std::vector<char> chunk(kChunk);
    for (auto _ : state) {
        state.PauseTiming();
        PrepareCache(cold);
        state.ResumeTiming();
        int fds[kChannels];
        for (int c = 0; c < kChannels; ++c) fds[c] = ::open(TrackPath(c).c_str(), O_RDONLY);
        uint64_t sum = 0;
        for (size_t at = 0; at < kFileBytes; at += kChunk)
            for (int c = 0; c < kChannels; ++c) {
                ssize_t got = ::pread(fds[c], chunk.data(), kChunk, static_cast<off_t>(at));
                if (got > 0) sum += Sum(chunk.data(), static_cast<size_t>(got));
            }
        benchmark::DoNotOptimize(sum);
        for (int fd : fds) ::close(fd);
    }
    Finish(state, kFileBytes * kChannels);
}

void BM_Read_MmapSequential(benchmark::State& state) {
    EnsureTracks();
    const bool cold = state.range(0) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        PrepareCache(cold);
        state.ResumeTiming();
        const char* views[kChannels];
        for (int c = 0; c < kChannels; ++c) {
            int fd = ::open(TrackPath(c).c_str(), O_RDONLY);
            void* view = ::mmap(nullptr, kFileBytes, PROT_READ, MAP_SHARED, fd, 0);
            ::madvise(view, kFileBytes, MADV_SEQUENTIAL);
            ::close(fd);
            views[c] = static_cast<const char*>(view);
        }
        uint64_t sum = 0;
        for (size_t at = 0; at < kFileBytes; at += kStep)
            for (int c = 0; c < kChannels; ++c) sum += Sum(views[c] + at, kStep);
        benchmark::DoNotOptimize(sum);
        for (const char* view : views) ::munmap(const_cast<char*>(view), kFileBytes);
    }
    Finish(state, kFileBytes * kChannels);
}

// Writing

const std::vector<char>& Source() {
    static const std::vector<char> source = [] {
        std::vector<char> bytes(kChunk);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
        return bytes;
    }();
    return source;
}

// Both writers start from no files, so neither pays for cutting the other's.
void RemoveOutputs(benchmark::State& state, bool inMemory) {
    static const bool cleaned = (std::atexit(RemoveFiles), true);  // also when not reading
    (void)cleaned;
    state.PauseTiming();
    for (int c = 0; c < kChannels; ++c) ::unlink(OutPath(c, inMemory).c_str());
    state.ResumeTiming();
}

bool WritableFolder(benchmark::State& state, bool inMemory) {
    if (!inMemory || ::access(kMemoryFolder, W_OK) == 0) return true;
    state.SkipWithError("no tmpfs at /dev/shm");
    return false;
}

void BM_Write_WriteBehind(benchmark::State& state) {
    const std::vector<char>& source = Source();
    const bool inMemory = state.range(0) != 0;
    if (!WritableFolder(state, inMemory)) return;
    for (auto _ : state) {
        RemoveOutputs(state, inMemory);
        std::vector<std::unique_ptr<TFile>> files;
        TMultiFileBuffer buffer(TMultiFileBuffer::kWriteMode, kChannels, 0, TFile::kNoCache, 1, 0);
        std::vector<char*> p(kChannels);
        for (int c = 0; c < kChannels; ++c) {
            files.push_back(std::make_unique<TFile>(LibraryName(OutPath(c, inMemory)), 0x10018));
            TClassicBufferedFile::Register(buffer, c, *files.back(), 0, 0, 4, 1024,
                                           static_cast<int32_t>(kChunk), 1);
            p[c] = static_cast<char*>(buffer.GetVirtualPointer(0, c));
        }
        for (size_t at = 0; at < kFileBytes; at += kStep)
            for (int c = 0; c < kChannels; ++c) {
                size_t left = kStep;
                while (left > 0) {
                    auto room =
                        static_cast<size_t>(buffer.GetAvailableBytesFromVirtualPointer(p[c], c));
                    size_t n = std::min(left, room);
                    std::memcpy(p[c], source.data() + (at % kChunk) + (kStep - left), n);
                    p[c] += n;
                    left -= n;
                    buffer.ValidateVirtualPointer(reinterpret_cast<void**>(&p[c]), c);
                }
            }
        for (int c = 0; c < kChannels; ++c)
            buffer.ValidateWriting(static_cast<int32_t>(kFileBytes),
                                   static_cast<int32_t>(kFileBytes), 0, 0, c, 1);
        for (auto& file : files) {
            if (!inMemory) file->Flush();
            file->Close();
        }
    }
    Finish(state, kFileBytes * kChannels);
}

void BM_Write_Write1MB(benchmark::State& state) {
    const std::vector<char>& source = Source();
    const bool inMemory = state.range(0) != 0;
    if (!WritableFolder(state, inMemory)) return;
    for (auto _ : state) {
        RemoveOutputs(state, inMemory);
        int fds[kChannels];
        for (int c = 0; c < kChannels; ++c)
            fds[c] = ::open(OutPath(c, inMemory).c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        for (size_t at = 0; at < kFileBytes; at += kChunk)
            for (int fd : fds)
                if (::write(fd, source.data(), kChunk) != static_cast<ssize_t>(kChunk))
                    state.SkipWithError("write failed");
        for (int fd : fds) {
            if (!inMemory) ::fsync(fd);
            ::close(fd);
        }
    }
    Finish(state, kFileBytes * kChannels);
}

// The inner loop: 4-byte items, the window already holding the offset.

void BM_Validate_InWindow(benchmark::State& state) {
    EnsureTracks();
    PrepareCache(false);
    TFile file(LibraryName(TrackPath(0)), 0x82);
    TMultiFileBuffer buffer(TMultiFileBuffer::kReadMode, 1, 2, TFile::kNoCache, 1, 0);
    TClassicBufferedFile::Register(buffer, 0, file, 0, 0, 4, 64, static_cast<int32_t>(kChunk), 0);
    auto* start = static_cast<char*>(buffer.GetVirtualPointer(0, 0));
    char* p = start;
    for (auto _ : state) {
        void* q = p;
        buffer.ValidateVirtualPointer(&q, 0);
        benchmark::DoNotOptimize(q);
        p += 4;
        if (p >= start + kChunk / 2) p = start;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Validate_PlainIncrement(benchmark::State& state) {
    std::vector<char> window(kChunk);
    char* p = window.data();
    for (auto _ : state) {
        void* q = p;
        benchmark::DoNotOptimize(q);
        p += 4;
        if (p >= window.data() + kChunk / 2) p = window.data();
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_GetVirtualPointer_InWindow(benchmark::State& state) {
    EnsureTracks();
    PrepareCache(false);
    TFile file(LibraryName(TrackPath(0)), 0x82);
    TMultiFileBuffer buffer(TMultiFileBuffer::kReadMode, 1, 2, TFile::kNoCache, 1, 0);
    TClassicBufferedFile::Register(buffer, 0, file, 0, 0, 4, 64, static_cast<int32_t>(kChunk), 0);
    int32_t offset = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(buffer.GetVirtualPointer(offset, 0));
        offset = (offset + 4) % static_cast<int32_t>(kChunk / 2);
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_Read_ClassicReadAhead)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read_Mapped)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read_Pread1MB)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read_MmapSequential)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write_WriteBehind)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Write_Write1MB)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(3)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Validate_InWindow);
BENCHMARK(BM_Validate_PlainIncrement);
BENCHMARK(BM_GetVirtualPointer_InWindow);

BENCHMARK_MAIN();
