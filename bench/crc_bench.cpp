// ComputeCrc32 beside zlib's crc32 and libdeflate's libdeflate_crc32 over 4 KB, 1 MB and
// 64 MB, in the same run; the table-slicing fallback is shown for reference.
#include <commonvcqx/text/Checksums.h>
#include <commonvcqx/text/internal/Crc32.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include <zlib.h>
#if CVQ_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace {

const std::vector<unsigned char>& Data() {
    static const std::vector<unsigned char> data = [] {
        std::vector<unsigned char> bytes(64u << 20);
        std::mt19937_64 rng(1);
        for (auto& b : bytes) b = static_cast<unsigned char>(rng());
        return bytes;
    }();
    return data;
}

template <class F>
void Run(benchmark::State& state, F crc) {
    const auto& data = Data();
    size_t size = size_t(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(crc(data.data(), size));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
}

void BM_Crc32_CommonVcQx(benchmark::State& state) {
    Run(state, [](const unsigned char* p, size_t n) { return ComputeCrc32(p, uint32_t(n)); });
}
void BM_Crc32_CommonVcQxSlicing(benchmark::State& state) {
    Run(state,
        [](const unsigned char* p, size_t n) { return ~cvq::detail::Crc32Slicing(~0u, p, n); });
}
void BM_Crc32_Zlib(benchmark::State& state) {
    Run(state, [](const unsigned char* p, size_t n) { return crc32(0, p, uInt(n)); });
}
#if CVQ_HAVE_LIBDEFLATE
void BM_Crc32_Libdeflate(benchmark::State& state) {
    Run(state, [](const unsigned char* p, size_t n) { return libdeflate_crc32(0, p, n); });
}
BENCHMARK(BM_Crc32_Libdeflate)->Arg(4 << 10)->Arg(1 << 20)->Arg(64 << 20);
#endif
BENCHMARK(BM_Crc32_CommonVcQx)->Arg(4 << 10)->Arg(1 << 20)->Arg(64 << 20);
BENCHMARK(BM_Crc32_Zlib)->Arg(4 << 10)->Arg(1 << 20)->Arg(64 << 20);
BENCHMARK(BM_Crc32_CommonVcQxSlicing)->Arg(4 << 10)->Arg(1 << 20)->Arg(64 << 20);

}  // namespace

BENCHMARK_MAIN();
