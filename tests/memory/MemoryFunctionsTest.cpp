// Throwing allocation wrappers, the byte swap, the slot pool and the fast routines.
#include <commonvcqx/memory/AllocatorHooks.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/memory/MemoryFunctions.h>
#include <commonvcqx/memory/internal/FastMemory.h>
#include <commonvcqx/memory/internal/HeapInternals.h>
#include <commonvcqx/platform/internal/FailureSeams.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string>

namespace {

int copies = 0;
int fills = 0;

void CountingCopy(const void* source, void* destination, uint32_t count) {
    ++copies;
    std::memmove(destination, source, count);
}
void CountingFill(void* destination, uint32_t count) {
    ++fills;
    std::memset(destination, 0, count);
}

}  // namespace

TEST(MemoryFunctionsTest, ThrowingWrappersFollowTheirTable) {
    EXPECT_EQ(malloc_ex(0), nullptr);
    char* p = static_cast<char*>(malloc_ex(10));
    ASSERT_NE(p, nullptr);
    std::strcpy(p, "kept");
    p = static_cast<char*>(realloc_ex(p, 5000));
    EXPECT_STREQ(p, "kept");
    EXPECT_EQ(realloc_ex(p, 0), nullptr);  // freed
    EXPECT_EQ(realloc_ex(nullptr, 0), nullptr);
    char* fresh = static_cast<char*>(realloc_ex(nullptr, 20));
    ASSERT_NE(fresh, nullptr);
    free_ex(fresh);
    free_ex(nullptr);
}

#if CVQ_OVERRIDE_MALLOC
TEST(MemoryFunctionsTest, OutOfMemoryThrowsTheIntegerZero) {
    // malloc reaches the library's heaps, so a refused reservation exhausts it.
    struct TScope {
        ~TScope() { cvq::platform::DisarmFailures(); }
    } scope;
    cvq::platform::FailNthOperation(cvq::platform::EFailureSeam::Reserve, 1, ENOMEM);
    try {
        malloc_ex(50 << 20);
        ADD_FAILURE() << "no exception";
    } catch (int code) {
        EXPECT_EQ(code, 0);
    }
    char* p = static_cast<char*>(malloc_ex(100));
    std::strcpy(p, "intact");
    cvq::platform::FailNthOperation(cvq::platform::EFailureSeam::Reserve, 1, ENOMEM);
    EXPECT_THROW(realloc_ex(p, 50 << 20), int);
    EXPECT_STREQ(p, "intact");
    free_ex(p);
}
#endif

TEST(MemoryFunctionsTest, SwapExchangesExactlyCountBytes) {
    const struct {
        int count;
        const char *a, *b;
    } cases[] = {{0, "abcdef", "uvwxyz"},
                 {1, "ubcdef", "avwxyz"},
                 {6, "uvwxyz", "abcdef"},
                 {-3, "abcdef", "uvwxyz"}};
    for (const auto& c : cases) {
        char a[] = "abcdef", b[] = "uvwxyz";
        SwapBinaryData(a, b, c.count);
        EXPECT_STREQ(a, c.a) << c.count;
        EXPECT_STREQ(b, c.b) << c.count;
    }
}

TEST(MemoryFunctionsTest, SlotPoolRefillsEverySlotWhenEmpty) {
    void* slots[4] = {};
    std::set<void*> handed;
    void* first = GetSlotPtr(48, slots, 4);
    ASSERT_NE(first, nullptr);
    handed.insert(first);
    EXPECT_EQ(NH_Heap::GetBlockSize(first), 48u);
    EXPECT_EQ(slots[0], nullptr);  // the first is taken again
    for (int i = 1; i < 4; ++i) {
        ASSERT_NE(slots[i], nullptr) << "every other slot filled";
        EXPECT_EQ(NH_Heap::GetBlockSize(slots[i]), 48u);
        EXPECT_TRUE(IsDynamicMemory(slots[i]));
    }
    for (int i = 1; i < 4; ++i) {
        void* expected = slots[i];
        EXPECT_EQ(GetSlotPtr(48, slots, 4), expected);
        EXPECT_EQ(slots[i], nullptr);
        handed.insert(expected);
    }
    EXPECT_EQ(handed.size(), 4u);
    // Taken in slot order, skipping empty slots.
    void* mine = NH_Heap::Default().AllocMem(8);
    slots[2] = mine;
    EXPECT_EQ(GetSlotPtr(48, slots, 4), mine);
    for (void* p : handed) NH_Heap::FreeMem(p);
    NH_Heap::FreeMem(mine);

    EXPECT_EQ(GetSlotPtr(48, slots, 0), nullptr);
    EXPECT_EQ(GetSlotPtr(48, nullptr, 4), nullptr);
    void* one[1] = {};
    void* zero = GetSlotPtr(-5, one, 1);  // a negative size gives empty blocks
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(NH_Heap::GetBlockSize(zero), 0u);
    NH_Heap::FreeMem(zero);
}

TEST(MemoryFunctionsTest, FastRoutinesReplaceCopyAndFillUntilReset) {
    char source[64], target[64];
    std::memset(source, 's', sizeof source);
    std::memset(target, 't', sizeof target);
    copies = fills = 0;
    cvq::detail::FastCopy(source, target, 10);
    cvq::detail::FastZero(target + 10, 10);
    EXPECT_EQ(copies + fills, 0);
    EXPECT_EQ(std::string(target, 21), std::string(10, 's') + std::string(10, '\0') + "t");

    SetFastMemoryRoutines(&CountingCopy, &CountingFill);
    std::memset(target, 't', sizeof target);
    cvq::detail::FastCopy(source, target, 32);
    cvq::detail::FastZero(target + 32, 16);
    cvq::detail::FastCopy(source, target, 0);  // nothing to do: not called
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(fills, 1);
    EXPECT_EQ(std::string(target, 49), std::string(32, 's') + std::string(16, '\0') + "t");

    SetFastMemoryRoutines(nullptr, &CountingFill);  // only the copy reset
    cvq::detail::FastCopy(source, target, 8);
    cvq::detail::FastZero(target, 8);
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(fills, 2);
    SetFastMemoryRoutines(nullptr, nullptr);
    cvq::detail::FastZero(target, 8);
    EXPECT_EQ(fills, 2);
}
