// Both lists over the list engine: each shuffle against the walk it stands for (done
// step by step through the public operations), comparisons that throw while sorting or
// merging, the pointer list's moves, which keep their nodes, and lists moved as raw
// bytes, as the value arrays move them.
#include <commonvcqx/containers/Array.h>
#include <commonvcqx/containers/DoubleList.h>
#include <commonvcqx/containers/DoubleListOfPointers.h>
#include <commonvcqx/containers/FlexList.h>
#include <commonvcqx/geometry/Randomizer.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>
#include <vector>

#include "Counted.h"

namespace {

constexpr int kPlenty = 1 << 30;
int compareBudget = kPlenty;  // comparisons left before the next one throws

void SpendComparison() {
    if (compareBudget-- <= 0) throw std::runtime_error("compare");
}

class TFragile : public TCounted {
public:
    using TCounted::TCounted;
    int Compare(const TObject& other, int mode) const override {
        SpendComparison();
        return TCounted::Compare(other, mode);
    }
};

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

void Number(TDoubleList& list, int n) {
    for (int i = 0; i < n; ++i) list.Append(new TCounted(i));
}

// Pointer lists of ints that own them.
int alive = 0;

void Own(TDoubleListOfPointers& list, bool fragile) {
    list.SetDeleter([](void* p) {
        --alive;
        delete static_cast<int*>(p);
    });
    if (fragile)
        list.SetComparer([](const void* a, const void* b) {
            SpendComparison();
            return int32_t(*static_cast<const int*>(a) - *static_cast<const int*>(b));
        });
}

void* NewInt(int value) {
    ++alive;
    return new int(value);
}

std::vector<int> Values(const TDoubleListOfPointers& list) {
    std::vector<int> values;
    for (TListNode* n = list.GetFirstNode(); n; n = n->next)
        values.push_back(*static_cast<int*>(n->element));
    return values;
}

const int kSizes[] = {0, 1, 2, 3, 4, 7, 16, 63, 250};
const int kSeeds[] = {1, 2, 77, 4096, 2147483646};

}  // namespace

TEST(ListRegressionTest, ObjectListShuffleMakesTheOrderOfItsWalk) {
    TCountScope scope;
    for (int n : kSizes) {
        for (int seed : kSeeds) {
            TFlexList<TCounted> list, walked;
            Number(list, n);
            Number(walked, n);
            list.Shuffle(seed);
            // From the last element: exchange the element at a drawn index with the
            // current one, then go on to the current one's predecessor from before.
            TRandomizer random(seed);
            TListElement* current = walked.TDoubleList::GetLast();
            for (int i = 0; i < n && current; ++i) {
                TListElement* drawn = walked[int(random.Get(uint32_t(n - i)))];
                TListElement* before = current->GetPrev();
                walked.Swap(drawn, current);
                current = before;
            }
            EXPECT_EQ(Keys(list), Keys(walked)) << n << " elements, seed " << seed;
            ExpectConsistent(list);
        }
    }
    EXPECT_EQ(Counts().Alive(), 0);
}

TEST(ListRegressionTest, PointerListShuffleMakesTheOrderOfItsWalkAndKeepsTheNodes) {
    for (int n : kSizes) {
        for (int seed : kSeeds) {
            alive = 0;
            {
                TDoubleListOfPointers list, walked;
                Own(list, false);
                Own(walked, false);
                for (int i = 0; i < n; ++i) {
                    list.Append(NewInt(i));
                    walked.Append(NewInt(i));
                }
                std::vector<TListNode*> nodes;
                for (TListNode* node = list.GetFirstNode(); node; node = node->next)
                    nodes.push_back(node);
                list.Shuffle(seed);
                // From the last node: its pointer and the one at a drawn index change
                // places, then the walk steps back one node.
                TRandomizer random(seed);
                TListNode* current = walked.GetLastNode();
                for (int i = 0; i < n && current; ++i, current = current->prev)
                    std::swap(walked.FindNode(int32_t(random.Get(uint32_t(n - i))))->element,
                              current->element);
                EXPECT_EQ(Values(list), Values(walked)) << n << " elements, seed " << seed;
                std::vector<TListNode*> after;
                for (TListNode* node = list.GetFirstNode(); node; node = node->next)
                    after.push_back(node);
                EXPECT_EQ(after, nodes);
            }
            EXPECT_EQ(alive, 0);
        }
    }
}

TEST(ListRegressionTest, ObjectListCompareThatThrowsLosesNoElementNorMarksTheListSorted) {
    TCountScope scope;
    for (int budget : {0, 1, 10, 60}) {
        TFlexList<TFragile> list;
        for (int i = 0; i < 40; ++i) list.Append(new TFragile((i * 17) % 9, i));
        compareBudget = budget;
        EXPECT_THROW(list.Sort(), std::runtime_error);
        compareBudget = kPlenty;
        ExpectConsistent(list);
        // Not in the sorted state: a sorted list takes it element by element, in order.
        TFlexList<TFragile> sorted;
        sorted.Sort();
        sorted.AbsorbAndSort(list);
        EXPECT_TRUE(sorted.IsSorted()) << budget;
        EXPECT_EQ(sorted.GetCount(), 40);

        TFlexList<TFragile> more;
        for (int i = 0; i < 10; ++i) more.Append(new TFragile(i % 4, 100 + i));
        compareBudget = budget;
        EXPECT_THROW(sorted.AbsorbAndSort(more), std::runtime_error);
        compareBudget = kPlenty;
        EXPECT_EQ(sorted.GetCount() + more.GetCount(), 50);
        ExpectConsistent(sorted);
        ExpectConsistent(more);
    }
    EXPECT_EQ(Counts().Alive(), 0);
}

TEST(ListRegressionTest, PointerListComparerThatThrowsLosesNoElementNorMarksTheListSorted) {
    for (int budget : {0, 1, 10, 60}) {
        alive = 0;
        {
            TDoubleListOfPointers list, sorted, more;
            Own(list, true);
            Own(sorted, true);
            Own(more, true);
            for (int i = 0; i < 40; ++i) list.Append(NewInt((i * 17) % 9));
            compareBudget = budget;
            EXPECT_THROW(list.Sort(), std::runtime_error);
            compareBudget = kPlenty;
            EXPECT_EQ(Values(list).size(), 40u);
            sorted.Sort();
            sorted.AbsorbAndSort(list);
            EXPECT_TRUE(sorted.IsSorted()) << budget;
            for (int i = 0; i < 10; ++i) more.Append(NewInt(i % 4));
            compareBudget = budget;
            EXPECT_THROW(sorted.AbsorbAndSort(more), std::runtime_error);
            compareBudget = kPlenty;
            EXPECT_EQ(Values(sorted).size() + Values(more).size(), 50u);
            EXPECT_EQ(sorted.GetCount() + more.GetCount(), 50);
        }
        EXPECT_EQ(alive, 0);
    }
}

TEST(ListRegressionTest, PointerListMovesKeepTheNodeAndNameOnlyElementsOfTheList) {
    alive = 0;
    TDoubleListOfPointers list;
    Own(list, false);
    for (int k : {0, 1, 2, 3}) list.Append(NewInt(k));
    void* two = list.Element(2);
    TListNode* node = list.FindNode(two);
    list.MoveToFront(two);
    EXPECT_EQ(list.GetFirstNode(), node);
    list.MoveToEnd(two);
    EXPECT_EQ(list.GetLastNode(), node);
    list.MoveAt(two, list.Element(0));  // after the target: directly before it
    EXPECT_EQ(list.GetFirstNode(), node);
    EXPECT_EQ(Values(list), (std::vector<int>{2, 0, 1, 3}));
    int stranger = 9;
    list.MoveAt(&stranger, list.Element(1));  // not in the list: nothing happens
    list.MoveToFront(&stranger);
    EXPECT_EQ(Values(list), (std::vector<int>{2, 0, 1, 3}));
    EXPECT_EQ(list.GetCount(), 4);
}

TEST(ListRegressionTest, ListsStayWholeWhenAValueArrayMovesThemAsRawBytes) {
    TCountScope scope;
    struct TShelf {
        TFlexList<TCounted> items;
        TDoubleListOfPointers pointers{0};
    };
    {
        TArray<TShelf> shelves(1, 1);  // grows a slot at a time: the buffer moves often
        const TShelf empty;
        for (int i = 0; i < 200; ++i) {
            shelves.Add(empty);
            shelves[i].items.Append(new TCounted(i));
            shelves[i].pointers.Append(&shelves);
        }
        for (int i = 0; i < 200; ++i) {
            TFlexList<TCounted>& items = shelves[i].items;
            items.Prepend(new TCounted(-i));
            items.Sort();
            ExpectConsistent(items);
            EXPECT_EQ(Keys(items), (std::vector<int>{-i, i}));
            EXPECT_EQ(shelves[i].pointers.GetCount(), 1);
            shelves[i].pointers.Append(nullptr);
            EXPECT_EQ(shelves[i].pointers.GetCount(), 2);
        }
    }
    EXPECT_EQ(Counts().Alive(), 0);
}
