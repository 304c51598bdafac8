// NH_Heap: size classes, block kinds, big chunks, page sets, editing helpers, threads.
#include <commonvcqx/memory/AllocatorHooks.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/memory/internal/HeapInternals.h>
#include <commonvcqx/platform/internal/Clocks.h>
#include <commonvcqx/platform/internal/FailureSeams.h>

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#if defined(__SANITIZE_THREAD__)
#define CVQ_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define CVQ_UNDER_TSAN 1
#endif
#endif

namespace {

bool Aligned16(const void* p) {
    return (reinterpret_cast<uintptr_t>(p) & 15) == 0;
}
bool IsAlternative(const void* p) {
    return static_cast<const uint8_t*>(p)[-1] & 1;
}

// Fills a block with a pattern derived from its address and size.
void Stamp(void* p, size_t size) {
    auto* bytes = static_cast<unsigned char*>(p);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<unsigned char>((i * 7 + size) ^ 0x5A);
}
bool StampIntact(const void* p, size_t size) {
    auto* bytes = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < size; ++i)
        if (bytes[i] != static_cast<unsigned char>((i * 7 + size) ^ 0x5A)) return false;
    return true;
}

size_t ResidentBytes() {
    FILE* statm = std::fopen("/proc/self/statm", "r");
    unsigned long pages = 0, resident = 0;
    if (!statm) return 0;
    if (std::fscanf(statm, "%lu %lu", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
    return resident * size_t(sysconf(_SC_PAGESIZE));
}

}  // namespace

TEST(HeapTest, SizeClassesFollowTheTableRule) {
    // The 32-bit table: from 16, s + max(8, floor(s/20) rounded up to 8), 52 entries.
    std::vector<size_t> original = {16};
    while (original.size() < 52) {
        size_t s = original.back();
        size_t step = std::max<size_t>(8, (s / 20 + 7) & ~size_t(7));
        if (s + step > 1024) break;
        original.push_back(s + step);
    }
    if (original.back() < 1024) original.push_back(1024);
    ASSERT_EQ(original.size(), 52u);
    EXPECT_EQ(original[21], 184u);
    EXPECT_EQ(original[46], 792u);
    EXPECT_EQ(original[51], 1024u);
    std::vector<size_t> expected;
    for (size_t s : original) {
        size_t rounded = std::max<size_t>(32, (s + 15) & ~size_t(15));
        if (expected.empty() || expected.back() != rounded) expected.push_back(rounded);
    }
    ASSERT_EQ(expected.size(), 41u);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(cvq::detail::kClassSizes[i], expected[i]);
    for (size_t n = 0; n <= 1024; ++n) {
        int cls = cvq::detail::kSizeToClass[n];
        EXPECT_GE(cvq::detail::kClassSizes[cls], n);
        if (cls > 0) {
            EXPECT_LT(cvq::detail::kClassSizes[cls - 1], n);
        }
    }
}

TEST(HeapTest, BlocksAreAlignedAndKnowTheirSize) {
    NH_Heap heap(NH_AHeap::kMultithreaded);
    struct Case {
        size_t size;
        bool alternative;
    } cases[] = {{0, false},    {1, false},     {15, false},     {16, false},          {24, false},
                 {1000, false}, {1016, false},  {1017, true},    {1024, true},         {5000, true},
                 {65536, true}, {100000, true}, {1 << 21, true}, {(1 << 24) + 3, true}};
    std::vector<void*> blocks;
    for (const Case& c : cases) {
        void* p = heap.AllocMem(c.size);
        ASSERT_NE(p, nullptr) << c.size;
        EXPECT_TRUE(Aligned16(p)) << c.size;
        EXPECT_EQ(NH_Heap::GetBlockSize(p), c.size);
        EXPECT_EQ(IsAlternative(p), c.alternative) << c.size;
        EXPECT_TRUE(IsDynamicMemory(p));
        Stamp(p, c.size);
        blocks.push_back(p);
    }
    for (size_t i = 0; i < blocks.size(); ++i) EXPECT_TRUE(StampIntact(blocks[i], cases[i].size));
    for (void* p : blocks) NH_Heap::FreeMem(p);
    NH_Heap::FreeMem(nullptr);
}

TEST(HeapTest, SmallBlocksReallocInPlaceWithinTheirClass) {
    NH_Heap heap(0);
    char* p = static_cast<char*>(heap.AllocMem(100));  // class 112
    Stamp(p, 100);
    EXPECT_EQ(heap.Realloc(p, 50, 0), p);  // shrinking never moves
    EXPECT_EQ(NH_Heap::GetBlockSize(p), 50u);
    EXPECT_EQ(heap.Realloc(p, 104, 1), p);  // 104 + 8 still fits 112
    EXPECT_TRUE(IsMemoryFilledWith(p + 50, 54, 0));
    EXPECT_TRUE(StampIntact(p, 0) && std::memcmp(p, p, 50) == 0);
    std::vector<unsigned char> before(p, p + 50);
    char* moved = static_cast<char*>(heap.Realloc(p, 105, 1));
    EXPECT_NE(moved, p);
    EXPECT_EQ(std::memcmp(moved, before.data(), 50), 0);
    EXPECT_TRUE(IsMemoryFilledWith(moved + 50, 55, 0));
    // The old block went back to its class: the next request of that class gets it.
    EXPECT_EQ(heap.AllocMem(100), p);
}

TEST(HeapTest, BigChunksSplitCoalesceAndGrowInPlace) {
    NH_Heap heap(0);
    char* a = static_cast<char*>(heap.AllocMem(5000));
    char* b = static_cast<char*>(heap.AllocMem(5000));
    char* c = static_cast<char*>(heap.AllocMem(5000));
    EXPECT_EQ(b - a, 5120);  // 5000 + 48 header, + chunk tags, rounded to 64
    EXPECT_EQ(c - b, 5120);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 64, 0u);
    NH_Heap::FreeMem(a);
    NH_Heap::FreeMem(b);
    // a and b merged: a request needing both fits at a.
    char* ab = static_cast<char*>(heap.AllocMem(10000));
    EXPECT_EQ(ab, a);

    // A block followed by a free chunk absorbs it, then grows at the committed end.
    NH_Heap fresh(0);
    char* p = static_cast<char*>(fresh.AllocMem(2000));
    Stamp(p, 2000);
    EXPECT_EQ(fresh.Realloc(p, 3000, 0), p);
    EXPECT_EQ(fresh.Realloc(p, 400000, 0), p);
    EXPECT_TRUE(StampIntact(p, 2000));
    // Shrinking splits the excess off; the next request is served from it.
    EXPECT_EQ(fresh.Realloc(p, 2000, 0), p);
    char* q = static_cast<char*>(fresh.AllocMem(300000));
    EXPECT_GT(q, p);
    EXPECT_LT(q, p + 400000);
    // Beyond the page set's reservation the block moves, contents kept.
    char* r = static_cast<char*>(fresh.Realloc(p, 3 << 20, 1));
    EXPECT_NE(r, p);
    EXPECT_TRUE(StampIntact(r, 2000));
    EXPECT_TRUE(IsMemoryFilledWith(r + 2000, (3 << 20) - 2000, 0));
}

TEST(HeapTest, LoneBigBlockMovesWithItsPagesAndKeepsEverything) {
    NH_Heap heap(0);
    char* p = static_cast<char*>(heap.AllocMem(2000));
    Stamp(p, 2000);
    size_t size = 2000;
    for (size_t next : {size_t(900000), size_t(5) << 20, size_t(13) << 20}) {
        char* grown = static_cast<char*>(heap.Realloc(p, next, 1));
        ASSERT_NE(grown, nullptr);
        EXPECT_TRUE(StampIntact(grown, 2000));
        EXPECT_TRUE(IsMemoryFilledWith(grown + size, next - size, 0)) << next;
        EXPECT_EQ(NH_Heap::GetBlockSize(grown), next);
        std::memset(grown + size, 0x77, next - size);
        p = grown;
        size = next;
    }
    // The heap's lists followed the move: other blocks come and go, and one walk sees
    // exactly the one big block.
    std::vector<void*> others;
    for (int i = 0; i < 20; ++i) others.push_back(heap.AllocMem(3000 + i * 1000));
    for (void* q : others) NH_Heap::FreeMem(q);
    int count = 0;
    heap.ForEach([](void*, void* user) { ++*static_cast<int*>(user); }, &count);
    EXPECT_EQ(count, 1);
    // When the new reservation cannot be had, the block is copied instead.
    cvq::platform::FailNthOperation(cvq::platform::EFailureSeam::Reserve, 1, ENOMEM);
    char* copied = static_cast<char*>(heap.Realloc(p, size + (8 << 20), 0));
    cvq::platform::DisarmFailures();
    ASSERT_NE(copied, nullptr);
    EXPECT_TRUE(StampIntact(copied, 2000));
    EXPECT_TRUE(IsMemoryFilledWith(copied + 900000, size - 900000, 0x77));
    NH_Heap::FreeMem(copied);
    EXPECT_FALSE(IsDynamicMemory(copied));
}

TEST(HeapTest, EmptyPageSetsGoBackToTheSystem) {
    NH_Heap heap(0);
    std::vector<void*> blocks;
    for (int i = 0; i < 3000; ++i) blocks.push_back(heap.AllocMem(500));
    void* first = blocks.front();
    void* last = blocks.back();
    for (void* p : blocks) NH_Heap::FreeMem(p);
    EXPECT_FALSE(IsDynamicMemory(first));  // an old page set: released
    EXPECT_TRUE(IsDynamicMemory(last));    // the one being carved stays

    // Big page sets: released when empty, except a small newest one.
    void* huge = heap.AllocMem(3 << 20);
    void* small = heap.AllocMem(2000);
    NH_Heap::FreeMem(small);
    EXPECT_TRUE(IsDynamicMemory(small));
    NH_Heap::FreeMem(huge);
    EXPECT_FALSE(IsDynamicMemory(huge));
}

// Emptied page sets wait for reuse; those idle for a second are lent to the system.
// Forcing the system to take the lent pages back, before the sets are reused (their
// headers then read as zero) and after (what was written since must stay), must cost no
// block its bytes.
TEST(HeapTest, IdlePageSetsLentToTheSystemComeBackWhole) {
    static uint32_t ticks = 0;
    static const cvq::platform::TClockSource clock{[] { return int64_t(ticks) * 1000000; },
                                                   [] { return ticks; }, [] { return ticks; }};
    struct TClockGuard {
        TClockGuard() { cvq::platform::SetClockSource(&clock); }
        ~TClockGuard() { cvq::platform::SetClockSource(nullptr); }
    } clockGuard;
    auto pageOut = [](const std::vector<void*>& blocks) {
        std::vector<uintptr_t> sets;
        for (void* p : blocks) sets.push_back(reinterpret_cast<uintptr_t>(p) & ~uintptr_t(0xFFFF));
        std::sort(sets.begin(), sets.end());
        sets.erase(std::unique(sets.begin(), sets.end()), sets.end());
        for (uintptr_t set : sets)
            if (madvise(reinterpret_cast<void*>(set), 0x10000, MADV_PAGEOUT) != 0) return false;
        return true;
    };
    NH_Heap heap(0);
    auto idleSecond = [&heap] {  // a second passes, then a page set comes and goes
        ticks += 1001;
        std::vector<void*> blocks;
        for (int i = 0; i < 300; ++i) blocks.push_back(heap.AllocMem(500));
        for (void* p : blocks) NH_Heap::FreeMem(p);
    };
    auto sizeOf = [](size_t i) { return 40 + i % 200; };
    std::vector<void*> blocks;
    for (int round = 0; round < 3; ++round) {
        for (size_t i = 0; i < 60000; ++i) {  // about 100 page sets
            blocks.push_back(heap.AllocMem(sizeOf(i)));
            Stamp(blocks.back(), sizeOf(i));
        }
        if (!pageOut(blocks)) GTEST_SKIP() << "the system cannot be made to take pages back";
        for (size_t i = 0; i < blocks.size(); ++i)
            ASSERT_TRUE(StampIntact(blocks[i], sizeOf(i))) << "round " << round << " block " << i;
        for (void* p : blocks) NH_Heap::FreeMem(p);
        idleSecond();  // ends the interval in which the sets were freed
        idleSecond();  // they stayed idle through a whole one: lent
        ASSERT_TRUE(pageOut(blocks));
        size_t dropped = 0;  // the freed blocks' pages still belong to the heap
        for (size_t i = 0; i < blocks.size(); ++i) {
            const size_t size = sizeOf(i);  // its last byte lies past the free-list links
            const auto stamped = static_cast<unsigned char>(((size - 1) * 7 + size) ^ 0x5A);
            dropped += stamped != 0 && static_cast<const unsigned char*>(blocks[i])[size - 1] == 0;
        }
        EXPECT_GT(dropped, blocks.size() / 4) << "round " << round << ": idle sets not lent";
        blocks.clear();
    }
}

TEST(HeapTest, BlocksThatGrowAndShrinkAtRandomKeepTheFootprintNearTheLiveBytes) {
    // Blocks of log-uniform sizes, each resized at random up and down: the free space
    // left between blocks must be reused or given back, not pile up as resident memory.
#if CVQ_UNDER_TSAN
    GTEST_SKIP() << "the thread sanitizer's shadow of every touched page counts as resident";
#endif
    NH_Heap heap(0);
    std::mt19937_64 random(7);
    auto anySize = [&] {
        return size_t(std::exp2(std::uniform_real_distribution<double>(10, 20)(random)));
    };
    std::vector<std::pair<char*, size_t>> blocks(300);
    size_t before = ResidentBytes();
    size_t peak = 0, live = 0;
    for (auto& [p, size] : blocks) {
        size = anySize();
        p = static_cast<char*>(heap.AllocMem(size));
        std::memset(p, 1, size);
        live += size;
    }
    for (int step = 0; step < 8000; ++step) {
        auto& [p, size] = blocks[random() % blocks.size()];
        size_t wanted = anySize();
        p = static_cast<char*>(heap.Realloc(p, wanted, 0));
        ASSERT_NE(p, nullptr);
        if (wanted > size) std::memset(p + size, 2, wanted - size);
        live += wanted;
        live -= size;
        size = wanted;
        if (step % 1000 == 0) peak = std::max(peak, ResidentBytes());
    }
    EXPECT_LT(peak - before, live + live / 2 + (8 << 20)) << "live " << live;
}

TEST(HeapTest, ClearReleasesEverything) {
    NH_Heap heap(NH_AHeap::kMultithreaded);
    std::vector<void*> blocks;
    for (size_t size : {10, 500, 1016, 1017, 70000, 2000000}) blocks.push_back(heap.AllocMem(size));
    blocks.push_back(heap.AllocWithReserve(1 << 20, 100, 0));
    int count = 0;
    heap.ForEach([](void*, void* user) { ++*static_cast<int*>(user); }, &count);
    EXPECT_EQ(count, 7);
    heap.Clear();
    count = 0;
    heap.ForEach([](void*, void* user) { ++*static_cast<int*>(user); }, &count);
    EXPECT_EQ(count, 0);
    for (void* p : blocks) EXPECT_FALSE(IsDynamicMemory(p));
    void* again = heap.AllocMem(100);
    ASSERT_NE(again, nullptr);
    NH_Heap::FreeMem(again);
}

TEST(HeapTest, ForEachAndFindFirstThatVisitInHeapOrder) {
    NH_Heap heap(0);
    void* a = heap.AllocMem(10);
    void* b = heap.AllocMem(20);
    void* c = heap.AllocMem(30);
    void* x = heap.AllocMem(2000);
    void* y = heap.AllocMem(3000);
    NH_Heap::FreeMem(heap.AllocMem(40));  // a freed block is not visited
    std::vector<void*> seen;
    heap.ForEach(
        [](void* block, void* user) { static_cast<std::vector<void*>*>(user)->push_back(block); },
        &seen);
    EXPECT_EQ(seen, (std::vector<void*>{a, b, c, y, x}));
    size_t wanted = 20;
    EXPECT_EQ(heap.FindFirstThat(
                  [](void* block, void* user) {
                      return int(NH_Heap::GetBlockSize(block) == *static_cast<size_t*>(user));
                  },
                  &wanted),
              b);
    wanted = 7;
    EXPECT_EQ(heap.FindFirstThat(
                  [](void* block, void* user) {
                      return int(NH_Heap::GetBlockSize(block) == *static_cast<size_t*>(user));
                  },
                  &wanted),
              nullptr);
}

TEST(HeapTest, FlagsZeroFillAndBypass) {
    NH_Heap zeroing(NH_AHeap::kZeroFill);
    for (size_t size : {24, 24, 5000, 5000}) {
        char* p = static_cast<char*>(zeroing.AllocMem(size));
        EXPECT_TRUE(IsMemoryFilledWith(p, size, 0)) << size;
        std::memset(p, 0xEE, size);
        NH_Heap::FreeMem(p);  // reused by the next round: zeroed again
    }
    NH_Heap bypassing(NH_AHeap::kBypassFree);
    char* kept = bypassing.StoreString("still here");
    NH_Heap::FreeMem(kept);
    EXPECT_STREQ(kept, "still here");
    EXPECT_NE(bypassing.AllocMem(11), kept);

    NH_Heap later(0);
    char* big = static_cast<char*>(later.AllocMem(3000));
    std::memset(big, 'b', 3000);
    BypassFreeing(&later);
    NH_Heap::FreeMem(big);
    EXPECT_TRUE(IsMemoryFilledWith(big, 3000, 'b'));
}

TEST(HeapTest, EditingHelpers) {
    NH_Heap heap(0);
    auto make = [&](const char* text) {
        return static_cast<char*>(heap.StoreData(text, std::strlen(text)));
    };
    auto text = [](void* p) {
        return std::string(static_cast<char*>(p), NH_Heap::GetBlockSize(p));
    };
    struct Case {
        const char* name;
        std::string result;
        std::string expected;
    };
    char* self = make("abcdef");
    std::vector<Case> cases = {
        {"cut middle", text(heap.Cut(make("abcdef"), 1, 2)), "adef"},
        {"cut none", text(heap.Cut(make("abc"), 1, 0)), "abc"},
        {"cut past end", text(heap.Cut(make("abcdef"), 4, 100)), "abcd"},
        {"insert", text(heap.Insert(make("abef"), 2, "cd", 2)), "abcdef"},
        {"insert zeros", text(heap.Insert(make("ab"), 1, nullptr, 2)), std::string("a\0\0b", 4)},
        {"append", text(heap.Append(make("abc"), "def", 3)), "abcdef"},
        {"prepend", text(heap.Prepend(make("def"), "abc", 3)), "abcdef"},
        {"insert own tail", text(heap.Insert(self, 1, self + 3, 3)), "adefbcdef"},
        {"trim", text(heap.Trim(make("abcdef"), 2, 3)), "cde"},
        {"expand", text(heap.ExpandBy(make("ab"), 2, 1)), std::string("ab\0\0", 4)},
        {"clone", text(heap.Clone(make("xyz"))), "xyz"},
        {"store string", heap.StoreString("hello", 3), "hel"},
        {"store whole", heap.StoreString("hello"), "hello"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.result, c.expected) << c.name;
    // Growing across the small/alternative border keeps the text.
    std::string longText(1500, 'q');
    char* grown = make("start");
    grown = static_cast<char*>(heap.Append(grown, longText.data(), longText.size()));
    EXPECT_EQ(text(grown), "start" + longText);
}

TEST(HeapTest, ReservedBlocksGrowInPlaceUpToTheirReservation) {
    NH_Heap heap(0);
    char* p = static_cast<char*>(heap.AllocWithReserve(1 << 20, 100, 1));
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(Aligned16(p));
    EXPECT_TRUE(IsAlternative(p));
    Stamp(p, 100);
    std::vector<char> before(p, p + 100);
    EXPECT_EQ(heap.Realloc(p, 900000, 1), p);
    EXPECT_TRUE(StampIntact(p, 100));
    EXPECT_TRUE(IsMemoryFilledWith(p + 100, 900000 - 100, 0));
    EXPECT_EQ(heap.Realloc(p, 2 << 20, 0), nullptr);  // a reservation never moves
    EXPECT_EQ(NH_Heap::GetBlockSize(p), 900000u);
    EXPECT_EQ(heap.Realloc(p, 10, 0), p);
    EXPECT_EQ(std::memcmp(p, before.data(), 10), 0);
    NH_Heap::FreeMem(p);
    EXPECT_FALSE(IsDynamicMemory(p));
}

TEST(HeapTest, AlignedBlocks) {
    NH_Heap heap(0);
    // Up to huge-page alignments, which the pages of a reservation serve as well.
    for (size_t alignment = 4; alignment <= (size_t(4) << 20); alignment *= 4) {
        for (size_t size : {0, 1, 100, 5000}) {
            void* p = heap.AllocAligned(alignment, size, 1);
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % std::max<size_t>(alignment, 16), 0u);
            EXPECT_EQ(NH_Heap::GetBlockSize(p), size);
            EXPECT_TRUE(IsMemoryFilledWith(p, size, 0));
            // Growth moves an over-aligned block; its content survives.
            std::memset(p, 'x', size);
            char* grown = static_cast<char*>(heap.Realloc(p, size + 3000, 0));
            EXPECT_TRUE(IsMemoryFilledWith(grown, size, 'x'));
            NH_Heap::FreeMem(grown);
        }
    }
    EXPECT_EQ(heap.AllocAligned(48, 10, 0), nullptr);  // not a power of two
}

NH_Heap staticHeap(NH_AHeap::kMultithreaded);

// A static heap used by an earlier static object, before its own constructor runs. The
// object has no dynamic type yet, which the sanitizer's type check would report.
#if defined(__clang__)
#define CVQ_BEFORE_CONSTRUCTION __attribute__((no_sanitize("vptr")))
#else
#define CVQ_BEFORE_CONSTRUCTION
#endif
extern NH_Heap lateHeap;
struct TEarlyUser {
    char* block;
    void* big;
    CVQ_BEFORE_CONSTRUCTION TEarlyUser() {
        block = lateHeap.StoreString("made before the heap's constructor");
        // A big block freed next to one kept leaves a free chunk the constructor must
        // file again, as its bins start empty.
        void* freed = lateHeap.AllocMem(20000);
        big = lateHeap.AllocMem(20000);
        NH_Heap::FreeMem(freed);
    }
} earlyUser;
NH_Heap lateHeap(0);

TEST(HeapTest, StaticHeapWorksBeforeItsConstructor) {
    // Lazily set up as multithreaded and zero-filling; the constructor then dropped
    // what its flags do not ask for and kept the block.
    EXPECT_STREQ(earlyUser.block, "made before the heap's constructor");
    EXPECT_TRUE(lateHeap.GetFlags() & NH_AHeap::kStaticHeap);
    EXPECT_FALSE(lateHeap.GetFlags() & NH_AHeap::kZeroFill);
    EXPECT_FALSE(lateHeap.IsMultithreaded());
    std::vector<void*> seen;
    lateHeap.ForEach(
        [](void* b, void* user) { static_cast<std::vector<void*>*>(user)->push_back(b); }, &seen);
    EXPECT_EQ(seen, (std::vector<void*>{earlyUser.block, earlyUser.big}));
    void* reused = lateHeap.AllocMem(20000);
    EXPECT_LT(reused, earlyUser.big);  // the free chunk before it, found in its bin
    NH_Heap::FreeMem(reused);
    NH_Heap::FreeMem(earlyUser.big);
    NH_Heap::FreeMem(earlyUser.block);
}

TEST(HeapTest, HeapObjectsKnowWhereTheyLive) {
    EXPECT_TRUE(staticHeap.GetFlags() & NH_AHeap::kStaticHeap);
    NH_Heap onStack(0);
    EXPECT_FALSE(onStack.GetFlags() & NH_AHeap::kStaticHeap);
    NH_Heap* newed = new NH_Heap(NH_AHeap::kMultithreaded);
    EXPECT_TRUE(IsDynamicMemory(newed));
    EXPECT_FALSE(newed->GetFlags() & NH_AHeap::kStaticHeap);
    void* block = newed->AllocMem(100);
    void* big = newed->AllocMem(100000);
    delete newed;  // cleared
    EXPECT_FALSE(IsDynamicMemory(block));
    EXPECT_FALSE(IsDynamicMemory(big));
}

TEST(HeapTest, ThreadsShareAHeapWithCrossThreadFrees) {
    NH_Heap heap(NH_AHeap::kMultithreaded);
    constexpr int kThreads = 4;
    constexpr int kRounds = 20000;
    std::mutex exchangeLock;
    std::vector<std::pair<void*, size_t>> exchange;
    std::atomic<int> corrupt{0};
    auto worker = [&](unsigned seed) {
        std::mt19937 random(seed);
        std::vector<std::pair<void*, size_t>> mine;
        for (int i = 0; i < kRounds; ++i) {
            size_t size = random() % 8 == 0 ? random() % 20000 : random() % 1100;
            void* p = random() % 16 == 0 ? heap.Realloc(heap.AllocMem(size / 2), size, 0)
                                         : heap.AllocMem(size);
            Stamp(p, size);
            mine.emplace_back(p, size);
            if (mine.size() > 200) {
                auto victim = mine[random() % mine.size()];
                std::swap(mine[random() % mine.size()], mine.back());
                victim = mine.back();
                mine.pop_back();
                std::lock_guard<std::mutex> guard(exchangeLock);
                exchange.push_back(victim);  // freed by whichever thread comes next
                if (exchange.size() > 100) {
                    for (auto [q, n] : exchange) {
                        if (!StampIntact(q, n)) ++corrupt;
                        NH_Heap::FreeMem(q);
                    }
                    exchange.clear();
                }
            }
        }
        for (auto [q, n] : mine) {
            if (!StampIntact(q, n)) ++corrupt;
            NH_Heap::FreeMem(q);
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(worker, t + 1);
    for (auto& t : threads) t.join();
    for (auto [q, n] : exchange) {
        if (!StampIntact(q, n)) ++corrupt;
        NH_Heap::FreeMem(q);
    }
    EXPECT_EQ(corrupt.load(), 0);
    int left = 0;
    heap.ForEach([](void*, void* user) { ++*static_cast<int*>(user); }, &left);
    EXPECT_EQ(left, 0);
}
