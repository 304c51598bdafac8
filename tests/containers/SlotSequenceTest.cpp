// The slot sequence and the value array: linear growth, exact range allocation, byte
// moves, copies and swaps.
#include <commonvcqx/containers/Array.h>
#include <commonvcqx/containers/SlotSequence.h>
#include <commonvcqx/geometry/Randomizer.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/text/String.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<int> Ints(const TSlotSequence& s) {
    std::vector<int> v;
    for (int i = 0; i < s.GetNumBusySlots(); ++i) v.push_back(*static_cast<int*>(s.SlotPtr(i)));
    return v;
}

void AppendInt(TSlotSequence& s, int value) {
    s.InsertSlot(&value, s.GetNumBusySlots());
}

}  // namespace

TEST(SlotSequenceTest, GrowsLinearlyInExpansionSteps) {
    TSlotSequence s(4, 20, 20, 0, nullptr, nullptr);
    EXPECT_FALSE(s.HasAllocatedMemory());
    EXPECT_EQ(s.GetHeap(), &NH_Heap::Default());
    std::vector<int> capacities;
    for (int i = 0; i < 61; ++i) {
        AppendInt(s, i);
        if (i == 0 || i == 19 || i == 20 || i == 40 || i == 60)
            capacities.push_back(s.GetNumSlots());
    }
    EXPECT_EQ(capacities, (std::vector<int>{20, 20, 40, 60, 80}));
    EXPECT_EQ(s.GetNumBusySlots(), 61);

    // 21 appends, optimize, one more: 40, 21, 41.
    TSlotSequence t(4, 20, 20, 0, nullptr, nullptr);
    for (int i = 0; i < 21; ++i) t.AppendSlot();
    EXPECT_EQ(t.GetNumSlots(), 40);
    t.OptimizeSize();
    EXPECT_EQ(t.GetNumSlots(), 21);
    t.AppendSlot();
    EXPECT_EQ(t.GetNumSlots(), 41);

    // Range operations allocate exactly.
    TSlotSequence u(4, 20, 7, 0, nullptr, nullptr);
    u.EnsureNumSlots(5);
    EXPECT_EQ(u.GetNumSlots(), 5);
    u.AllocateBusySlots(9);
    EXPECT_EQ(u.GetNumSlots(), 9);
    EXPECT_EQ(u.GetNumBusySlots(), 9);
    u.AppendSlot();  // 10 needed, 1 missing rounded to 7
    EXPECT_EQ(u.GetNumSlots(), 16);
    u.SetNumBusySlots(0);
    u.OptimizeSize();
    EXPECT_FALSE(u.HasAllocatedMemory());

    // An expansion size below 1 grows one slot at a time instead of dividing by zero.
    TSlotSequence z(4, 0, 0, 0, nullptr, nullptr);
    z.AppendSlot();
    z.AppendSlot();
    EXPECT_EQ(z.GetNumSlots(), 2);
}

TEST(SlotSequenceTest, InsertCutAndReserve) {
    TSlotSequence s(4, 20, 4, 0, nullptr, nullptr);
    for (int i : {1, 2, 3}) AppendInt(s, i);
    int zero = 0;
    s.InsertSlot(&zero, 0);
    EXPECT_EQ(Ints(s), (std::vector<int>{0, 1, 2, 3}));
    // A source inside the buffer survives the buffer's move.
    s.InsertSlot(s.SlotPtr(3), 1);
    EXPECT_EQ(Ints(s), (std::vector<int>{0, 3, 1, 2, 3}));

    TSlotSequence other(4, 20, 20, 0, nullptr, nullptr);
    for (int i : {7, 8}) AppendInt(other, i);
    s.Insert(other, 1, 0);
    EXPECT_EQ(Ints(s), (std::vector<int>{0, 7, 8, 3, 1, 2, 3}));
    s.Insert(other, 0, 1);  // reserve only: count stays, tail moved
    EXPECT_EQ(s.GetNumBusySlots(), 7);
    EXPECT_EQ(*static_cast<int*>(s.SlotPtr(3)), 7);
    s.FillSlot(0, &zero);
    s.SetNumBusySlots(9);  // the caller raises the count...
    s.CutSlots(0, 2);      // ...and here takes the opened slots back
    EXPECT_EQ(Ints(s), (std::vector<int>{0, 7, 8, 3, 1, 2, 3}));
    s.Append(s);  // itself
    EXPECT_EQ(s.GetNumBusySlots(), 14);
    EXPECT_EQ(Ints(s)[13], 3);

    s.CutSlots(0, s.GetNumBusySlots());
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_TRUE(s.HasAllocatedMemory());

    s.Absorb(other, 0);
    EXPECT_EQ(Ints(s), (std::vector<int>{7, 8}));
    EXPECT_FALSE(other.HasAllocatedMemory());
    EXPECT_EQ(other.GetNumBusySlots(), 0);
    s.ClearAll();
    EXPECT_EQ(Ints(s), (std::vector<int>{0, 0}));
}

TEST(SlotSequenceTest, CopiesAssignsAndSwaps) {
    TSlotSequence a(4, 11, 5, 1, nullptr, nullptr);
    for (int i : {4, 5, 6}) AppendInt(a, i);
    a.MarkAsSorted(1);

    TSlotSequence copy(a);
    EXPECT_EQ(copy.GetNumSlots(), a.GetNumSlots());
    EXPECT_TRUE(copy == a);
    EXPECT_TRUE(copy.IsMarkedAsSorted());
    EXPECT_EQ(copy.GetInitialSize(), 11);
    TSlotSequence empty(a, 0);
    EXPECT_FALSE(empty.HasAllocatedMemory());
    EXPECT_EQ(empty.GetExpansionSize(), 5);

    NH_Heap heap;
    TSlotSequence b(8, 20, 20, 0, nullptr, &heap);
    b = a;
    EXPECT_EQ(b.GetNumBusySlots(), 3);
    EXPECT_EQ(b.GetSlotSize(), 4u);
    EXPECT_EQ(b.GetHeap(), &heap);  // the heap stays this sequence's own
    EXPECT_TRUE(b == a);
    b = *&b;  // self-assignment
    EXPECT_EQ(Ints(b), (std::vector<int>{4, 5, 6}));
    b.Assign(a, 0);
    EXPECT_FALSE(b.HasAllocatedMemory());
    EXPECT_EQ(b.GetNumBusySlots(), 0);

    TSlotSequence c(4, 20, 2, 0, nullptr, nullptr);
    AppendInt(c, 9);
    a.SwapWith(c);
    for (int i = 0; i < 10; ++i) {
        AppendInt(a, 100 + i);
        AppendInt(c, 200 + i);
    }
    EXPECT_EQ(Ints(a)[0], 9);
    EXPECT_EQ(a.GetNumBusySlots(), 11);
    EXPECT_LE(a.GetNumBusySlots(), a.GetNumSlots());
    EXPECT_EQ(Ints(c)[2], 6);
    EXPECT_EQ(c.GetNumBusySlots(), 13);
    EXPECT_LE(c.GetNumBusySlots(), c.GetNumSlots());
    EXPECT_TRUE(c.IsMarkedAsSorted());
    EXPECT_FALSE(a.IsMarkedAsSorted());
}

TEST(SlotSequenceTest, OrderOperations) {
    TSlotSequence s(4, 20, 20, 0, nullptr, nullptr);
    for (int i : {3, 1, 2}) AppendInt(s, i);
    s.Sort([](const void* a, const void* b) {
        return *static_cast<const int*>(a) - *static_cast<const int*>(b);
    });
    EXPECT_EQ(Ints(s), (std::vector<int>{1, 2, 3}));
    s.Reverse();
    EXPECT_EQ(Ints(s), (std::vector<int>{3, 2, 1}));
    s.InverseOrder();
    EXPECT_EQ(Ints(s), (std::vector<int>{1, 2, 3}));

    // 12-byte slots reverse and shuffle as whole records.
    struct TRec {
        int a, b, c;
    };
    TSlotSequence r(sizeof(TRec), 20, 20, 0, nullptr, nullptr);
    for (int i = 0; i < 5; ++i) {
        TRec rec{i, i * 10, i * 100};
        r.InsertSlot(&rec, r.GetNumBusySlots());
    }
    r.Reverse();
    EXPECT_EQ(static_cast<TRec*>(r.SlotPtr(0))->c, 400);

    // The shuffle draws exactly as the randomizer's permutation does.
    for (int seed : {1, 42, 977}) {
        TSlotSequence x(4, 20, 20, 0, nullptr, nullptr);
        for (int i = 0; i < 10; ++i) AppendInt(x, i);
        x.Shuffle(seed);
        std::vector<int> expected(10);
        TRandomizer(seed).FillArrayWithUniqueUnsortedIndexes(expected.data(), 10);
        EXPECT_EQ(Ints(x), expected) << seed;
    }
}

TEST(ArrayTest, ValuesAreCopiedAndDestroyedExactlyOnce) {
    TArray<TString> words(20, 3);
    TString shared("shared");
    for (int i = 0; i < 7; ++i) words.Add(shared);  // grows 3, 6, 9
    EXPECT_EQ(words.GetNumSlots(), 9);
    EXPECT_EQ(shared.GetStringRef()->refCount, 8);
    words.Add(words[0]);  // an element of the array itself, while the buffer moves
    words.Add(words[0]);
    words.Add(words[0]);
    EXPECT_EQ(words.GetCount(), 10);
    EXPECT_EQ(words.GetNumSlots(), 12);
    EXPECT_STREQ(words.Last(), "shared");

    words.Insert(TString("first"), 0);
    words.Insert(words[0], 5);
    EXPECT_STREQ(words[0], "first");
    EXPECT_STREQ(words[5], "first");
    EXPECT_EQ(words.Find(TString("first")), 0);
    words.Remove(0, 1);
    EXPECT_EQ(words.Find(TString("first")), 4);
    words.Pop();

    TArray<TString> copy(words);
    TArray<TString> assigned;
    assigned.Add("old");
    assigned = copy;
    assigned = *&assigned;  // self-assignment
    EXPECT_EQ(assigned.GetCount(), words.GetCount());
    int n = 0;
    for (const TString& w : assigned) n += w == shared ? 1 : 0;
    EXPECT_EQ(n, words.GetCount() - 1);

    words.Clear();
    copy.Clear();
    assigned.Clear();
    EXPECT_FALSE(words.HasAllocatedMemory());
    EXPECT_EQ(shared.GetStringRef()->refCount, 1);
}
