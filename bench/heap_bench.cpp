// NH_Heap (through the interposed malloc/free) beside glibc's allocator and mimalloc,
// in one run. Read the results as ratios between the rows of one workload.
#include <commonvcqx/memory/AllocatorHooks.h>
#include <commonvcqx/memory/Heap.h>

#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#if CVQ_HAVE_MIMALLOC
#include <mimalloc.h>
#endif

extern "C" void* __libc_malloc(size_t size);
extern "C" void __libc_free(void* p);
extern "C" void* __libc_realloc(void* p, size_t size);

namespace {

struct TLibrary {
    static void* Alloc(size_t n) { return std::malloc(n); }
    static void Free(void* p) { std::free(p); }
    static void* Realloc(void* p, size_t n) { return std::realloc(p, n); }
};

struct TGlibc {
    static void* Alloc(size_t n) { return __libc_malloc(n); }
    static void Free(void* p) { __libc_free(p); }
    static void* Realloc(void* p, size_t n) { return __libc_realloc(p, n); }
};

#if CVQ_HAVE_MIMALLOC
struct TMimalloc {
    static void* Alloc(size_t n) { return mi_malloc(n); }
    static void Free(void* p) { mi_free(p); }
    static void* Realloc(void* p, size_t n) { return mi_realloc(p, n); }
};
#endif

std::vector<uint32_t> RandomSizes(size_t count, uint32_t low, uint32_t high, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<uint32_t> pick(low, high);
    std::vector<uint32_t> sizes(count);
    for (auto& size : sizes) size = pick(random);
    return sizes;
}

// (a) alloc/free pairs of random sizes 8..1024.
template <class A>
void RandomPairs(benchmark::State& state) {
    std::vector<uint32_t> sizes = RandomSizes(4096, 8, 1024, 1);
    size_t i = 0;
    for (auto _ : state) {
        void* p = A::Alloc(sizes[i++ & 4095]);
        static_cast<char*>(p)[0] = 1;
        benchmark::DoNotOptimize(p);
        A::Free(p);
    }
    state.SetItemsProcessed(state.iterations());
}

// (b) 100 000 live blocks, one replaced at random per iteration.
template <class A>
void WorkingSet(benchmark::State& state) {
    constexpr size_t kLive = 100000;
    std::vector<uint32_t> sizes = RandomSizes(1 << 16, 8, 1024, 2);
    std::vector<uint32_t> victims = RandomSizes(1 << 16, 0, kLive - 1, 3);
    std::vector<void*> live(kLive);
    for (size_t k = 0; k < kLive; ++k) live[k] = A::Alloc(sizes[k & 0xFFFF]);
    // Steady state: the heap has seen replacements before the clock starts.
    size_t i = 0;
    for (; i < 10 * kLive; ++i) {
        size_t k = victims[i & 0xFFFF];
        A::Free(live[k]);
        live[k] = A::Alloc(sizes[(i + 7) & 0xFFFF]);
    }
    for (auto _ : state) {
        size_t k = victims[i & 0xFFFF];
        A::Free(live[k]);
        live[k] = A::Alloc(sizes[++i & 0xFFFF]);
        static_cast<char*>(live[k])[0] = 1;
    }
    for (void* p : live) A::Free(p);
    state.SetItemsProcessed(state.iterations());
}

// (c) a buffer grown by realloc, half again each time, from 64 bytes to 16 MB.
template <class A>
void ReallocGrowth(benchmark::State& state) {
    for (auto _ : state) {
        size_t size = 64;
        char* p = static_cast<char*>(A::Alloc(size));
        p[0] = 1;
        while (size < (16u << 20)) {
            size = std::min<size_t>(size + size / 2, 16u << 20);
            p = static_cast<char*>(A::Realloc(p, size));
            p[size - 1] = 1;
        }
        benchmark::DoNotOptimize(p);
        A::Free(p);
    }
}

// (d) one thread allocates, another frees (every block crosses threads).
template <class A>
void CrossThread(benchmark::State& state) {
    constexpr size_t kRing = 4096;
    constexpr size_t kBatch = 10000;
    std::vector<void*> ring(kRing);
    std::atomic<size_t> produced{0}, consumed{0};
    std::atomic<bool> stop{false};
    std::thread consumer([&] {
        size_t next = 0;
        for (;;) {
            size_t available = produced.load(std::memory_order_acquire);
            if (next == available) {
                if (stop.load(std::memory_order_acquire) &&
                    next == produced.load(std::memory_order_acquire))
                    return;
                std::this_thread::yield();  // the machine may have one free core
                continue;
            }
            for (; next < available; ++next) A::Free(ring[next % kRing]);
            consumed.store(next, std::memory_order_release);
        }
    });
    std::vector<uint32_t> sizes = RandomSizes(4096, 8, 1024, 4);
    size_t count = 0;
    for (auto _ : state) {
        for (size_t b = 0; b < kBatch; ++b) {
            while (count - consumed.load(std::memory_order_acquire) >= kRing)
                std::this_thread::yield();
            void* p = A::Alloc(sizes[count & 4095]);
            static_cast<char*>(p)[0] = 1;
            ring[count % kRing] = p;
            produced.store(++count, std::memory_order_release);
        }
        while (consumed.load(std::memory_order_acquire) != count) std::this_thread::yield();
    }
    stop.store(true, std::memory_order_release);
    consumer.join();
    state.SetItemsProcessed(state.iterations() * kBatch);
}

// Copies between two big blocks of the same allocator (placement of big user data).
template <class A>
void BigCopy(benchmark::State& state) {
    size_t size = state.range(0);
    char* src = static_cast<char*>(A::Alloc(size));
    char* dst = static_cast<char*>(A::Alloc(size));
    std::memset(src, 1, size);
    std::memset(dst, 2, size);
    for (auto _ : state) {
        std::memcpy(dst, src, size);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * size);
    state.counters["dst-src%4K"] =
        double((reinterpret_cast<uintptr_t>(dst) - reinterpret_cast<uintptr_t>(src)) & 4095);
    A::Free(dst);
    A::Free(src);
}

// The memory ratchet: 4000 live blocks of log-uniform sizes 1 B..1 MiB, one at a time
// resized to a new random size, growing and shrinking. Each allocator runs in a child
// process of its own, so that the peak resident memory (reported in MiB beside the live
// data) is its own.
long ResidentKiB(const char* field) {
    FILE* status = std::fopen("/proc/self/status", "r");
    char line[256];
    long value = 0;
    size_t length = std::strlen(field);
    while (status && std::fgets(line, sizeof line, status))
        if (std::strncmp(line, field, length) == 0) value = std::atol(line + length);
    if (status) std::fclose(status);
    return value;
}

template <class A>
void ReallocRatchet(benchmark::State& state) {
    struct TResult {
        double seconds;
        double peakMiB;
        double liveMiB;
    };
    for (auto _ : state) {
        int channel[2];
        if (pipe(channel) != 0) state.SkipWithError("pipe");
        pid_t child = fork();
        if (child == 0) {
            long before = ResidentKiB("VmRSS:");
            auto start = std::chrono::steady_clock::now();
            std::mt19937_64 random(42);
            auto anySize = [&] {
                return size_t(std::exp2(std::uniform_real_distribution<double>(0, 20)(random)));
            };
            std::vector<std::pair<char*, size_t>> blocks(4000);
            for (auto& [p, size] : blocks) {
                size = anySize();
                p = static_cast<char*>(A::Alloc(size));
                std::memset(p, 1, size);
            }
            for (int step = 0; step < 300000; ++step) {
                auto& [p, size] = blocks[random() % blocks.size()];
                size_t wanted = anySize();
                p = static_cast<char*>(A::Realloc(p, wanted));
                if (wanted > size) std::memset(p + size, 2, wanted - size);
                size = wanted;
            }
            size_t live = 0;
            for (auto& block : blocks) live += block.second;
            TResult result{
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                double(ResidentKiB("VmHWM:") - before) / 1024, double(live) / (1 << 20)};
            ssize_t written = write(channel[1], &result, sizeof result);
            _exit(written == sizeof result ? 0 : 1);
        }
        close(channel[1]);
        TResult result{};
        if (read(channel[0], &result, sizeof result) != sizeof result) state.SkipWithError("child");
        close(channel[0]);
        waitpid(child, nullptr, 0);
        state.SetIterationTime(result.seconds);
        state.counters["peak_MiB"] = result.peakMiB;
        state.counters["live_MiB"] = result.liveMiB;
    }
}

// (a) once the application has declared itself single-threaded: "DefaultHeap" has no
// lock from here on, so this runs last.
void RandomPairsSingleThreaded(benchmark::State& state) {
    static InitNewHeap declare(0);
    RandomPairs<TLibrary>(state);
}

}  // namespace

#if CVQ_HAVE_MIMALLOC
#define CVQ_PEERS(name, ...)               \
    BENCHMARK(name<TLibrary>) __VA_ARGS__; \
    BENCHMARK(name<TGlibc>) __VA_ARGS__;   \
    BENCHMARK(name<TMimalloc>) __VA_ARGS__
#else
#define CVQ_PEERS(name, ...)               \
    BENCHMARK(name<TLibrary>) __VA_ARGS__; \
    BENCHMARK(name<TGlibc>) __VA_ARGS__
#endif

CVQ_PEERS(RandomPairs);
CVQ_PEERS(WorkingSet);
CVQ_PEERS(ReallocGrowth, ->Unit(benchmark::kMillisecond));
CVQ_PEERS(CrossThread, ->UseRealTime());
CVQ_PEERS(BigCopy, ->RangeMultiplier(4)->Range(32 << 10, 4 << 20));
CVQ_PEERS(ReallocRatchet, ->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond));
BENCHMARK(RandomPairsSingleThreaded);

BENCHMARK_MAIN();
