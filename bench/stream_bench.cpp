// TOutputMemoryStream beside std::vector<char> appends, in the same run: 10 000 000
// 32-bit values each. Read the results as ratios. The stream grows linearly by its
// step (as the stored formats use it); the vector geometrically. The checked reads of
// stored data are compared with the unchecked ones.
#include <commonvcqx/streams/InputMemoryStream.h>
#include <commonvcqx/streams/OutputMemoryStream.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int32_t kValues = 10'000'000;

void BM_StreamWriteInt32(benchmark::State& state) {
    const uint32_t growBy = uint32_t(state.range(0));
    for (auto _ : state) {
        TOutputMemoryStream out(growBy, 1);
        for (int32_t i = 0; i < kValues; ++i) out.Write(i);
        benchmark::DoNotOptimize(out.GetStart());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kValues);
}
// 32000: the tagged format's step; 1 MB: a large step.
BENCHMARK(BM_StreamWriteInt32)->Arg(32000)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

// Through the base class, as a writer that takes any TOutputStream sees it.
__attribute__((noinline)) void WriteAll(TOutputStream& out) {
    for (int32_t i = 0; i < kValues; ++i) out.Write(i);
}

void BM_StreamWriteInt32Virtual(benchmark::State& state) {
    for (auto _ : state) {
        TOutputMemoryStream out(32000, 1);
        WriteAll(out);
        benchmark::DoNotOptimize(out.GetStart());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(BM_StreamWriteInt32Virtual)->Unit(benchmark::kMillisecond);

void BM_VectorAppendInt32(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<char> out;
        for (int32_t i = 0; i < kValues; ++i) {
            const char* bytes = reinterpret_cast<const char*>(&i);
            out.insert(out.end(), bytes, bytes + sizeof i);
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(BM_VectorAppendInt32)->Unit(benchmark::kMillisecond);

void BM_StreamReadInt32(benchmark::State& state) {
    TOutputMemoryStream out(1 << 20, 1);
    for (int32_t i = 0; i < kValues; ++i) out.Write(i);
    for (auto _ : state) {
        TInputMemoryStream in(out.GetStart(), out.GetCurrentPosition());
        int64_t sum = 0;
        for (int32_t i = 0; i < kValues; ++i) {
            int32_t value;
            in.Read(&value, 1);
            sum += value;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(BM_StreamReadInt32)->Unit(benchmark::kMillisecond);

// Stored data read the way it is meant to be: each record of 16 values checked once
// (CheckRemaining), its fields read plainly.
void BM_StreamReadInt32Checked(benchmark::State& state) {
    constexpr int32_t kRecord = 16;
    TOutputMemoryStream out(1 << 20, 1);
    for (int32_t i = 0; i < kValues; ++i) out.Write(i);
    for (auto _ : state) {
        TInputMemoryStream in(out.GetStart(), out.GetCurrentPosition());
        int64_t sum = 0;
        for (int32_t r = 0; r < kValues / kRecord; ++r) {
            in.CheckRemaining(kRecord * sizeof(int32_t));
            for (int32_t k = 0; k < kRecord; ++k) {
                int32_t value;
                in.Read(&value, 1);
                sum += value;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(BM_StreamReadInt32Checked)->Unit(benchmark::kMillisecond);

// Every value checked on its own (ReadChecked), for comparison.
void BM_StreamReadInt32CheckedEach(benchmark::State& state) {
    TOutputMemoryStream out(1 << 20, 1);
    for (int32_t i = 0; i < kValues; ++i) out.Write(i);
    for (auto _ : state) {
        TInputMemoryStream in(out.GetStart(), out.GetCurrentPosition());
        int64_t sum = 0;
        for (int32_t i = 0; i < kValues; ++i) {
            int32_t value;
            in.ReadChecked(&value, 1);
            sum += value;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(BM_StreamReadInt32CheckedEach)->Unit(benchmark::kMillisecond);

void BM_VectorReadInt32(benchmark::State& state) {
    std::vector<char> data(size_t(kValues) * 4);
    for (int32_t i = 0; i < kValues; ++i) std::memcpy(&data[size_t(i) * 4], &i, 4);
    for (auto _ : state) {
        int64_t sum = 0;
        for (size_t at = 0; at < data.size(); at += 4) {
            int32_t value;
            std::memcpy(&value, &data[at], 4);
            sum += value;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(BM_VectorReadInt32)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
