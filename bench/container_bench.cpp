// The containers beside the standard library, measured in the same run; read the
// results as ratios. TStringToLongAutoMap beside std::unordered_map<std::string, int>
// (inserting and looking up a million keys), TArrayBase::Sort beside std::sort on a
// vector of pointers with the same comparison, appending to a TArrayBase (linear
// growth) beside std::vector, TDoubleList::Sort beside std::list::sort on the same
// elements, and TDoubleList::Shuffle beside std::shuffle of a vector.
#include <commonvcqx/containers/ArrayBase.h>
#include <commonvcqx/containers/DoubleList.h>
#include <commonvcqx/containers/StringToLongAutoMap.h>
#include <commonvcqx/geometry/Randomizer.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <list>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr int kCount = 1000000;

// Keys as a program would meet them: identifiers with a running number.
const std::vector<std::string>& StdKeys() {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> k;
        k.reserve(kCount);
        TRandomizer random(7);
        for (int i = 0; i < kCount; ++i)
            k.push_back("item_" + std::to_string(random.Get(1u << 30)) + "_" + std::to_string(i));
        return k;
    }();
    return keys;
}

const std::vector<TString>& LibKeys() {
    static const std::vector<TString> keys = [] {
        std::vector<TString> k;
        k.reserve(kCount);
        for (const std::string& s : StdKeys()) k.emplace_back(s.c_str());
        return k;
    }();
    return keys;
}

void BM_MapInsert_TStringToLongAutoMap(benchmark::State& state) {
    const auto& keys = LibKeys();
    for (auto _ : state) {
        TStringToLongAutoMap map;
        for (int i = 0; i < kCount; ++i) map[keys[size_t(i)]] = i;
        benchmark::DoNotOptimize(map.GetCount());
        state.PauseTiming();  // the teardown is not the insertion
        map.Clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_MapInsert_TStringToLongAutoMap)->Unit(benchmark::kMillisecond);

void BM_MapInsert_StdUnorderedMap(benchmark::State& state) {
    const auto& keys = StdKeys();
    for (auto _ : state) {
        std::unordered_map<std::string, int> map;
        for (int i = 0; i < kCount; ++i) map[keys[size_t(i)]] = i;
        benchmark::DoNotOptimize(map.size());
        state.PauseTiming();
        map.clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_MapInsert_StdUnorderedMap)->Unit(benchmark::kMillisecond);

void BM_MapLookup_TStringToLongAutoMap(benchmark::State& state) {
    const auto& keys = LibKeys();
    TStringToLongAutoMap map;
    for (int i = 0; i < kCount; ++i) map[keys[size_t(i)]] = i;
    // Looked up with texts of their own, as a caller would (no shared representation).
    std::vector<TString> probes;
    probes.reserve(kCount);
    for (const std::string& s : StdKeys()) probes.emplace_back(s.c_str());
    for (auto _ : state) {
        int64_t sum = 0;
        for (int i = 0; i < kCount; ++i) sum += map[probes[size_t(i)]];
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_MapLookup_TStringToLongAutoMap)->Unit(benchmark::kMillisecond);

void BM_MapLookup_StdUnorderedMap(benchmark::State& state) {
    const auto& keys = StdKeys();
    std::unordered_map<std::string, int> map;
    for (int i = 0; i < kCount; ++i) map[keys[size_t(i)]] = i;
    const std::vector<std::string> probes = keys;
    for (auto _ : state) {
        int64_t sum = 0;
        for (int i = 0; i < kCount; ++i) sum += map[probes[size_t(i)]];
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_MapLookup_StdUnorderedMap)->Unit(benchmark::kMillisecond);

class TNumber : public TObject {
public:
    explicit TNumber(uint32_t v) : m_value(v) {}
    int Compare(const TObject& other, int) const override {
        const uint32_t o = static_cast<const TNumber&>(other).m_value;
        return m_value < o ? -1 : (m_value > o ? 1 : 0);
    }
    uint32_t m_value;
};

const std::vector<TObject*>& Shuffled() {
    static const std::vector<TObject*> objects = [] {
        std::vector<TObject*> v;
        v.reserve(kCount);
        TRandomizer random(11);
        for (int i = 0; i < kCount; ++i) v.push_back(new TNumber(random.Get(1u << 31)));
        return v;
    }();
    return objects;
}

void BM_Sort_TArrayBase(benchmark::State& state) {
    const auto& objects = Shuffled();
    TArrayBase array(kCount, 20, 0, nullptr);
    for (auto _ : state) {
        state.PauseTiming();
        array.SetNumBusySlots(0);
        for (TObject* o : objects) array.Add(o);
        state.ResumeTiming();
        array.Sort();
        benchmark::DoNotOptimize(array.First());
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_Sort_TArrayBase)->Unit(benchmark::kMillisecond);

void BM_Sort_StdSortVector(benchmark::State& state) {
    const auto& objects = Shuffled();
    std::vector<TObject*> v;
    for (auto _ : state) {
        state.PauseTiming();
        v = objects;
        state.ResumeTiming();
        std::sort(v.begin(), v.end(),
                  [](const TObject* a, const TObject* b) { return a->Compare(*b, 0) < 0; });
        benchmark::DoNotOptimize(v.front());
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_Sort_StdSortVector)->Unit(benchmark::kMillisecond);

void BM_Append_TArrayBase(benchmark::State& state) {
    TNumber one(1);
    for (auto _ : state) {
        TArrayBase array(20, 20, 0, nullptr);  // grows by 20 slots at a time
        for (int i = 0; i < kCount; ++i) array.Add(&one);
        benchmark::DoNotOptimize(array.Last());
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_Append_TArrayBase)->Unit(benchmark::kMillisecond);

void BM_Append_StdVector(benchmark::State& state) {
    TNumber one(1);
    for (auto _ : state) {
        std::vector<TObject*> v;
        for (int i = 0; i < kCount; ++i) v.push_back(&one);
        benchmark::DoNotOptimize(v.back());
    }
    state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_Append_StdVector)->Unit(benchmark::kMillisecond);

class TListNumber : public TListElement {
public:
    explicit TListNumber(uint32_t v) : m_value(v) {}
    int Compare(const TObject& other, int) const override {
        const uint32_t o = static_cast<const TListNumber&>(other).m_value;
        return m_value < o ? -1 : (m_value > o ? 1 : 0);
    }
    uint32_t m_value;
};

constexpr int kListCount = 100000;

// List elements in a random order, with many equal values (a stable sort must keep
// their order).
const std::vector<TListNumber*>& ListElements() {
    static const std::vector<TListNumber*> elements = [] {
        std::vector<TListNumber*> v;
        v.reserve(kListCount);
        TRandomizer random(13);
        for (int i = 0; i < kListCount; ++i)
            v.push_back(new TListNumber(random.Get(kListCount / 4)));
        return v;
    }();
    return elements;
}

void BM_ListSort_TDoubleList(benchmark::State& state) {
    TDoubleList list(0);
    for (auto _ : state) {
        state.PauseTiming();
        list.DetachAll();
        for (TListNumber* e : ListElements()) list.Append(e);
        state.ResumeTiming();
        list.Sort();
        benchmark::DoNotOptimize(list.GetFirst());
    }
    list.DetachAll();
    state.SetItemsProcessed(state.iterations() * kListCount);
}
BENCHMARK(BM_ListSort_TDoubleList)->Unit(benchmark::kMillisecond);

void BM_ListSort_StdList(benchmark::State& state) {
    std::list<TListNumber*> list;
    for (auto _ : state) {
        state.PauseTiming();
        list.assign(ListElements().begin(), ListElements().end());
        state.ResumeTiming();
        list.sort([](const TListNumber* a, const TListNumber* b) { return a->Compare(*b, 0) < 0; });
        benchmark::DoNotOptimize(list.front());
    }
    state.SetItemsProcessed(state.iterations() * kListCount);
}
BENCHMARK(BM_ListSort_StdList)->Unit(benchmark::kMillisecond);

void BM_ListShuffle_TDoubleList(benchmark::State& state) {
    const int n = int(state.range(0));
    TDoubleList list(0);
    for (int i = 0; i < n; ++i) list.Append(ListElements()[size_t(i)]);
    int seed = 1;
    for (auto _ : state) {
        list.Shuffle(seed++);
        benchmark::DoNotOptimize(list.GetFirst());
    }
    list.DetachAll();
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ListShuffle_TDoubleList)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_ListShuffle_StdShuffleVector(benchmark::State& state) {
    const int n = int(state.range(0));
    std::vector<TListNumber*> v(ListElements().begin(), ListElements().begin() + n);
    std::mt19937 random(1);
    for (auto _ : state) {
        std::shuffle(v.begin(), v.end(), random);
        benchmark::DoNotOptimize(v.front());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ListShuffle_StdShuffleVector)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
