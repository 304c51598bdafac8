// Value formatting beside its standard peers: FloatToString with fixed places against
// std::to_chars (fixed) and snprintf("%.*f"), integers against std::to_chars and
// snprintf("%lld"), and timecode text for each frame of a run against snprintf of the
// same fields. Each runs over the same 1024 values.
#include <commonvcqx/text/IntegerText.h>
#include <commonvcqx/text/ValueFormatting.h>

#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr size_t kCount = 1024;
constexpr int kPlaces = 2;

const std::vector<double>& Doubles() {
    static const std::vector<double> values = [] {
        std::mt19937_64 random(3);
        std::uniform_real_distribution<double> exponent(-2, 7);
        std::vector<double> out(kCount);
        for (double& v : out) v = std::pow(10.0, exponent(random)) * (random() % 2 ? -1 : 1);
        return out;
    }();
    return values;
}

const std::vector<int64_t>& Integers() {
    static const std::vector<int64_t> values = [] {
        std::mt19937_64 random(4);
        std::vector<int64_t> out(kCount);
        for (int64_t& v : out) v = int64_t(random() >> (random() % 60)) * (random() % 2 ? -1 : 1);
        return out;
    }();
    return values;
}

void BM_FloatToString(benchmark::State& state) {
    char text[kFloatTextSize];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FloatToString(Doubles()[i++ % kCount], text, kPlaces));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FloatToString);

void BM_ToCharsFixed(benchmark::State& state) {
    char text[kFloatTextSize];
    size_t i = 0;
    for (auto _ : state) {
        auto result = std::to_chars(text, text + sizeof text, Doubles()[i++ % kCount],
                                    std::chars_format::fixed, kPlaces);
        benchmark::DoNotOptimize(result.ptr);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ToCharsFixed);

void BM_SnprintfFixed(benchmark::State& state) {
    char text[kFloatTextSize];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            std::snprintf(text, sizeof text, "%.*f", kPlaces, Doubles()[i++ % kCount]));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SnprintfFixed);

void BM_Int64ToString(benchmark::State& state) {
    char text[32];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Int64ToString(Integers()[i++ % kCount], text));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Int64ToString);

void BM_ToCharsInt64(benchmark::State& state) {
    char text[32];
    size_t i = 0;
    for (auto _ : state) {
        auto result = std::to_chars(text, text + sizeof text, Integers()[i++ % kCount]);
        benchmark::DoNotOptimize(result.ptr);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ToCharsInt64);

void BM_SnprintfInt64(benchmark::State& state) {
    char text[32];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            std::snprintf(text, sizeof text, "%lld", (long long)Integers()[i++ % kCount]));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SnprintfInt64);

// One text per frame of a 25 frames-per-second run at 48 kHz, from an hour in.
constexpr double kRate = 48000;
constexpr double kFrame = kRate / 25;

void BM_TimecodePerFrame(benchmark::State& state) {
    TTimeMetrics metrics{int32_t(kRate)};
    metrics.frameRate = 25;
    char text[kTimeTextSize];
    int64_t frame = 90000;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            TimeToString(double(frame++) * kFrame, text, kTimeTimecode, metrics, 0));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_TimecodePerFrame);

// The peer splits the same position into fields and prints them.
void BM_SnprintfTimecodePerFrame(benchmark::State& state) {
    char text[64];
    int64_t frame = 90000;
    for (auto _ : state) {
        const double samples = double(frame++) * kFrame;
        const int64_t seconds = int64_t(samples / kRate);
        const int frames = int(std::lround((samples - double(seconds) * kRate) / kFrame));
        benchmark::DoNotOptimize(std::snprintf(
            text, sizeof text, "%02lld:%02lld:%02lld.%02d", (long long)(seconds / 3600),
            (long long)(seconds / 60 % 60), (long long)(seconds % 60), frames));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SnprintfTimecodePerFrame);

}  // namespace

BENCHMARK_MAIN();
