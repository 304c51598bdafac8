// The hooks, the installation, memory queries, and the interposed entry points.
#include <commonvcqx/geometry/Randomizer.h>
#include <commonvcqx/memory/AllocatorHooks.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/memory/internal/HeapInternals.h>
#include <commonvcqx/platform/MessageBoxHandler.h>
#include <commonvcqx/platform/internal/Clocks.h>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern "C" void* __libc_malloc(size_t size);
extern "C" void __libc_free(void* p);

namespace {

int staticVariable = 0;

}  // namespace

TEST(AllocatorHooksTest, HooksFollowTheirContracts) {
    EXPECT_EQ(NHHookMalloc(0), nullptr);
    void* empty = NHHookNew(0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(NH_Heap::GetBlockSize(empty), 0u);
    NHHookDelete(empty);
    void* zeroCount = NHHookCalloc(0, 8);
    EXPECT_NE(zeroCount, nullptr);
    NHHookFree(zeroCount);
    EXPECT_EQ(NHHookCalloc(SIZE_MAX / 2, 4), nullptr);  // the product overflows
    char* zeroed = static_cast<char*>(NHHookCalloc(100, 30));
    EXPECT_TRUE(IsMemoryFilledWith(zeroed, 3000, 0));
    NHHookFree(zeroed);

    EXPECT_EQ(NHHookRealloc(nullptr, 0), nullptr);
    char* p = static_cast<char*>(NHHookRealloc(nullptr, 40));
    ASSERT_NE(p, nullptr);
    std::strcpy(p, "kept across growth");
    p = static_cast<char*>(NHHookRealloc(p, 4000));
    EXPECT_STREQ(p, "kept across growth");
    EXPECT_EQ(NHGetBlockSize(p), 4000u);
    EXPECT_EQ(NHHookRealloc(p, 0), nullptr);  // freed
    NHHookFree(nullptr);
}

TEST(AllocatorHooksTest, ForeignMemoryIsLeftAlone) {
    // A block of the C library's own allocator, as obtained before the hooks.
    char* foreign = static_cast<char*>(__libc_malloc(100));
    std::strcpy(foreign, "foreign");
    EXPECT_FALSE(IsDynamicMemory(foreign));
    EXPECT_GE(NHGetBlockSize(foreign), 100u);
    NHHookFree(foreign);
    NHHookDelete(foreign);
    EXPECT_STREQ(foreign, "foreign");
    char* copy = static_cast<char*>(NHHookRealloc(foreign, 8));
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(IsDynamicMemory(copy));
    EXPECT_STREQ(copy, "foreign");
    EXPECT_EQ(NHHookRealloc(foreign, 0), nullptr);
    EXPECT_STREQ(foreign, "foreign");
    NHHookFree(copy);
    __libc_free(foreign);
}

TEST(AllocatorHooksTest, MemoryQueries) {
    int local = 0;
    void* block = NHHookMalloc(10);
    EXPECT_TRUE(IsStackMemory(&local));
    EXPECT_FALSE(IsStackMemory(block));
    EXPECT_FALSE(IsStackMemory(&staticVariable));
    EXPECT_TRUE(IsDynamicMemory(block));
    EXPECT_FALSE(IsDynamicMemory(&staticVariable));
    EXPECT_FALSE(IsDynamicMemory(&local));
    std::thread([] {
        int other = 0;
        EXPECT_TRUE(IsStackMemory(&other));
    }).join();
    NHHookFree(block);

    unsigned char bytes[40] = {};
    EXPECT_TRUE(IsMemoryFilledWith(bytes, 0, 7));
    EXPECT_TRUE(IsMemoryFilledWith(bytes, 17, 0));
    bytes[16] = 1;  // the one byte after the first 16-byte step
    EXPECT_FALSE(IsMemoryFilledWith(bytes, 17, 0));
    EXPECT_TRUE(IsMemoryFilledWith(bytes, 16, 0));
    bytes[3] = 1;
    EXPECT_FALSE(IsMemoryFilledWith(bytes, 16, 0));
}

TEST(AllocatorHooksTest, SecondInitNewHeapIsReportedOnce) {
    // Changes the process's threading declaration: run it in a child process.
    EXPECT_EXIT(
        {
            static std::string shown;
            static int boxes = 0;
            SetMessageBoxHandler([](const char* text, const char* caption, UINT) {
                shown = std::string(caption) + ": " + text;
                ++boxes;
                return IDOK;
            });
            InitNewHeap first(1);
            bool fine = boxes == 0;
            InitNewHeap second(1);
            fine = fine && boxes == 1 &&
                   shown ==
                       "NewHeap: Error! You have INIT_NEWHEAP() defined twice in your "
                       "application!";
            EnsureNewHeap ensure;
            std::_Exit(fine ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), ".*");
}

TEST(AllocatorHooksTest, SingleThreadedDeclarationDropsTheDefaultLock) {
    EXPECT_EXIT(
        {
            char* before = static_cast<char*>(NHHookMalloc(300));
            std::strcpy(before, "before");
            bool fine = NH_Heap::Default().IsMultithreaded() != 0;
            InitNewHeap declare(0);
            fine = fine && NH_Heap::Default().IsMultithreaded() == 0;
            fine = fine && std::strcmp(before, "before") == 0;
            NHHookFree(before);
            for (int i = 0; i < 1000; ++i) NHHookFree(NHHookMalloc(i + 1));
            std::_Exit(fine ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), ".*");
}

TEST(AllocatorHooksTest, GlobalBypassFreesNothing) {
    EXPECT_EXIT(
        {
            NH_Heap heap(0);
            char* p = heap.StoreString("survives");
            BypassFreeing(nullptr);
            NH_Heap::FreeMem(p);
            bool fine = std::strcmp(p, "survives") == 0 && heap.AllocMem(9) != p;
            std::_Exit(fine ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), ".*");
}

#if CVQ_OVERRIDE_MALLOC

namespace {
bool Aligned(const void* p, size_t alignment) {
    return reinterpret_cast<uintptr_t>(p) % alignment == 0;
}
}  // namespace

TEST(AllocatorHooksTest, EveryEntryPointServesLibraryMemory) {
    struct alignas(128) TWide {
        char bytes[128];
    };
    std::vector<std::pair<void*, void (*)(void*)>> blocks;
    auto cFree = [](void* p) { std::free(p); };
    void* p = std::malloc(24);
    EXPECT_EQ(malloc_usable_size(p), 24u);
    blocks.emplace_back(p, cFree);
    blocks.emplace_back(std::calloc(3, 8), cFree);
    blocks.emplace_back(std::realloc(nullptr, 5000), cFree);
    void* aligned = nullptr;
    EXPECT_EQ(posix_memalign(&aligned, 4096, 100), 0);
    EXPECT_TRUE(Aligned(aligned, 4096));
    blocks.emplace_back(aligned, cFree);
    EXPECT_EQ(posix_memalign(&aligned, 12, 100), EINVAL);
    blocks.emplace_back(aligned_alloc(64, 640), cFree);
    blocks.emplace_back(memalign(256, 10), cFree);
    blocks.emplace_back(valloc(10), cFree);
    void* paged = pvalloc(10);
    EXPECT_EQ(malloc_usable_size(paged), size_t(sysconf(_SC_PAGESIZE)));
    blocks.emplace_back(paged, cFree);
    blocks.emplace_back(new int(5), [](void* q) { delete static_cast<int*>(q); });
    blocks.emplace_back(new char[3000], [](void* q) { delete[] static_cast<char*>(q); });
    blocks.emplace_back(new TWide, [](void* q) { delete static_cast<TWide*>(q); });
    blocks.emplace_back(new TWide[3], [](void* q) { delete[] static_cast<TWide*>(q); });
    blocks.emplace_back(new (std::nothrow) char[10],
                        [](void* q) { ::operator delete[](q, std::nothrow); });
    // A block from one family frees through the other.
    blocks.emplace_back(std::malloc(40), [](void* q) { ::operator delete(q); });
    blocks.emplace_back(new char[40], [](void* q) { std::free(q); });
    for (auto [q, release] : blocks) {
        ASSERT_NE(q, nullptr);
        EXPECT_TRUE(IsDynamicMemory(q));
        EXPECT_TRUE(Aligned(q, 16));
        release(q);
    }
    EXPECT_TRUE(Aligned(blocks[4].first, 64));
    EXPECT_TRUE(Aligned(blocks[5].first, 256));
    EXPECT_TRUE(Aligned(blocks[11].first, 128));

    volatile size_t zero = 0;  // hidden from the compiler's own size checks
    volatile size_t huge = SIZE_MAX / 2;
    void* empty = std::malloc(zero);  // a block, as the C library relies on
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(malloc_usable_size(empty), 0u);
    std::free(empty);
    errno = 0;
    EXPECT_EQ(reallocarray(nullptr, huge, 3), nullptr);
    EXPECT_EQ(errno, ENOMEM);
    errno = 0;
    EXPECT_EQ(std::malloc(huge), nullptr);
    EXPECT_EQ(errno, ENOMEM);
    EXPECT_EQ(::operator new(huge, std::nothrow), nullptr);
    std::new_handler saved = std::set_new_handler(nullptr);
    EXPECT_THROW(static_cast<void>(::operator new(huge)), std::bad_alloc);
#if CVQ_OVERRIDE_MALLOC
    // The installed handler decides even for a size no memory could serve.
    std::set_new_handler([] { throw std::length_error("handled"); });
    EXPECT_THROW(static_cast<void>(::operator new(huge)), std::length_error);
    EXPECT_THROW(static_cast<void>(::operator new(huge, std::align_val_t(64))), std::length_error);
#endif
    std::set_new_handler(saved);
}

#if CVQ_OVERRIDE_MALLOC
TEST(AllocatorHooksTest, AlignmentsTheCLibraryGrants) {
    // Huge-page alignments, and alignments aligned_alloc rounds up as the C library does.
    for (size_t alignment : {size_t(2) << 20, size_t(16) << 20}) {
        void* p = nullptr;
        ASSERT_EQ(posix_memalign(&p, alignment, 3 << 20), 0);
        EXPECT_TRUE(Aligned(p, alignment));
        std::memset(p, 1, 3 << 20);
        std::free(p);
        void* q = aligned_alloc(alignment, 100);
        ASSERT_NE(q, nullptr);
        EXPECT_TRUE(Aligned(q, alignment));
        std::free(q);
        char* r = static_cast<char*>(::operator new(1000, std::align_val_t(alignment)));
        EXPECT_TRUE(Aligned(r, alignment));
        ::operator delete(r, std::align_val_t(alignment));
    }
    size_t oddAlignment = 24;  // not a constant: Clang refuses a literal one
    void* odd = aligned_alloc(oddAlignment, 48);
    ASSERT_NE(odd, nullptr);
    EXPECT_TRUE(Aligned(odd, 32));
    std::free(odd);
}
#endif

TEST(AllocatorHooksTest, ProcessRunsOnTheLibraryHeaps) {
    // The test framework, the C++ runtime and the C library all allocate here.
    std::string text(200, 'x');
    auto owned = std::make_unique<std::vector<int>>(100);
    EXPECT_TRUE(IsDynamicMemory(text.data()));
    EXPECT_TRUE(IsDynamicMemory(owned->data()));
    char* duplicated = strdup("from the C library");
    EXPECT_TRUE(IsDynamicMemory(duplicated));
    std::free(duplicated);
    // Loading and unloading a module allocates and frees through the hooks too.
    for (int i = 0; i < 3; ++i) {
        void* module = dlopen("libz.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!module) module = dlopen("libm.so.6", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr);
        dlclose(module);
    }
}

TEST(AllocatorHooksTest, ThreadsMixEveryEntryPointAndFreeEachOthersBlocks) {
    constexpr int kThreads = 4;
    std::vector<std::vector<std::pair<unsigned char*, size_t>>> handedOver(kThreads);
    std::vector<std::mutex> locks(kThreads);
    std::atomic<int> corrupt{0};
    auto check = [&](unsigned char* p, size_t n) {
        for (size_t i = 0; i < n; ++i)
            if (p[i] != static_cast<unsigned char>(n + i)) return ++corrupt, void();
    };
    auto worker = [&](int self) {
        std::mt19937 random(self + 100);
        for (int i = 0; i < 20000; ++i) {
            size_t n = random() % 4 == 0 ? random() % 40000 : random() % 600;
            unsigned char* p = nullptr;
            switch (random() % 5) {
                case 0:
                    p = static_cast<unsigned char*>(std::malloc(n));
                    break;
                case 1:
                    p = static_cast<unsigned char*>(std::calloc(1, n));
                    break;
                case 2:  // realloc to 0 would free: grow to at least 1
                    p = static_cast<unsigned char*>(std::realloc(std::malloc(n / 2 + 1), n + 1));
                    n += 1;
                    break;
                case 3:
                    p = static_cast<unsigned char*>(aligned_alloc(64, n));
                    break;
                default:
                    p = new unsigned char[n];
                    break;
            }
            ASSERT_NE(p, nullptr);
            for (size_t k = 0; k < n; ++k) p[k] = static_cast<unsigned char>(n + k);
            int target = random() % kThreads;
            std::lock_guard<std::mutex> guard(locks[target]);
            handedOver[target].emplace_back(p, n);
        }
    };
    auto drain = [&](int self) {
        std::vector<std::pair<unsigned char*, size_t>> mine;
        {
            std::lock_guard<std::mutex> guard(locks[self]);
            mine.swap(handedOver[self]);
        }
        for (auto [p, n] : mine) {
            check(p, n);
            EXPECT_EQ(malloc_usable_size(p), n);
            std::free(p);
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 5; ++round) {
                worker(t);
                drain(t);
            }
        });
    for (auto& t : threads) t.join();
    for (int t = 0; t < kThreads; ++t) drain(t);
    EXPECT_EQ(corrupt.load(), 0);
}

#endif  // CVQ_OVERRIDE_MALLOC

TEST(AllocatorHooksTest, ThreadsThatExitAndForkingChildren) {
    // Blocks of threads that have ended stay valid and are freed elsewhere.
    std::vector<char*> left(8);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&left, t] {
            left[t] = static_cast<char*>(NHHookMalloc(1000 + t));
            std::memset(left[t], 'a' + t, 1000 + t);
        });
    for (auto& t : threads) t.join();
    for (int t = 0; t < 8; ++t) {
        EXPECT_TRUE(IsMemoryFilledWith(left[t], 1000 + t, 'a' + t));
        NHHookFree(left[t]);
    }

    // fork() while other threads allocate: the child's heaps are usable.
    std::atomic<bool> stop{false};
    std::vector<std::thread> busy;
    for (int t = 0; t < 2; ++t)
        busy.emplace_back([&stop] {
            std::vector<void*> held;
            while (!stop.load()) {
                held.push_back(NHHookMalloc(held.size() % 3000 + 1));
                if (held.size() > 500) {
                    for (void* q : held) NHHookFree(q);
                    held.clear();
                }
            }
            for (void* q : held) NHHookFree(q);
        });
    int failures = 0;
    for (int i = 0; i < 30; ++i) {
        pid_t child = fork();
        if (child == 0) {
            alarm(10);  // a deadlock ends the child instead of the test
            for (int k = 0; k < 1000; ++k) NHHookFree(NHHookMalloc(k * 7 % 5000 + 1));
            std::string text(100, 'c');
            _exit(text.size() == 100 ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failures;
    }
    stop = true;
    for (auto& t : busy) t.join();
    EXPECT_EQ(failures, 0);
}

// Exit code 0 when the first FindBase2 calls of the process choose every heap, in the
// order a randomizer seeded with the tick count of the first call dictates.
int CheckFindBase2Sequence() {
    NH_Heap* heaps[3] = {&cvq::detail::TestHeap1(), &cvq::detail::TestHeap2(), &NH_Heap::Default()};
    constexpr int kDraws = 60;
    int choices[kDraws];
    int counts[3] = {};
    uint32_t before = cvq::platform::TickCount();
    for (int& choice : choices) {
        NH_Heap* heap = FindBase2();
        choice = static_cast<int>(std::find(heaps, heaps + 3, heap) - heaps);
        if (choice == 3) return 2;  // not one of the three
        ++counts[choice];
        void* block = heap->AllocMem(24);
        if (!block || NH_Heap::GetBlockSize(block) != 24) return 3;
        NH_Heap::FreeMem(block);
    }
    uint32_t after = cvq::platform::TickCount();
    if (counts[0] == 0 || counts[1] == 0 || counts[2] == 0) return 4;
    // One of the ticks seen around the draws must reproduce every choice.
    for (uint32_t tick = before; tick - before <= after - before; ++tick) {
        TRandomizer random(static_cast<int>((tick | 1u) & 0x7FFFFFFFu));
        bool same = true;
        for (int choice : choices)
            if (random.Get(3) != static_cast<uint32_t>(choice)) same = false;
        if (same) return 0;
    }
    return 5;
}

TEST(AllocatorHooksTest, FindBase2FollowsTheRandomizerSeededAtTheFirstCall) {
    // The generator is made on the first call: run in a freshly started process.
    std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::_Exit(CheckFindBase2Sequence()), ::testing::ExitedWithCode(0), ".*");
    GTEST_FLAG_SET(death_test_style, style);
}

TEST(AllocatorHooksTest, FindBase2IsSafeFromManyThreads) {
    std::vector<std::thread> threads;
    std::atomic<int> seen[3] = {};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                NH_Heap* heap = FindBase2();
                int index = heap == &cvq::detail::TestHeap1()   ? 0
                            : heap == &cvq::detail::TestHeap2() ? 1
                                                                : 2;
                seen[index].fetch_add(1, std::memory_order_relaxed);
                NH_Heap::FreeMem(heap->AllocMem(static_cast<size_t>(i % 300)));
            }
        });
    for (std::thread& thread : threads) thread.join();
    // Each heap about a third of 8000 draws.
    for (auto& count : seen) {
        EXPECT_GT(count.load(), 2000);
        EXPECT_LT(count.load(), 3400);
    }
}
