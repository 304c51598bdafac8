// TString beside std::string (and IntToString beside std::to_chars and snprintf),
// measured in the same run; read the results as ratios.
#include <commonvcqx/text/IntegerText.h>
#include <commonvcqx/text/String.h>

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

void BM_CopyTString(benchmark::State& state) {
    TString source(std::string(size_t(state.range(0)), 'a').c_str());
    for (auto _ : state) {
        TString copy(source);
        benchmark::DoNotOptimize(copy.c_str());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyTString)->Arg(16)->Arg(256)->Arg(4096);

void BM_CopyStdString(benchmark::State& state) {
    std::string source(size_t(state.range(0)), 'a');
    for (auto _ : state) {
        std::string copy(source);
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyStdString)->Arg(16)->Arg(256)->Arg(4096);

constexpr int kAppendBytes = 1 << 20;

void BM_AppendCharTString(benchmark::State& state) {
    for (auto _ : state) {
        TString s;
        for (int i = 0; i < kAppendBytes; ++i) s += char('a' + (i & 15));
        benchmark::DoNotOptimize(s.c_str());
    }
    state.SetItemsProcessed(state.iterations() * kAppendBytes);
}
BENCHMARK(BM_AppendCharTString)->Unit(benchmark::kMillisecond);

void BM_AppendCharStdString(benchmark::State& state) {
    for (auto _ : state) {
        std::string s;
        for (int i = 0; i < kAppendBytes; ++i) s += char('a' + (i & 15));
        benchmark::DoNotOptimize(s.data());
    }
    state.SetItemsProcessed(state.iterations() * kAppendBytes);
}
BENCHMARK(BM_AppendCharStdString)->Unit(benchmark::kMillisecond);

// 64 KB of text with the one match at its end.
std::string SearchText() {
    std::string text;
    while (text.size() < 65536 - 32) text += "the quick brown fox jumps over the lazy dog; ";
    text.resize(65536 - 32);
    text += "needle in a haystack of words";
    return text;
}
constexpr const char* kNeedle = "needle in a haystack";

void BM_FindFirstTString(benchmark::State& state) {
    TString text(SearchText().c_str());
    for (auto _ : state) benchmark::DoNotOptimize(text.FindFirst(kNeedle));
    state.SetBytesProcessed(state.iterations() * int64_t(text.GetLength()));
}
BENCHMARK(BM_FindFirstTString);

void BM_FindFirstStdString(benchmark::State& state) {
    std::string text = SearchText();
    for (auto _ : state) benchmark::DoNotOptimize(text.find(kNeedle));
    state.SetBytesProcessed(state.iterations() * int64_t(text.size()));
}
BENCHMARK(BM_FindFirstStdString);

// Values of every magnitude, both signs.
std::vector<int> Values() {
    std::mt19937 random(42);
    std::vector<int> values(1024);
    for (int& v : values) {
        int digits = int(random() % 10);
        int limit = 1;
        for (int d = 0; d < digits; ++d) limit *= 10;
        v = int(random() % unsigned(limit)) * (random() & 1 ? -1 : 1);
    }
    return values;
}

void BM_IntToString(benchmark::State& state) {
    std::vector<int> values = Values();
    char text[32];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(IntToString(values[i++ & 1023], text, 0, 0));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_IntToString);

void BM_ToChars(benchmark::State& state) {
    std::vector<int> values = Values();
    char text[32];
    size_t i = 0;
    for (auto _ : state) {
        auto result = std::to_chars(text, text + sizeof text, values[i++ & 1023]);
        *result.ptr = '\0';
        benchmark::DoNotOptimize(result.ptr);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ToChars);

void BM_Snprintf(benchmark::State& state) {
    std::vector<int> values = Values();
    char text[32];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::snprintf(text, sizeof text, "%d", values[i++ & 1023]));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Snprintf);

}  // namespace

BENCHMARK_MAIN();
