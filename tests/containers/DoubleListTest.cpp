// The object list: ownership of every insertion, removal, copy, absorption and split;
// stable sorting and merging; relinking moves; shuffles; visiting while deleting.
#include <commonvcqx/containers/DoubleList.h>
#include <commonvcqx/containers/FlexList.h>
#include <commonvcqx/containers/StringItem.h>
#include <commonvcqx/geometry/Randomizer.h>

#include <gtest/gtest.h>

#include <vector>

#include "Counted.h"

namespace {

using TCountedList = TFlexList<TCounted>;

void Fill(TDoubleList& list, std::vector<int> keys, int firstTag = 0) {
    int tag = firstTag;
    for (int k : keys) list.Append(new TCounted(k, tag++));
}

// Walks the links both ways and checks them against the count.
void ExpectConsistent(const TDoubleList& list) {
    int n = 0;
    const TListElement* prev = nullptr;
    for (const TListElement* e = list.GetFirst(); e; e = e->GetNext(), ++n) {
        ASSERT_EQ(e->GetPrev(), prev);
        prev = e;
    }
    EXPECT_EQ(prev, list.GetLast());
    EXPECT_EQ(n, list.GetCount());
}

}  // namespace

TEST(DoubleListTest, InsertionAndRemovalOwnership) {
    TCountScope scope;
    {
        TCountedList list;
        TCounted* b = list.Append(new TCounted(2));
        list.Prepend(new TCounted(1));
        list.InsertAfter(new TCounted(3), b);
        list.InsertBefore(new TCounted(0), nullptr);  // null position: at the end
        list.InsertAfter(new TCounted(9), nullptr);   // null position: at the front
        EXPECT_EQ(Keys(list), (std::vector<int>{9, 1, 2, 3, 0}));
        ExpectConsistent(list);

        TCounted* first = list.Pop();
        TCounted* last = list.DetachLast();
        EXPECT_EQ(first->m_key, 9);
        EXPECT_EQ(last->m_key, 0);
        EXPECT_EQ(list.Detach(nullptr), nullptr);
        list.Delete(nullptr);
        list.Delete(b);  // whatever the ownership
        list.DeleteFirst();
        EXPECT_EQ(Keys(list), (std::vector<int>{3}));
        EXPECT_EQ(Counts().deleted, 2);
        TCounted probe(3);
        EXPECT_TRUE(list.DeleteEqual(probe));
        EXPECT_FALSE(list.DeleteEqual(probe));
        first->Delete();
        last->Delete();
        Fill(list, {5, 6});
        EXPECT_EQ(list.Replace(list.GetFirst(), new TCounted(7))->m_key, 7);  // old deleted
        EXPECT_EQ(Keys(list), (std::vector<int>{7, 6}));
        EXPECT_EQ(Counts().Alive(), 3);  // with the probe
    }
    EXPECT_EQ(Counts().Alive(), 0);

    TCounted a(1), b(2);
    {
        TDoubleList view(0);
        view.Append(&a);
        view.Append(&b);
        view.Clear();  // detaches only
        view.Append(&a);
        TCounted c(3);
        view.Replace(&a, &c);  // detached, not deleted
        EXPECT_EQ(view.GetFirst(), &c);
        view.DetachAll();
    }
    EXPECT_EQ(Counts().Alive(), 2);
}

TEST(DoubleListTest, AddUniqueAndSortedInsertion) {
    TCountScope scope;
    TCountedList list;
    for (int tag = 0; tag < 3; ++tag) list.InsertInSortedList(new TCounted(4, tag));
    list.InsertInSortedList(new TCounted(1));
    list.InsertInSortedList(new TCounted(8));
    EXPECT_EQ(Keys(list), (std::vector<int>{1, 4, 4, 4, 8}));
    EXPECT_EQ(Tags(list), (std::vector<int>{0, 0, 1, 2, 0}));

    TCounted* stored = list[1];
    EXPECT_EQ(list.AddUnique(new TCounted(4, 7)), stored);
    EXPECT_EQ(Counts().deleted, 1);
    EXPECT_EQ(list.AddUnique(stored), stored);  // offered again: kept
    EXPECT_EQ(Counts().deleted, 1);
    EXPECT_EQ(list.AddUnique(new TCounted(0))->m_key, 0);
    EXPECT_EQ(list.GetLast()->m_key, 0);  // appended, not sorted

    TCountedList view(0);
    TCounted mine(5), other(5);
    view.AddUnique(&mine);
    EXPECT_EQ(view.AddUnique(&other), &mine);
    EXPECT_EQ(Counts().deleted, 1);  // non-owning: the offer is left alone
    view.DetachAll();

    TCounted probe(4);
    EXPECT_EQ(list.FindIndexOfEqual(probe), 1);
    EXPECT_EQ(list.FindIndexOfElement(stored), 1);
    EXPECT_EQ(list.FindIndexOfElement(&probe), -1);
    EXPECT_TRUE(list.HasElement(stored));
    TCounted three(3), nine(9);
    EXPECT_EQ(list.FindClosestSmaller(probe)->m_key, 1);
    EXPECT_EQ(list.FindClosestGreater(probe)->m_key, 8);
    EXPECT_EQ(list.FindEqualOrSmaller(probe), stored);
    EXPECT_EQ(list.FindEqualOrGreater(three)->m_tag, 0);
    EXPECT_EQ(list.FindEqualOrGreater(three)->m_key, 4);
    EXPECT_EQ(list.FindClosestGreater(nine), nullptr);
    EXPECT_EQ(list.FindSmallest()->m_key, 0);
    EXPECT_EQ(list.FindGreatest()->m_key, 8);
    auto isFour = [](const TObject& o, const void*) -> char {
        return static_cast<const TCounted&>(o).m_key == 4;
    };
    EXPECT_EQ(list.FindFirstThat(isFour, nullptr)->m_tag, 0);
    EXPECT_EQ(list.FindLastThat(isFour, nullptr)->m_tag, 2);
}

TEST(DoubleListTest, SortIsStableAndMergesReceiverFirst) {
    TCountScope scope;
    TRandomizer random(9);
    TCountedList list;
    for (int i = 0; i < 300; ++i) list.Append(new TCounted(int(random.Get(20)), i));
    list.Sort();
    EXPECT_TRUE(list.IsSorted());
    ExpectConsistent(list);
    for (TCounted* e = list.GetFirst(); e && e->GetNext(); e = list.GetNext(e)) {
        TCounted* next = list.GetNext(e);
        if (e->m_key == next->m_key) {
            EXPECT_LT(e->m_tag, next->m_tag);
        }
    }
    EXPECT_EQ(Counts().Alive(), 300);

    TCountedList one;
    Fill(one, {1});
    one.Sort();
    TCountedList a, b;
    Fill(a, {1, 3}, 0);
    Fill(b, {2, 3}, 10);
    a.Sort();
    b.Sort();
    a.AbsorbAndSort(b);
    EXPECT_EQ(Keys(a), (std::vector<int>{1, 2, 3, 3}));
    EXPECT_EQ(Tags(a), (std::vector<int>{0, 10, 1, 11}));
    EXPECT_TRUE(b.IsEmpty());
    // Without the sorted state on both sides: sorted insertion, one by one.
    TCountedList c;
    Fill(c, {5, 0}, 20);
    a.AbsorbAndSort(c);
    EXPECT_EQ(Keys(a), (std::vector<int>{0, 1, 2, 3, 3, 5}));
    ExpectConsistent(a);
    // An empty sorted receiver takes the other whole.
    TCountedList empty;
    empty.Sort();
    one.AbsorbAndSort(empty);
    empty.AbsorbAndSort(one);
    EXPECT_EQ(Keys(empty), (std::vector<int>{1}));

    TCountedList down;
    Fill(down, {1, 5, 3});
    down.SetCompareMode(1);
    down.Sort();
    EXPECT_EQ(Keys(down), (std::vector<int>{5, 3, 1}));
    down.SetCompareMode(0);
    EXPECT_TRUE(down.IsSortedBackwards());
    down.Reverse();
    EXPECT_EQ(Keys(down), (std::vector<int>{1, 3, 5}));
    ExpectConsistent(down);
}

TEST(DoubleListTest, SwapMoveAtAndMoveToEnds) {
    TCountScope scope;
    struct TCase {
        int a, b;
        std::vector<int> result;
    };
    // Adjacent either way, first with last, general, same.
    for (const TCase& c : std::vector<TCase>{{1, 2, {0, 2, 1, 3, 4}},
                                             {2, 1, {0, 2, 1, 3, 4}},
                                             {0, 4, {4, 1, 2, 3, 0}},
                                             {3, 4, {0, 1, 2, 4, 3}},
                                             {0, 1, {1, 0, 2, 3, 4}},
                                             {1, 3, {0, 3, 2, 1, 4}},
                                             {2, 2, {0, 1, 2, 3, 4}}}) {
        TCountedList list;
        Fill(list, {0, 1, 2, 3, 4});
        list.Swap(list[c.a], list[c.b]);
        EXPECT_EQ(Keys(list), c.result) << c.a << "," << c.b;
        ExpectConsistent(list);
    }
    TCountedList list;
    Fill(list, {0, 1, 2, 3, 4});
    list.MoveAt(list[1], list[3]);  // before the target: directly after it
    EXPECT_EQ(Keys(list), (std::vector<int>{0, 2, 3, 1, 4}));
    list.MoveAt(list[4], list[0]);  // after the target: directly before it
    EXPECT_EQ(Keys(list), (std::vector<int>{4, 0, 2, 3, 1}));
    list.MoveToEnd(list[0]);
    list.MoveToFront(list[2]);
    list.MoveToFront(list[0]);  // already there
    EXPECT_EQ(Keys(list), (std::vector<int>{3, 0, 2, 1, 4}));
    ExpectConsistent(list);
}

TEST(DoubleListTest, CopiesAbsorbAndSplitOwnership) {
    TCountScope scope;
    TCountedList a;
    Fill(a, {1, 2, 3});
    a.SetCompareMode(1);
    a.Sort();
    {
        TCountedList copy(a);
        EXPECT_EQ(Counts().cloned, 3);
        EXPECT_EQ(copy.GetCompareMode(), 1);
        EXPECT_TRUE(AreEqual(a, copy, 0));
        TCountedList assigned;
        Fill(assigned, {9});
        assigned = a;  // its own element dies
        EXPECT_EQ(Counts().deleted, 1);
        assigned = *&assigned;  // self-assignment
        EXPECT_EQ(assigned.GetCompareMode(), 1);
        assigned.Insert(assigned, assigned[1], nullptr);  // itself, before the middle
        EXPECT_EQ(Keys(assigned), (std::vector<int>{3, 3, 2, 1, 2, 1}));
        assigned += a;
        EXPECT_EQ(assigned.GetCount(), 9);
    }
    EXPECT_EQ(Counts().Alive(), 3);

    TCounted outside(0);
    TCountedList view(0);
    view.Append(&outside);
    view.Assign(a, nullptr);  // non-owning: the old element is detached only
    EXPECT_EQ(Counts().Alive(), 7);
    view.ShouldDeleteElements(1);

    TCountedList b;
    Fill(b, {7, 8});
    const int alive = Counts().Alive();
    b.Absorb(view, b[1]);
    EXPECT_EQ(Keys(b), (std::vector<int>{7, 3, 2, 1, 8}));
    EXPECT_TRUE(view.IsEmpty());
    EXPECT_EQ(Counts().Alive(), alive);
    ExpectConsistent(b);

    TCountedList rest;
    Fill(rest, {99});  // cleared first: deleted, as rest owns it
    b.Split(rest, b[2]);
    EXPECT_EQ(Keys(b), (std::vector<int>{7, 3}));
    EXPECT_EQ(Keys(rest), (std::vector<int>{2, 1, 8}));
    EXPECT_EQ(Counts().Alive(), alive);
    ExpectConsistent(b);
    ExpectConsistent(rest);
    rest.Split(b, rest.GetFirst());  // at the first: everything moves
    EXPECT_TRUE(rest.IsEmpty());
    EXPECT_EQ(Keys(b), (std::vector<int>{2, 1, 8}));
    EXPECT_EQ(Counts().Alive(), alive - 2);

    TCountedList c;
    c.SwapWith(b);
    EXPECT_EQ(c.GetCount(), 3);
    EXPECT_TRUE(b.IsEmpty());
}

TEST(DoubleListTest, ForEachMayDeleteAndShuffleIsReproducible) {
    TCountScope scope;
    TCountedList list;
    Fill(list, {0, 1, 2, 3, 4, 5});
    int visits = 0;
    struct TVisit {
        TCountedList* list;
        int* visits;
    } visit{&list, &visits};
    list.ForEach(
        [](TObject& o, void* data) {
            auto* v = static_cast<TVisit*>(data);
            ++*v->visits;
            v->list->Delete(static_cast<TCounted*>(&o));
        },
        &visit);
    EXPECT_EQ(visits, 6);
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(Counts().Alive(), 0);

    for (int seed : {1, 77}) {
        TCountedList x, y;
        Fill(x, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
        Fill(y, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
        x.Shuffle(seed);
        y.Shuffle(seed);
        EXPECT_EQ(Keys(x), Keys(y));
        EXPECT_NE(Keys(x), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
        ExpectConsistent(x);
        std::vector<int> sorted = Keys(x);
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    }
}

TEST(DoubleListTest, StringItems) {
    using TItem = TStringItem<TListElement>;
    TFlexList<TItem> names;
    for (const char* n : {"Bach", "bach", "Abel", "\xe9t\xe9"})
        names.InsertInSortedList(new TItem(n));
    std::vector<std::string> order;
    for (auto& item : names) order.push_back(item.c_str());
    EXPECT_EQ(order, (std::vector<std::string>{"Abel", "Bach", "bach", "\xe9t\xe9"}));
    TItem probe("bach");
    EXPECT_EQ(names.FindIndexOfEqual(probe), 2);
    TItem abc("abc");
    EXPECT_EQ(abc.GetHashedValue(), 291u);
    TFlexList<TItem> copy(names);
    EXPECT_TRUE(AreEqual(names, copy, 0));
    copy.GetFirst()->SetString("Zelenka");
    EXPECT_FALSE(AreEqual(names, copy, 0));
    EXPECT_STREQ(names.GetFirst()->c_str(), "Abel");
}
