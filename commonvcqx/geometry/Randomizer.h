// commonvcqx/geometry/Randomizer.h
//
// TRandomizer: the library's reproducible pseudo-random source. A positive seed always
// yields the same sequence; a seed of 0 or less takes one from the tick count. Integer
// draws use the Park-Miller minimal standard generator; real numbers come from a
// separate generator, so drawing one kind does not change the other.
//
//   TRandomizer random(42);
//   uint32_t die = random.GetInRange(1, 6);
//   int order[10];
//   random.FillArrayWithUniqueUnsortedIndexes(order, 10);   // a permutation of 0..9
#pragma once

#include <cstdint>

class TRandomizer {
public:
    explicit TRandomizer(int seed = 0) { SetSeed(seed); }

    void SetSeed(int seed);

    /// A value below n (0 for n = 0, which does not advance the generator).
    uint32_t Get(uint32_t n);
    uint32_t operator()(uint32_t n) { return Get(n); }
    /// A value from lo to hi, both included.
    uint32_t GetInRange(uint32_t lo, uint32_t hi) { return lo + Get(hi - lo + 1); }
    /// A value below n, small values more likely.
    uint32_t GetLog(uint32_t n) { return Get(Get(n) + 1); }
    /// True about once in n calls.
    char TrueEvery(uint32_t n) { return Get(n) == 0; }
    /// True about k times in n calls.
    char TrueEvery(uint32_t k, uint32_t n) { return Get(n) < k; }
    /// A real number in [0, 1).
    double Get();
    /// Fills out[0..n-1] with a shuffled permutation of 0..n-1.
    void FillArrayWithUniqueUnsortedIndexes(int* out, int n);

private:
    double m_fraction;
    int32_t m_state;
};

/// One step of TRandomizer's integer generator applied to `value`.
int32_t Compute32bitKey(int32_t value);
