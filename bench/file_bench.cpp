// TFile's whole-file load, sequential reads and whole-file save beside the system calls
// they stand on, in the same run: a 256 MB file read whole and in 1 MB chunks (page
// cache warm), and a 64 MB file saved durably. Read the results as ratios of the
// bytes/second counters. The library's save is atomic: it writes a new file, syncs
// it, renames it over the old one and syncs the folder; the peer writes and syncs in
// place, so the rename and folder sync are the price of atomicity.
#include <commonvcqx/files/File.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/platform/Drives.h>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr size_t kLoadBytes = size_t{256} << 20;
constexpr size_t kSaveBytes = size_t{64} << 20;
constexpr size_t kChunk = size_t{1} << 20;

std::string ScratchPath(const char* leaf) {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder && *folder ? folder : "/tmp") + "/" + leaf;
}

// The 256 MB file, written once per run and read once so the page cache holds it.
const std::string& LoadPath() {
    static const std::string path = [] {
        std::string native = ScratchPath("cvq_file_bench_load.bin");
        std::vector<char> block(kChunk);
        for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 131);
        int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (size_t done = 0; fd >= 0 && done < kLoadBytes; done += kChunk)
            if (::write(fd, block.data(), kChunk) != static_cast<ssize_t>(kChunk)) break;
        if (fd >= 0) ::close(fd);
        fd = ::open(native.c_str(), O_RDONLY);
        while (fd >= 0 && ::read(fd, block.data(), kChunk) > 0) {
        }
        if (fd >= 0) ::close(fd);
        std::atexit([] { ::unlink(ScratchPath("cvq_file_bench_load.bin").c_str()); });
        return native;
    }();
    return path;
}

TFileName LibraryName(const std::string& native) {
    return TFileName(FileNameFromNativePath(native).c_str());
}

std::vector<char>& Buffer() {
    static std::vector<char> buffer(kLoadBytes);
    return buffer;
}

void BM_LoadFile_Library(benchmark::State& state) {
    TFileName name = LibraryName(LoadPath());
    std::vector<char>& buffer = Buffer();
    for (auto _ : state) {
        uint32_t size = 0;
        benchmark::DoNotOptimize(TFile::LoadFile(name, &size, buffer.data()));
        if (size != kLoadBytes) state.SkipWithError("short load");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLoadBytes));
}
BENCHMARK(BM_LoadFile_Library)->Unit(benchmark::kMillisecond)->UseRealTime();

// The library allocating the block itself (from the thread's default heap).
void BM_LoadFile_LibraryAllocating(benchmark::State& state) {
    TFileName name = LibraryName(LoadPath());
    for (auto _ : state) {
        uint32_t size = 0;
        void* block = TFile::LoadFile(name, &size, nullptr);
        benchmark::DoNotOptimize(block);
        NH_Heap::FreeMem(block);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLoadBytes));
}
BENCHMARK(BM_LoadFile_LibraryAllocating)->Unit(benchmark::kMillisecond)->UseRealTime();

// Peer: open, fstat-free read(2) of the whole size into the same buffer, close.
void BM_LoadFile_Read(benchmark::State& state) {
    const std::string& path = LoadPath();
    std::vector<char>& buffer = Buffer();
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        size_t done = 0;
        while (done < kLoadBytes) {
            ssize_t n = ::read(fd, buffer.data() + done, kLoadBytes - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        ::close(fd);
        if (done != kLoadBytes) state.SkipWithError("short read");
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLoadBytes));
}
BENCHMARK(BM_LoadFile_Read)->Unit(benchmark::kMillisecond)->UseRealTime();

// Peer of the allocating load: malloc, read(2), free.
void BM_LoadFile_MallocRead(benchmark::State& state) {
    const std::string& path = LoadPath();
    for (auto _ : state) {
        char* block = static_cast<char*>(std::malloc(kLoadBytes));
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        size_t done = 0;
        while (done < kLoadBytes) {
            ssize_t n = ::read(fd, block + done, kLoadBytes - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        ::close(fd);
        benchmark::DoNotOptimize(block);
        std::free(block);
        if (done != kLoadBytes) state.SkipWithError("short read");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLoadBytes));
}
BENCHMARK(BM_LoadFile_MallocRead)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SequentialRead_Library(benchmark::State& state) {
    TFileName name = LibraryName(LoadPath());
    std::vector<char>& buffer = Buffer();
    for (auto _ : state) {
        TFile file(name, 0x2 | 0x80 | 0x20000000);
        int32_t read = 0;
        size_t done = 0;
        do {
            file.ReadData(buffer.data() + done, static_cast<int32_t>(kChunk), 1, &read);
            done += static_cast<size_t>(read);
        } while (read == static_cast<int32_t>(kChunk));
        if (done != kLoadBytes) state.SkipWithError("short read");
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLoadBytes));
}
BENCHMARK(BM_SequentialRead_Library)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SequentialRead_Read(benchmark::State& state) {
    const std::string& path = LoadPath();
    std::vector<char>& buffer = Buffer();
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        size_t done = 0;
        ssize_t n = 0;
        do {
            n = ::read(fd, buffer.data() + done, kChunk);
            if (n > 0) done += static_cast<size_t>(n);
        } while (n == static_cast<ssize_t>(kChunk));
        ::close(fd);
        if (done != kLoadBytes) state.SkipWithError("short read");
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLoadBytes));
}
BENCHMARK(BM_SequentialRead_Read)->Unit(benchmark::kMillisecond)->UseRealTime();

std::vector<char>& SaveData() {
    static std::vector<char> data = [] {
        std::vector<char> bytes(kSaveBytes);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
        return bytes;
    }();
    return data;
}

void BM_SaveFile_Library(benchmark::State& state) {
    std::string native = ScratchPath("cvq_file_bench_save_library.bin");
    TFileName name = LibraryName(native);
    std::vector<char>& data = SaveData();
    for (auto _ : state) TFile::SaveFile(name, data.data(), static_cast<uint32_t>(data.size()));
    ::unlink(native.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSaveBytes));
}
BENCHMARK(BM_SaveFile_Library)->Unit(benchmark::kMillisecond)->UseRealTime();

// Peer: truncate and rewrite in place, then fsync (not atomic).
void BM_SaveFile_WriteFsync(benchmark::State& state) {
    std::string native = ScratchPath("cvq_file_bench_save_peer.bin");
    std::vector<char>& data = SaveData();
    for (auto _ : state) {
        int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        size_t done = 0;
        while (done < data.size()) {
            ssize_t n = ::write(fd, data.data() + done, data.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        if (done != data.size() || ::fsync(fd) != 0) state.SkipWithError("write failed");
        ::close(fd);
    }
    ::unlink(native.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSaveBytes));
}
BENCHMARK(BM_SaveFile_WriteFsync)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
