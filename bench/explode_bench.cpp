// ExplodeString of a 10 MB comma-separated text beside a std::string_view split loop,
// measured in the same run; read the results as ratios.
#include <commonvcqx/containers/Array.h>
#include <commonvcqx/text/String.h>
#include <commonvcqx/text/StringFunctions.h>

#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

const std::string& CommaSeparatedText() {
    static const std::string text = [] {
        std::string s;
        for (int i = 0; s.size() < (10u << 20); ++i) {
            s += "take ";
            s += std::to_string(i);
            s += i % 7 == 0 ? ",," : ",";
        }
        return s;
    }();
    return text;
}

void BM_ExplodeStringToArray(benchmark::State& state) {
    const std::string& text = CommaSeparatedText();
    for (auto _ : state) {
        TArray<TString> items;
        ExplodeString(items, text.c_str(), ",", 0, 1);
        benchmark::DoNotOptimize(items.GetCount());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_ExplodeStringToArray)->Unit(benchmark::kMillisecond);

// The same work with the standard library: owning strings in a vector.
void BM_StringViewSplitToStrings(benchmark::State& state) {
    const std::string_view text = CommaSeparatedText();
    for (auto _ : state) {
        std::vector<std::string> items;
        size_t start = 0;
        for (size_t comma; (comma = text.find(',', start)) != std::string_view::npos;
             start = comma + 1)
            items.emplace_back(text.substr(start, comma - start));
        items.emplace_back(text.substr(start));
        benchmark::DoNotOptimize(items.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_StringViewSplitToStrings)->Unit(benchmark::kMillisecond);

// The lower bound: views into the text, nothing copied.
void BM_StringViewSplitToViews(benchmark::State& state) {
    const std::string_view text = CommaSeparatedText();
    for (auto _ : state) {
        std::vector<std::string_view> items;
        size_t start = 0;
        for (size_t comma; (comma = text.find(',', start)) != std::string_view::npos;
             start = comma + 1)
            items.push_back(text.substr(start, comma - start));
        items.push_back(text.substr(start));
        benchmark::DoNotOptimize(items.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_StringViewSplitToViews)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
