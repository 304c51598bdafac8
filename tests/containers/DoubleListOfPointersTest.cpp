// The list of pointers: its own nodes, the deleter, comparer and cloner, identity by
// pointer value.
#include <commonvcqx/containers/DoubleListOfPointers.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

int alive = 0;

struct TValue {
    int key;
    int tag;
};

void* MakeValue(int key, int tag = 0) {
    ++alive;
    return new TValue{key, tag};
}

void Configure(TDoubleListOfPointers& list) {
    list.SetDeleter([](void* p) {
        --alive;
        delete static_cast<TValue*>(p);
    });
    list.SetComparer([](const void* a, const void* b) {
        return int32_t(static_cast<const TValue*>(a)->key - static_cast<const TValue*>(b)->key);
    });
    list.SetCloner([](const void* p, void*) -> void* {
        ++alive;
        return new TValue(*static_cast<const TValue*>(p));
    });
}

std::vector<int> Keys(const TDoubleListOfPointers& list) {
    std::vector<int> keys;
    for (TListNode* n = list.GetFirstNode(); n; n = n->next)
        keys.push_back(static_cast<TValue*>(n->element)->key);
    return keys;
}

std::vector<int> Tags(const TDoubleListOfPointers& list) {
    std::vector<int> tags;
    for (TListNode* n = list.GetFirstNode(); n; n = n->next)
        tags.push_back(static_cast<TValue*>(n->element)->tag);
    return tags;
}

}  // namespace

TEST(DoubleListOfPointersTest, OwnershipThroughTheDeleter) {
    alive = 0;
    {
        TDoubleListOfPointers list;
        Configure(list);
        void* a = list.Append(MakeValue(1));
        list.Append(MakeValue(3));
        list.InsertBefore(MakeValue(2), list.GetLast());
        list.InsertAfter(MakeValue(0), nullptr);
        EXPECT_EQ(Keys(list), (std::vector<int>{0, 1, 2, 3}));
        EXPECT_EQ(list.GetNext(a), list.Element(2));
        EXPECT_EQ(list.GetPrev(list.GetFirst()), nullptr);
        EXPECT_EQ(list.FindIndexOfElement(a), 1);

        TValue probe{2, 0};
        EXPECT_TRUE(list.DeleteEqual(&probe));
        EXPECT_EQ(alive, 3);
        void* detached = list.Detach(a);
        EXPECT_EQ(detached, a);
        EXPECT_FALSE(list.HasElement(a));
        list.Replace(list.GetFirst(), a);  // old one deleted: owning
        EXPECT_EQ(alive, 2);
        EXPECT_EQ(list.AddUnique(MakeValue(3, 1)), list.GetLast());  // offer deleted
        EXPECT_EQ(alive, 2);
        EXPECT_EQ(list.AddUnique(list.GetLast()), list.GetLast());  // offered again: kept
        EXPECT_EQ(alive, 2);
        list.Append(detached == a ? MakeValue(4) : nullptr);
        EXPECT_EQ(Keys(list), (std::vector<int>{1, 3, 4}));
    }
    alive = 0;
    TValue kept{5, 0};
    {
        TDoubleListOfPointers view(0);
        Configure(view);
        view.Append(&kept);
        view.Append(&kept);  // the same pointer twice
        EXPECT_EQ(view.FindIndexOfElement(&kept), 0);
        view.Delete(nullptr);
    }
    EXPECT_EQ(alive, 0);  // non-owning: nodes freed, elements kept
}

TEST(DoubleListOfPointersTest, SortMergeAndCopies) {
    alive = 0;
    {
        TDoubleListOfPointers list;
        Configure(list);
        int tag = 0;
        for (int k : {3, 1, 3, 2, 1, 3, 0}) list.Append(MakeValue(k, tag++));
        list.Sort();
        EXPECT_EQ(Keys(list), (std::vector<int>{0, 1, 1, 2, 3, 3, 3}));
        EXPECT_EQ(Tags(list), (std::vector<int>{6, 1, 4, 3, 0, 2, 5}));  // stable
        EXPECT_TRUE(list.IsSorted());

        TDoubleListOfPointers other;
        Configure(other);
        other.Append(MakeValue(1, 10));
        other.Append(MakeValue(4, 11));
        other.Sort();
        list.AbsorbAndSort(other);
        EXPECT_EQ(Tags(list), (std::vector<int>{6, 1, 4, 10, 3, 0, 2, 5, 11}));
        EXPECT_TRUE(other.IsEmpty());

        TDoubleListOfPointers copy(list);
        EXPECT_EQ(alive, 18);
        EXPECT_TRUE(AreEqual(list, copy));
        copy.Split(other, copy.Element(4));
        EXPECT_EQ(copy.GetCount(), 4);
        EXPECT_EQ(other.GetCount(), 5);
        other = list;  // its five die, nine clones come
        EXPECT_EQ(alive, 4 + 9 + 9);
        list.Shuffle(5);
        copy = other;
        copy.Shuffle(5);
        EXPECT_EQ(Keys(list), Keys(copy));
        list.Reverse();
        copy.Reverse();
        EXPECT_EQ(Tags(list), Tags(copy));
        list.Insert(list, list.Element(1), nullptr);
        EXPECT_EQ(list.GetCount(), 18);
        list.Absorb(copy, nullptr);
        EXPECT_EQ(list.GetCount(), 27);
        EXPECT_EQ(alive, 27 + 9);
    }
    EXPECT_EQ(alive, 0);
}
