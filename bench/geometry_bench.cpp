// Rectangles and bit helpers beside their peers. TRect's intersection, bounding union
// and subtraction against pixman's 32-bit regions (the same operations on one-box
// regions, which is what pixman does for a single rectangle; its union is the exact
// region, whose extents are TRect's bounding rectangle), and Log2 and FindNumBits
// against <bit>. Each iteration takes the next of 1024 random pairs of overlapping
// or disjoint rectangles.
#include <commonvcqx/geometry/NumericFunctions.h>
#include <commonvcqx/geometry/Randomizer.h>
#include <commonvcqx/geometry/Rect.h>

#include <benchmark/benchmark.h>

#include <bit>
#include <cstdint>
#include <vector>

#if CVQ_HAVE_PIXMAN
#include <pixman.h>
#endif

namespace {

constexpr size_t kPairs = 1024;  // a power of two: the index wraps with a mask

struct TPairs {
    std::vector<TRect> first, second;
    std::vector<uint32_t> words;
};

const TPairs& Pairs() {
    static const TPairs pairs = [] {
        TPairs made;
        TRandomizer random(2024);
        auto draw = [&] {
            const int32_t x = int32_t(random.Get(1000)), y = int32_t(random.Get(1000));
            return TRect(x, y, TSize(1 + int32_t(random.Get(400)), 1 + int32_t(random.Get(400))));
        };
        for (size_t i = 0; i < kPairs; ++i) {
            made.first.push_back(draw());
            made.second.push_back(draw());
            // Powers of two and their neighbours, and plain random words.
            const uint32_t power = 1u << random.Get(32);
            made.words.push_back(i % 2 ? power : random.Get(0xFFFFFFFFu) ^ (power + 1));
        }
        return made;
    }();
    return pairs;
}

void BM_RectIntersect(benchmark::State& state) {
    const TPairs& pairs = Pairs();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pairs.first[i] & pairs.second[i]);
        i = (i + 1) & (kPairs - 1);
    }
}
BENCHMARK(BM_RectIntersect);

void BM_RectUnion(benchmark::State& state) {
    const TPairs& pairs = Pairs();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(pairs.first[i] | pairs.second[i]);
        i = (i + 1) & (kPairs - 1);
    }
}
BENCHMARK(BM_RectUnion);

void BM_RectSubtract(benchmark::State& state) {
    const TPairs& pairs = Pairs();
    size_t i = 0;
    TRect pieces[4];
    for (auto _ : state) {
        benchmark::DoNotOptimize(pairs.first[i].Subtract(pairs.second[i], pieces));
        benchmark::DoNotOptimize(pieces);
        i = (i + 1) & (kPairs - 1);
    }
}
BENCHMARK(BM_RectSubtract);

#if CVQ_HAVE_PIXMAN

// The pairs as one-box regions, made once, and a result region pixman reuses.
class TPixmanPairs {
public:
    TPixmanPairs() : m_first(kPairs), m_second(kPairs) {
        const TPairs& pairs = Pairs();
        for (size_t i = 0; i < kPairs; ++i) {
            Init(&m_first[i], pairs.first[i]);
            Init(&m_second[i], pairs.second[i]);
        }
        pixman_region32_init(&m_result);
    }
    ~TPixmanPairs() {
        for (size_t i = 0; i < kPairs; ++i) {
            pixman_region32_fini(&m_first[i]);
            pixman_region32_fini(&m_second[i]);
        }
        pixman_region32_fini(&m_result);
    }
    pixman_region32_t* First(size_t i) { return &m_first[i]; }
    pixman_region32_t* Second(size_t i) { return &m_second[i]; }
    pixman_region32_t* Result() { return &m_result; }

private:
    static void Init(pixman_region32_t* region, const TRect& r) {
        pixman_region32_init_rect(region, r.Left(), r.Top(), uint32_t(r.Width()),
                                  uint32_t(r.Height()));
    }

    std::vector<pixman_region32_t> m_first, m_second;
    pixman_region32_t m_result;
};

void BM_PixmanIntersect(benchmark::State& state) {
    TPixmanPairs pairs;
    size_t i = 0;
    for (auto _ : state) {
        pixman_region32_intersect(pairs.Result(), pairs.First(i), pairs.Second(i));
        benchmark::DoNotOptimize(pairs.Result()->extents);
        i = (i + 1) & (kPairs - 1);
    }
}
BENCHMARK(BM_PixmanIntersect);

void BM_PixmanUnion(benchmark::State& state) {
    TPixmanPairs pairs;
    size_t i = 0;
    for (auto _ : state) {
        pixman_region32_union(pairs.Result(), pairs.First(i), pairs.Second(i));
        benchmark::DoNotOptimize(pairs.Result()->extents);
        i = (i + 1) & (kPairs - 1);
    }
}
BENCHMARK(BM_PixmanUnion);

void BM_PixmanSubtract(benchmark::State& state) {
    TPixmanPairs pairs;
    size_t i = 0;
    for (auto _ : state) {
        pixman_region32_subtract(pairs.Result(), pairs.First(i), pairs.Second(i));
        int count = 0;
        benchmark::DoNotOptimize(pixman_region32_rectangles(pairs.Result(), &count));
        benchmark::DoNotOptimize(count);
        i = (i + 1) & (kPairs - 1);
    }
}
BENCHMARK(BM_PixmanSubtract);

#endif  // CVQ_HAVE_PIXMAN

void BM_Log2(benchmark::State& state) {
    const std::vector<uint32_t>& words = Pairs().words;
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Log2(words[i]));
        i = (i + 1) & (kPairs - 1);
    }
}
BENCHMARK(BM_Log2);

void BM_StdHasSingleBit(benchmark::State& state) {
    const std::vector<uint32_t>& words = Pairs().words;
    size_t i = 0;
    for (auto _ : state) {
        const uint32_t word = words[i];
        benchmark::DoNotOptimize(std::has_single_bit(word) ? std::countr_zero(word) : -1);
        i = (i + 1) & (kPairs - 1);
    }
}
BENCHMARK(BM_StdHasSingleBit);

void BM_FindNumBits(benchmark::State& state) {
    const std::vector<uint32_t>& words = Pairs().words;
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FindNumBits(int32_t(words[i])));
        i = (i + 1) & (kPairs - 1);
    }
}
BENCHMARK(BM_FindNumBits);

void BM_StdPopcount(benchmark::State& state) {
    const std::vector<uint32_t>& words = Pairs().words;
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::popcount(words[i]));
        i = (i + 1) & (kPairs - 1);
    }
}
BENCHMARK(BM_StdPopcount);

}  // namespace

BENCHMARK_MAIN();
