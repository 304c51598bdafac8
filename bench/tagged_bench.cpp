// Writing and reading back 1 000 000 tagged values in 1 000 groups beside Protocol
// Buffers holding the same numbers, measured in the same run; read the results as ratios
// (items per second are values; bytes per second are each format's own encoded bytes).
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "proto/tagged_bench.pb.h"

namespace {

constexpr int kGroups = 1000;
constexpr int kValuesPerGroup = 1000;
constexpr int64_t kValues = int64_t(kGroups) * kValuesPerGroup;

int32_t ValueAt(int g, int i) {
    return g * 7919 + i * 31;
}

void WriteTagged(TTaggedOutputStream& out) {
    for (int g = 0; g < kGroups; ++g) {
        out.MoveDown("G", g);
        for (int i = 0; i < kValuesPerGroup; ++i) out.SetValue(ValueAt(g, i), "V", i);
        out.MoveUp();
    }
    out.CloseWriting();
}

void BM_TaggedWrite(benchmark::State& state) {
    uint32_t size = 0;
    for (auto _ : state) {
        TTaggedOutputStream out(1, "bench", 1);
        WriteTagged(out);
        size = out.GetSize();
        benchmark::DoNotOptimize(out.GetStart());
    }
    state.SetItemsProcessed(state.iterations() * kValues);
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
}
BENCHMARK(BM_TaggedWrite)->Unit(benchmark::kMillisecond);

void BM_TaggedRead(benchmark::State& state) {
    TTaggedOutputStream out(1, "bench", 1);
    WriteTagged(out);
    std::vector<char> block(out.GetStart(), out.GetStart() + out.GetSize());
    int64_t sum = 0;
    for (auto _ : state) {
        TTaggedInputStream in(1, block.data(), int32_t(block.size()), 0);
        for (int g = 0; g < kGroups; ++g) {
            if (!in.MoveDown("G", g)) state.SkipWithError("group missing");
            for (int i = 0; i < kValuesPerGroup; ++i) sum += in.GetValue(int32_t(0), "V", i);
            in.MoveUp();
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * kValues);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(block.size()));
}
BENCHMARK(BM_TaggedRead)->Unit(benchmark::kMillisecond);

std::string WriteProtobuf() {
    cvqbench::Document document;
    for (int g = 0; g < kGroups; ++g) {
        cvqbench::Group* group = document.add_groups();
        for (int i = 0; i < kValuesPerGroup; ++i) group->add_values(ValueAt(g, i));
    }
    return document.SerializeAsString();
}

void BM_ProtobufWrite(benchmark::State& state) {
    size_t size = 0;
    for (auto _ : state) {
        std::string bytes = WriteProtobuf();
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetItemsProcessed(state.iterations() * kValues);
    state.SetBytesProcessed(int64_t(state.iterations() * size));
}
BENCHMARK(BM_ProtobufWrite)->Unit(benchmark::kMillisecond);

void BM_ProtobufRead(benchmark::State& state) {
    const std::string bytes = WriteProtobuf();
    int64_t sum = 0;
    for (auto _ : state) {
        cvqbench::Document document;
        if (!document.ParseFromString(bytes)) state.SkipWithError("parse failed");
        for (const cvqbench::Group& group : document.groups())
            for (int32_t value : group.values()) sum += value;
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * kValues);
    state.SetBytesProcessed(int64_t(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ProtobufRead)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
