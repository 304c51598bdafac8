// TDirectoryScanner beside fts(3) (FTS_PHYSICAL) and std::filesystem's recursive
// iterator in the same run: a recursive scan of 100 000 files in 1 000 folders for one
// file type, summing the sizes of the matches. Read the results as ratios of the
// times. The tree is made once in $TMPDIR (default /tmp) as cvq_scanner_bench, of
// files without data blocks (sizes set with ftruncate), and kept for later runs: remove
// it and cvq_scanner_bench.complete to reclaim its 100 000 inodes.
//
// Argument 0 looks for "*.wav", half of the files; 1 for "*.*", every file. The
// scanner lists each folder in the library's file-name order and stats only the
// matches; fts stats every entry, and FtsSorted adds the same order as fts's
// comparison; std::filesystem stats only the matches, with no order.
#include <commonvcqx/files/DirectoryScanner.h>
#include <commonvcqx/platform/Drives.h>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <fts.h>
#include <strings.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr int kGroups = 10, kFoldersPerGroup = 100, kFilesPerFolder = 100;
constexpr int64_t kFiles = int64_t{kGroups} * kFoldersPerGroup * kFilesPerFolder;

struct TTree {
    std::string native;
    uint64_t wavBytes = 0;
    uint64_t allBytes = 0;
};

uint64_t SizeOf(int file) {
    return uint64_t(file) * 2654435761u % 1000000;  // spread out, none above 1 MB
}

// root/gN/fNNN/take_NN.{wav,txt}: even files are sound files. A finished tree is
// marked by a stamp file and kept for later runs.
const TTree& Tree() {
    static const TTree tree = [] {
        TTree made;
        const char* tmp = std::getenv("TMPDIR");
        made.native = std::string(tmp && *tmp ? tmp : "/tmp") + "/cvq_scanner_bench";
        const std::string stamp = made.native + ".complete";  // beside: not scanned
        const bool kept = fs::exists(stamp);
        if (!kept) fs::remove_all(made.native);  // an unfinished tree
        int file = 0;
        char path[512];
        for (int g = 0; g < kGroups; ++g) {
            for (int f = 0; f < kFoldersPerGroup; ++f) {
                std::snprintf(path, sizeof path, "%s/g%d/f%03d", made.native.c_str(), g, f);
                if (!kept) fs::create_directories(path);
                for (int i = 0; i < kFilesPerFolder; ++i, ++file) {
                    made.allBytes += SizeOf(file);
                    if (i % 2 == 0) made.wavBytes += SizeOf(file);
                    if (kept) continue;
                    std::snprintf(path, sizeof path, "%s/g%d/f%03d/take_%02d.%s",
                                  made.native.c_str(), g, f, i, i % 2 ? "txt" : "wav");
                    int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
                    if (fd < 0 || ::ftruncate(fd, off_t(SizeOf(file))) != 0) std::abort();
                    ::close(fd);
                }
            }
        }
        if (!kept) ::close(::open(stamp.c_str(), O_WRONLY | O_CREAT, 0644));
        return made;
    }();
    return tree;
}

bool Wanted(const char* name, size_t length, bool all) {
    return all || (length > 4 && strcasecmp(name + length - 4, ".wav") == 0);
}

void Check(benchmark::State& state, bool all, int64_t count, uint64_t bytes) {
    const TTree& tree = Tree();
    if (count != (all ? kFiles : kFiles / 2) || bytes != (all ? tree.allBytes : tree.wavBytes))
        state.SkipWithError("wrong result");
}

class TCounter : public TDirectoryScanner {
public:
    char OnFile(const TFileName&, const WIN32_FIND_DATAA*, uint32_t) override {
        ++m_reported;
        return 1;
    }
    int64_t m_reported = 0;
};

void BM_Scan_Library(benchmark::State& state) {
    const bool all = state.range(0) != 0;
    const TFileName root(FileNameFromNativePath(Tree().native).c_str());
    const TString type(all ? "*.*" : "*.wav");
    for (auto _ : state) {
        TCounter scanner;
        scanner.Reset(root, &type, 0, 1);
        scanner.Run();
        Check(state, all, scanner.m_reported, scanner.GetTotalSize());
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_Scan_Library)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int ByName(const FTSENT** a, const FTSENT** b) {
    return CompareFileNames((*a)->fts_name, (*b)->fts_name);
}

void Fts(benchmark::State& state, int (*order)(const FTSENT**, const FTSENT**)) {
    const bool all = state.range(0) != 0;
    std::string root = Tree().native;
    char* roots[] = {root.data(), nullptr};
    for (auto _ : state) {
        FTS* walk = ::fts_open(roots, FTS_PHYSICAL, order);
        int64_t count = 0;
        uint64_t bytes = 0;
        while (FTSENT* entry = ::fts_read(walk)) {
            if (entry->fts_info == FTS_F && Wanted(entry->fts_name, entry->fts_namelen, all)) {
                ++count;
                bytes += uint64_t(entry->fts_statp->st_size);
            }
        }
        ::fts_close(walk);
        Check(state, all, count, bytes);
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}

void BM_Scan_Fts(benchmark::State& state) {
    Fts(state, nullptr);
}
BENCHMARK(BM_Scan_Fts)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Scan_FtsSorted(benchmark::State& state) {
    Fts(state, &ByName);
}
BENCHMARK(BM_Scan_FtsSorted)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Scan_StdFilesystem(benchmark::State& state) {
    const bool all = state.range(0) != 0;
    const fs::path root = Tree().native;
    for (auto _ : state) {
        int64_t count = 0;
        uint64_t bytes = 0;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
            if (!entry.is_regular_file()) continue;  // the listing's type: no stat
            const std::string name = entry.path().filename().native();
            if (!Wanted(name.c_str(), name.size(), all)) continue;
            ++count;
            bytes += entry.file_size();  // one stat per match
        }
        Check(state, all, count, bytes);
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_Scan_StdFilesystem)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
