// The randomizer: known values of the minimal standard generator, reproducibility,
// ranges and shuffles.
#include <commonvcqx/geometry/Randomizer.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

TEST(RandomizerTest, MinimalStandardValues) {
    TRandomizer random(1);
    EXPECT_EQ(random.Get(2147483647u), 16807u);
    EXPECT_EQ(random.Get(2147483647u), 282475249u);
    EXPECT_EQ(random.Get(2147483647u), 1622650073u);
    EXPECT_EQ(Compute32bitKey(1), 16807);
    EXPECT_EQ(Compute32bitKey(16807), 282475249);
    EXPECT_EQ(Compute32bitKey(2147483646), 2147466840);  // no overflow at the top
    // The 10 000th state from seed 1 is the published check value.
    int32_t state = 1;
    for (int i = 0; i < 10000; ++i) state = Compute32bitKey(state);
    EXPECT_EQ(state, 1043618065);
}

TEST(RandomizerTest, SameSeedSameSequences) {
    for (int seed : {1, 7, 123456, 2147483646}) {
        TRandomizer a(seed), b(seed);
        for (int i = 0; i < 200; ++i) {
            ASSERT_EQ(a.Get(1000), b.Get(1000)) << seed;
            double x = a.Get();
            ASSERT_EQ(x, b.Get()) << seed;
            ASSERT_GE(x, 0.0);
            ASSERT_LT(x, 1.0);
        }
        TRandomizer copy = a;
        EXPECT_EQ(copy.Get(99999), a.Get(99999));
        a.SetSeed(seed);
        TRandomizer fresh(seed);
        EXPECT_EQ(a.Get(1u << 31), fresh.Get(1u << 31));
    }
    TRandomizer x(5), y(5);
    x.Get();  // the real generator does not move the integer one
    EXPECT_EQ(x.Get(1000000), y.Get(1000000));
}

TEST(RandomizerTest, RangesAndEdgeCases) {
    TRandomizer random(99), twin(99);
    EXPECT_EQ(random.Get(0), 0u);  // does not advance
    EXPECT_EQ(random.Get(1000), twin.Get(1000));
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(random.GetInRange(5, 5), 5u);
        uint32_t die = random.GetInRange(1, 6);
        EXPECT_GE(die, 1u);
        EXPECT_LE(die, 6u);
        EXPECT_LT(random.GetLog(10), 10u);
        EXPECT_LT(random(3), 3u);
    }
    EXPECT_FALSE(random.TrueEvery(0, 10));
    EXPECT_TRUE(random.TrueEvery(10, 10));
    EXPECT_TRUE(random.TrueEvery(1));
    int hits = 0;
    for (int i = 0; i < 10000; ++i) hits += random.TrueEvery(10);
    EXPECT_GT(hits, 800);
    EXPECT_LT(hits, 1200);

    TRandomizer clock;  // seeded from the tick count: still in the generator's range
    uint32_t value = clock.Get(2147483647u);
    EXPECT_GE(value, 1u);
    TRandomizer negative(-5);
    EXPECT_GE(negative.Get(2147483647u), 1u);
}

TEST(RandomizerTest, ShufflesArePermutations) {
    int single[1] = {42};
    TRandomizer random(3);
    random.FillArrayWithUniqueUnsortedIndexes(single, 1);
    EXPECT_EQ(single[0], 0);
    random.FillArrayWithUniqueUnsortedIndexes(nullptr, 5);  // ignored
    for (int n : {2, 3, 10, 257}) {
        std::vector<int> out(n), again(n);
        TRandomizer a(n), b(n);
        a.FillArrayWithUniqueUnsortedIndexes(out.data(), n);
        b.FillArrayWithUniqueUnsortedIndexes(again.data(), n);
        EXPECT_EQ(out, again);
        std::vector<int> sorted = out;
        std::sort(sorted.begin(), sorted.end());
        for (int i = 0; i < n; ++i) ASSERT_EQ(sorted[i], i);
    }
    // Seed 1, n = 3: draws 16807 % 3 = 1, then 282475249 % 2 = 1.
    int three[3];
    TRandomizer one(1);
    one.FillArrayWithUniqueUnsortedIndexes(three, 3);
    EXPECT_EQ(std::vector<int>(three, three + 3), (std::vector<int>{0, 2, 1}));
}
