// The object array: ownership of every insertion and removal, the search tables on
// arrays with duplicates, sorting, shuffling and whole-array copies.
#include <commonvcqx/containers/ArrayBase.h>
#include <commonvcqx/geometry/Randomizer.h>

#include <gtest/gtest.h>

#include <vector>

#include "Counted.h"

namespace {

void Fill(TArrayBase& a, std::vector<int> keys) {
    int tag = 0;
    for (int k : keys) a.Add(new TCounted(k, tag++));
}

}  // namespace

TEST(ArrayBaseTest, OwnershipOfInsertionAndRemoval) {
    TCountScope scope;
    {
        TArrayBase a;  // owning, 20/20
        Fill(a, {1, 2, 3, 4, 5});
        EXPECT_EQ(a.GetNumSlots(), 20);
        TObject* popped = a.Pop();
        TObject* cut = a.CutDetach(0);
        EXPECT_EQ(Keys(a), (std::vector<int>{2, 3, 4}));
        a.CutDelete(0);
        EXPECT_EQ(Counts().deleted, 1);
        a.Replace(popped, 0);  // old element deleted
        EXPECT_EQ(Counts().deleted, 2);
        a.Replace(popped, 0);  // same pointer: nothing
        EXPECT_EQ(Counts().deleted, 2);
        a.Insert(cut, 1);
        EXPECT_EQ(Keys(a), (std::vector<int>{5, 1, 4}));
        a.CutRange(0, 2, 0);
        EXPECT_EQ(Counts().deleted, 2);
        delete static_cast<TCounted*>(popped);
        delete static_cast<TCounted*>(cut);
        a.Prepend(new TCounted(8));
        a.Push(new TCounted(9));
        a.CutRange(1, 2, 1);
        EXPECT_EQ(Keys(a), (std::vector<int>{8}));
        EXPECT_EQ(Counts().Alive(), 1);
    }
    EXPECT_EQ(Counts().Alive(), 0);

    // Clear and DeleteAll.
    TArrayBase a;
    Fill(a, {1, 2, 3});
    a.DeleteAll(0);
    EXPECT_EQ(Counts().Alive(), 0);
    EXPECT_EQ(a.GetCount(), 0);
    EXPECT_TRUE(a.HasAllocatedMemory());  // kept for reuse
    Fill(a, {4});
    a.Clear();
    EXPECT_FALSE(a.HasAllocatedMemory());
    EXPECT_EQ(Counts().Alive(), 0);

    TCounted kept(7);
    TArrayBase view(20, 20, 0, nullptr);
    view.Add(&kept);
    view.Add(&kept);  // a pointer may repeat
    EXPECT_TRUE(view.HasElement(&kept));
    view.Clear();
    EXPECT_EQ(view.GetCount(), 0);
    EXPECT_EQ(Counts().Alive(), 1);  // only `kept`
}

TEST(ArrayBaseTest, AddUniqueDeletesTheOfferWhenOwning) {
    TCountScope scope;
    for (char owning : {1, 0}) {
        for (char marked : {0, 1}) {
            TArrayBase a(20, 20, owning, nullptr);
            a.MarkAsSorted(marked);
            TCounted* first = new TCounted(2, 1);
            a.InsertInSortedArray(new TCounted(1));
            a.InsertInSortedArray(first);
            a.InsertInSortedArray(new TCounted(2, 2));
            TCounted* offer = new TCounted(2, 3);
            const int deletedBefore = Counts().deleted;
            EXPECT_EQ(a.AddUnique(offer), first) << int(owning) << int(marked);
            EXPECT_EQ(Counts().deleted - deletedBefore, owning ? 1 : 0);
            if (!owning) delete offer;
            // Offering a stored element again must not delete it.
            EXPECT_EQ(a.AddUnique(first), first);
            EXPECT_EQ(a.GetCount(), 3);
            TCounted* fresh = new TCounted(0);
            EXPECT_EQ(a.AddUnique(fresh), fresh);
            EXPECT_EQ(Keys(a), (std::vector<int>{0, 1, 2, 2}));
            if (!owning) a.DeleteAll(1);
        }
    }
    EXPECT_EQ(Counts().Alive(), 0);
}

TEST(ArrayBaseTest, SearchTablesWithDuplicates) {
    TCountScope scope;
    TArrayBase a;
    Fill(a, {1, 3, 3, 5});
    struct TCase {
        const char* name;
        int probe;
        int index;
    };
    auto run = [&](auto fn, std::vector<TCase> cases) {
        for (const TCase& c : cases) {
            TCounted probe(c.probe);
            int index = 99;
            TObject* found = (a.*fn)(&probe, &index);
            EXPECT_EQ(index, c.index) << c.name << " " << c.probe;
            EXPECT_EQ(found, c.index >= 0 ? a[c.index] : nullptr) << c.name << " " << c.probe;
        }
    };
    run(&TArrayBase::BinaryFindEqual,
        {{"BEq", 3, 1}, {"BEq", 1, 0}, {"BEq", 4, -1}, {"BEq", 6, -1}});
    run(&TArrayBase::BinaryFindEqualOrGreater,
        {{"BEqG", 3, 1}, {"BEqG", 2, 1}, {"BEqG", 4, 3}, {"BEqG", 0, 0}, {"BEqG", 6, -1}});
    run(&TArrayBase::BinaryFindEqualOrSmaller,
        {{"BEqS", 3, 1}, {"BEqS", 2, 0}, {"BEqS", 4, 2}, {"BEqS", 0, -1}, {"BEqS", 9, 3}});
    run(&TArrayBase::BinaryFindClosestGreater,
        {{"BG", 3, 3}, {"BG", 1, 1}, {"BG", 0, 0}, {"BG", 5, -1}});
    run(&TArrayBase::BinaryFindClosestSmaller,
        {{"BS", 3, 0}, {"BS", 5, 2}, {"BS", 1, -1}, {"BS", 9, 3}});
    run(&TArrayBase::LinearFindEqual, {{"LEq", 3, 1}, {"LEq", 4, -1}});
    run(&TArrayBase::LinearFindClosestSmaller,
        {{"LS", 5, 1}, {"LS", 4, 1}, {"LS", 1, -1}, {"LS", 2, 0}});
    run(&TArrayBase::LinearFindClosestGreater,
        {{"LG", 1, 1}, {"LG", 2, 1}, {"LG", 5, -1}, {"LG", 4, 3}});
    run(&TArrayBase::LinearFindEqualOrSmaller, {{"LEqS", 3, 1}, {"LEqS", 4, 1}, {"LEqS", 0, -1}});
    run(&TArrayBase::LinearFindEqualOrGreater, {{"LEqG", 3, 1}, {"LEqG", 2, 1}, {"LEqG", 6, -1}});

    TArrayBase b;
    Fill(b, {5, 9, 2, 9, 2});
    int index = 99;
    EXPECT_EQ(b.LinearFindGreatest(&index), b[1]);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(b.LinearFindSmallest(&index), b[2]);
    EXPECT_EQ(index, 2);
    TArrayBase empty;
    EXPECT_EQ(empty.LinearFindSmallest(&index), nullptr);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(empty.BinaryFindClosestSmaller(b[0], &index), nullptr);
    EXPECT_EQ(index, -1);

    auto isNine = [](const TObject& o, const void*) -> char {
        return static_cast<const TCounted&>(o).m_key == 9;
    };
    EXPECT_EQ(b.FindFirstThat(isNine, nullptr, &index), b[1]);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(b.FindLastThat(isNine, nullptr, &index), b[3]);
    EXPECT_EQ(index, 3);
    int sum = 0;
    b.ForEach([](TObject& o, void* s) { *static_cast<int*>(s) += static_cast<TCounted&>(o).m_key; },
              &sum);
    EXPECT_EQ(sum, 27);
}

TEST(ArrayBaseTest, SortedInsertionKeepsOrderOfEqualsSortDoesNotNeed) {
    TCountScope scope;
    TArrayBase a;
    for (int tag = 0; tag < 3; ++tag) EXPECT_EQ(a.InsertInSortedArray(new TCounted(4, tag)), tag);
    EXPECT_EQ(a.InsertInSortedArray(new TCounted(1)), 0);
    EXPECT_EQ(a.InsertInSortedArray(new TCounted(9)), 4);
    EXPECT_EQ(Tags(a), (std::vector<int>{0, 0, 1, 2, 0}));

    TArrayBase b;
    TRandomizer random(5);
    for (int i = 0; i < 500; ++i) b.Add(new TCounted(int(random.Get(50)), i));
    EXPECT_FALSE(b.IsSorted());
    b.Sort();
    EXPECT_TRUE(b.IsSorted());
    EXPECT_FALSE(b.IsSortedBackwards());
    EXPECT_FALSE(b.IsMarkedAsSorted());
    b.SetCompareMode(1);
    b.Sort();
    EXPECT_TRUE(b.IsSorted());
    b.SetCompareMode(0);
    EXPECT_TRUE(b.IsSortedBackwards());
    b.Reverse();
    EXPECT_TRUE(b.IsSorted());

    // A Compare that is no order at all (the default: always -1) must neither crash
    // nor hang the sort.
    TArrayBase plain;
    for (int i = 0; i < 50; ++i) plain.Add(new TCounted(0));
    struct TRude : TObject {};
    TArrayBase rude;
    for (int i = 0; i < 40; ++i) rude.Add(new TRude);
    rude.Sort();
    EXPECT_EQ(rude.GetCount(), 40);

    a.MoveAt(0, 3);
    EXPECT_EQ(Keys(a), (std::vector<int>{4, 4, 4, 1, 9}));
    a.MoveAt(4, 0);
    EXPECT_EQ(Keys(a), (std::vector<int>{9, 4, 4, 4, 1}));
}

TEST(ArrayBaseTest, ShuffleIsReproduciblePerSeed) {
    TCountScope scope;
    for (int seed : {1, 3, 12345}) {
        TArrayBase a, b;
        Fill(a, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
        Fill(b, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
        a.Shuffle(seed);
        b.Shuffle(seed);
        EXPECT_EQ(Keys(a), Keys(b));
        std::vector<int> expected(12);
        TRandomizer(seed).FillArrayWithUniqueUnsortedIndexes(expected.data(), 12);
        EXPECT_EQ(Keys(a), expected);
    }
}

TEST(ArrayBaseTest, WholeArrayCopiesCloneAbsorbMoves) {
    TCountScope scope;
    TArrayBase a(20, 5, 1, nullptr);
    Fill(a, {1, 2, 3});
    a.SetCompareMode(1);
    a.MarkAsSorted(1);
    {
        TArrayBase copy(a);
        EXPECT_EQ(Counts().cloned, 3);
        EXPECT_EQ(copy.GetCompareMode(), 1);
        EXPECT_TRUE(copy.IsMarkedAsSorted());
        EXPECT_TRUE(AreEqual(a, copy, 0));
        EXPECT_NE(copy[0], a[0]);
    }
    EXPECT_EQ(Counts().Alive(), 3);

    TArrayBase b;  // owning: its old elements die on assignment
    Fill(b, {7, 8});
    b = a;
    EXPECT_EQ(Counts().Alive(), 6);
    EXPECT_EQ(b.GetNumSlots(), 3);  // exactly the count
    EXPECT_EQ(b.GetCompareMode(), 0);
    EXPECT_EQ(b.GetExpansionSize(), 5);
    b = *&b;  // self-assignment
    EXPECT_EQ(Keys(b), (std::vector<int>{1, 2, 3}));

    TCounted outside(9);
    TArrayBase view(20, 20, 0, nullptr);
    view.Add(&outside);
    const int deleted = Counts().deleted;
    view.Assign(a, nullptr);  // non-owning: the old element is left alone
    EXPECT_EQ(Counts().deleted, deleted);
    view.ShouldDeleteElements(1);  // the clones are its own

    b.Append(a, nullptr);
    b.Insert(b, 1, nullptr);  // itself
    EXPECT_EQ(Keys(b), (std::vector<int>{1, 1, 2, 3, 1, 2, 3, 2, 3, 1, 2, 3}));
    b += a;
    EXPECT_EQ(b.GetCount(), 15);

    TArrayBase c;
    Fill(c, {0, 9});
    const int alive = Counts().Alive();
    c.Absorb(a, 1);
    EXPECT_EQ(Counts().Alive(), alive);  // no clone, no delete
    EXPECT_EQ(Keys(c), (std::vector<int>{0, 1, 2, 3, 9}));
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_FALSE(a.HasAllocatedMemory());
    Fill(a, {5, 4});
    c.AbsorbAndSort(a);
    EXPECT_EQ(Keys(c), (std::vector<int>{0, 1, 2, 3, 4, 5, 9}));

    TArrayBase d;
    d.SetCompareMode(1);
    d.SwapWith(c);
    EXPECT_EQ(d.GetCount(), 7);
    EXPECT_EQ(c.GetCompareMode(), 1);
    EXPECT_EQ(d.GetCompareMode(), 0);
    EXPECT_FALSE(AreEqual(c, d, 0));
}

TEST(ArrayBaseTest, AFailingCloneLeavesNoTrace) {
    struct TFragile : TCounted {
        explicit TFragile(int k) : TCounted(k) {}
        TObject* CreateClone(void*) const override {
            if (m_key == 3) throw 1;
            return new TCounted(*this);
        }
    };
    TCountScope scope;
    TArrayBase source, target;
    source.Add(new TCounted(1));
    source.Add(new TCounted(2));
    source.Add(new TFragile(3));
    target.Add(new TCounted(8));
    target.Add(new TCounted(9));
    EXPECT_THROW(target.Insert(source, 1, nullptr), int);
    EXPECT_EQ(Keys(target), (std::vector<int>{8, 9}));
    EXPECT_EQ(Counts().Alive(), 5);
}
