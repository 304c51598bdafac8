// The undoable object's bookkeeping at two stack depths, 1 000 and 100 000 mementos:
// adopting with packing (runs of four snapshots of one action shrink to one), the cost
// queries, and an undo followed by a redo. Every operation is meant to take constant
// time whatever the depth, so read the "per_call" figures of the two depths as a ratio
// (near 1). There is no peer: nothing else keeps this history.
#include <commonvcqx/undo/Undoable.h>

#include <benchmark/benchmark.h>

namespace {

class TBenchMemento : public TUndoMemento {
public:
    TBenchMemento(const char* name, int32_t instance, int state, char packable)
        : TUndoMemento(name, instance, packable, state % 7 == 0), m_state(state) {}

    uint32_t GetInvolvedMemory() const override { return 1u << 20; }
    uint32_t GetInvolvedDiskSpace() const override { return 4096; }
    uint32_t GetNumInvolvedFiles() const override { return 1; }
    char IsSameState(const TUndoMemento& other) const override {
        return static_cast<const TBenchMemento&>(other).m_state == m_state;
    }
    char IsDiscardable() const override { return 1; }

    int m_state;
};

class TBenchUndoable : public TUndoable {
public:
    int m_state = 0;

protected:
    TUndoMemento* ApplyMemento(TUndoMemento* memento, char) override {
        auto* m = static_cast<TBenchMemento*>(memento);
        std::swap(m_state, m->m_state);  // the applied memento now holds the state left
        return m;
    }
};

// Snapshots in runs of four of one action: the fifth of each group starts a new run
// and packs the previous one.
void AdoptRuns(TBenchUndoable& object, int count, char packable) {
    const char* const names[] = {"Gain", "Cut", "Fade"};
    for (int i = 0; i < count; ++i)
        object.AdoptMemento(
            new TBenchMemento(names[(i / 4) % 3], i / 4, ++object.m_state, packable));
}

void PerCall(benchmark::State& state, int64_t callsPerIteration) {
    state.counters["per_call"] = benchmark::Counter(
        static_cast<double>(callsPerIteration),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_AdoptWithPacking(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto* object = new TBenchUndoable;
        state.ResumeTiming();
        AdoptRuns(*object, count, 1);
        benchmark::DoNotOptimize(object->GetNumUndoMementos());
        state.PauseTiming();
        delete object;
        state.ResumeTiming();
    }
    PerCall(state, count);
}
BENCHMARK(BM_AdoptWithPacking)->Arg(1000)->Arg(100000);

void BM_CostQueries(benchmark::State& state) {
    TBenchUndoable object;
    AdoptRuns(object, static_cast<int>(state.range(0)), 0);  // nothing packed: full depth
    for (int i = 0; i < state.range(0) / 2; ++i) object.UndoCurrentState();
    for (auto _ : state) {
        benchmark::DoNotOptimize(object.GetInvolvedUndoMemory());
        benchmark::DoNotOptimize(object.GetInvolvedUndoDiskSpace());
        benchmark::DoNotOptimize(object.GetNumInvolvedUndoFiles());
        benchmark::DoNotOptimize(object.HasMajorModification());
    }
    PerCall(state, 4);
}
BENCHMARK(BM_CostQueries)->Arg(1000)->Arg(100000);

void BM_UndoThenRedo(benchmark::State& state) {
    TBenchUndoable object;
    AdoptRuns(object, static_cast<int>(state.range(0)), 0);
    for (auto _ : state) {
        object.UndoCurrentState();
        object.RedoLastUndoneState();
    }
    benchmark::DoNotOptimize(object.GetNumUndoMementos());
    PerCall(state, 2);
}
BENCHMARK(BM_UndoThenRedo)->Arg(1000)->Arg(100000);

}  // namespace

BENCHMARK_MAIN();
