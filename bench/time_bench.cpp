// Time beside its standard peers: reading a running TTimer against
// std::chrono::steady_clock (the same clock underneath), and formatting a log-line
// time stamp with TTime::ConvertToString against localtime_r + strftime.
#include <commonvcqx/time/Time.h>
#include <commonvcqx/time/Timer.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

namespace {

constexpr const char* kLogStamp = "%Y-%m-%d %H:%M:%S";
constexpr int32_t kSomeTime = 1721044800;

void BM_TimerElapsed(benchmark::State& state) {
    TTimer timer(TTimer::kMicroseconds, 1);
    for (auto _ : state) benchmark::DoNotOptimize(timer.GetElapsedTime());
}
BENCHMARK(BM_TimerElapsed);

void BM_SteadyClockNow(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(std::chrono::steady_clock::now());
}
BENCHMARK(BM_SteadyClockNow);

// The peer doing the timer's whole job: the time since a start, in microseconds.
void BM_SteadyClockElapsed(benchmark::State& state) {
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        std::chrono::duration<double, std::micro> elapsed =
            std::chrono::steady_clock::now() - start;
        benchmark::DoNotOptimize(elapsed.count());
    }
}
BENCHMARK(BM_SteadyClockElapsed);

void BM_TimeConvertToString(benchmark::State& state) {
    int32_t seconds = kSomeTime;
    for (auto _ : state) {
        TString text = TTime(seconds++).ConvertToString(kLogStamp);
        benchmark::DoNotOptimize(text.c_str());
    }
}
BENCHMARK(BM_TimeConvertToString);

void BM_LocaltimeStrftime(benchmark::State& state) {
    std::time_t seconds = kSomeTime;
    char text[256];
    for (auto _ : state) {
        std::tm fields;
        ::localtime_r(&seconds, &fields);
        ++seconds;
        benchmark::DoNotOptimize(std::strftime(text, sizeof text, kLogStamp, &fields));
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_LocaltimeStrftime);

}  // namespace

BENCHMARK_MAIN();
