// The list engine against std::list as its model: long random runs of every operation
// over two lists, once for each pair of links an element carries; sorting, merging and
// comparators that throw; one element in two lists at once.
#include <commonvcqx/base/IntrusiveList.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <list>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

// An element with two pairs of links, so that it can stand in two lists at once.
struct TItem {
    int key = 0;
    int id = 0;
    TItem* next[2] = {};
    TItem* prev[2] = {};
};

template <int kPair>
struct TLinksOf {
    using TElement = TItem;
    static TItem*& Next(TItem& e) noexcept { return e.next[kPair]; }
    static TItem*& Prev(TItem& e) noexcept { return e.prev[kPair]; }
};

bool ByKey(const TItem& a, const TItem& b) {
    return a.key < b.key;
}

template <class TLinks>
std::vector<TItem*> Walk(const cvq::TIntrusiveList<TLinks>& list) {
    std::vector<TItem*> order;
    for (TItem* e = list.First(); e; e = TLinks::Next(*e)) order.push_back(e);
    return order;
}

// Checks the chain both ways, its ends and its count against the model.
template <class TLinks>
void ExpectMatches(const cvq::TIntrusiveList<TLinks>& list, const std::list<TItem*>& model) {
    ASSERT_EQ(Walk(list), std::vector<TItem*>(model.begin(), model.end()));
    std::vector<TItem*> back;
    for (TItem* e = list.Last(); e; e = TLinks::Prev(*e)) back.push_back(e);
    ASSERT_EQ(back, std::vector<TItem*>(model.rbegin(), model.rend()));
    ASSERT_EQ(list.Count(), int32_t(model.size()));
    ASSERT_EQ(list.IsEmpty(), model.empty());
}

// The shuffle's walk done literally on the model: exchange the element at the drawn
// index with the current one, then go on to the current one's former predecessor.
void WalkShuffle(std::list<TItem*>& model, std::vector<uint32_t> draws) {
    const int n = int(model.size());
    auto current = model.empty() ? model.end() : std::prev(model.end());
    for (int i = 0; i < n && current != model.end(); ++i) {
        auto drawn = std::next(model.begin(), draws[size_t(i)]);
        TItem* before = current == model.begin() ? nullptr : *std::prev(current);
        std::iter_swap(drawn, current);
        current = before ? std::find(model.begin(), model.end(), before) : model.end();
    }
}

template <class TLinks>
class IntrusiveListTest : public ::testing::Test {
protected:
    using TList = cvq::TIntrusiveList<TLinks>;
    static constexpr int kItems = 120;

    IntrusiveListTest() : m_items(kItems), m_where(kItems, -1) {
        for (int i = 0; i < kItems; ++i) m_items[size_t(i)].id = i;
    }

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    // An element of list l (its place in the model), or the end.
    std::list<TItem*>::iterator PickIn(int l, bool endToo) {
        const int n = int(m_models[l].size()) + (endToo ? 1 : 0);
        return std::next(m_models[l].begin(), n ? Pick(n) : 0);
    }
    TItem* At(int l, std::list<TItem*>::iterator it) {
        return it == m_models[l].end() ? nullptr : *it;
    }
    TItem* PickFree() {
        for (int tries = 0; tries < kItems; ++tries) {
            TItem& item = m_items[size_t(Pick(kItems))];
            if (m_where[size_t(item.id)] < 0) {
                item.key = Pick(8);  // few keys: many equal ones for the stability checks
                return &item;
            }
        }
        return nullptr;
    }
    void Link(int l, TItem* item) { m_where[size_t(item->id)] = l; }

    void Step(int l) {
        const int o = 1 - l;
        TList& list = m_lists[l];
        std::list<TItem*>& model = m_models[l];
        switch (Pick(15)) {
            case 0:  // link at an end
            case 1:
                if (TItem* item = PickFree()) {
                    Link(l, item);
                    if (Pick(2)) {
                        list.PushFront(*item);
                        model.push_front(item);
                    } else {
                        list.PushBack(*item);
                        model.push_back(item);
                    }
                }
                break;
            case 2:  // link before or after a position, null included
                if (TItem* item = PickFree()) {
                    Link(l, item);
                    auto pos = PickIn(l, true);
                    if (Pick(2)) {
                        list.InsertBefore(*item, At(l, pos));
                        model.insert(pos, item);
                    } else {
                        list.InsertAfter(*item, At(l, pos));
                        model.insert(pos == model.end() ? model.begin() : std::next(pos), item);
                    }
                }
                break;
            case 3:  // unlink
                if (!model.empty()) {
                    auto it = PickIn(l, false);
                    TItem* item = *it;
                    list.Unlink(*item);
                    model.erase(it);
                    m_where[size_t(item->id)] = -1;
                    EXPECT_EQ(TLinks::Next(*item), nullptr);
                    EXPECT_EQ(TLinks::Prev(*item), nullptr);
                }
                break;
            case 4:  // move within the list
                if (model.size() >= 2) {
                    auto it = PickIn(l, false);
                    auto pos = PickIn(l, true);
                    if (pos == it) break;
                    list.MoveBefore(**it, At(l, pos));
                    model.splice(pos, model, it);
                }
                break;
            case 5:  // exchange two places, neighbours and ends included
                if (!model.empty()) {
                    auto a = PickIn(l, false);
                    auto b = Pick(2)                       ? PickIn(l, false)
                             : std::next(a) == model.end() ? a
                                                           : std::next(a);
                    list.Exchange(**a, **b);
                    std::iter_swap(a, b);
                }
                break;
            case 6:
                list.Reverse();
                model.reverse();
                break;
            case 7:  // split off a tail and splice it into the other list
                if (!model.empty()) {
                    auto at = PickIn(l, false);
                    TList rest;
                    list.Split(**at, rest);
                    std::list<TItem*> restModel;
                    restModel.splice(restModel.end(), model, at, model.end());
                    ExpectMatches(list, model);
                    ExpectMatches(rest, restModel);
                    for (TItem* item : restModel) Link(o, item);
                    auto pos = PickIn(o, true);
                    m_lists[o].Splice(At(o, pos), rest);
                    m_models[o].splice(pos, restModel);
                    EXPECT_TRUE(rest.IsEmpty());
                }
                break;
            case 8:  // absorb the other list whole
            {
                for (TItem* item : m_models[o]) Link(l, item);
                auto pos = PickIn(l, true);
                list.Splice(At(l, pos), m_lists[o]);
                model.splice(pos, m_models[o]);
                break;
            }
            case 9:
                list.Sort(ByKey);
                model.sort([](const TItem* a, const TItem* b) { return a->key < b->key; });
                EXPECT_TRUE(list.IsSorted(ByKey));
                break;
            case 10:  // merge two sorted lists; this list's equal elements first
                list.Sort(ByKey);
                m_lists[o].Sort(ByKey);
                m_models[l].sort([](const TItem* a, const TItem* b) { return a->key < b->key; });
                m_models[o].sort([](const TItem* a, const TItem* b) { return a->key < b->key; });
                for (TItem* item : m_models[o]) Link(l, item);
                list.Merge(m_lists[o], ByKey);
                model.merge(m_models[o],
                            [](const TItem* a, const TItem* b) { return a->key < b->key; });
                break;
            case 11: {
                std::vector<uint32_t> draws;
                for (int i = 0; i < int(model.size()); ++i)
                    draws.push_back(uint32_t(Pick(int(model.size()) - i)));
                std::vector<TItem*> scratch(model.size() + size_t(Pick(3)));
                size_t next = 0;
                list.Shuffle(std::span(scratch), [&](uint32_t n) {
                    EXPECT_LT(draws[next], n);
                    return draws[next++];
                });
                WalkShuffle(model, draws);
                break;
            }
            case 12: {  // searches
                const int key = Pick(8);
                auto hasKey = [key](const TItem& e) { return e.key == key; };
                auto first =
                    std::find_if(model.begin(), model.end(), [&](TItem* e) { return hasKey(*e); });
                auto last = std::find_if(model.rbegin(), model.rend(),
                                         [&](TItem* e) { return hasKey(*e); });
                EXPECT_EQ(list.FindFirst(hasKey), first == model.end() ? nullptr : *first);
                EXPECT_EQ(list.FindLast(hasKey), last == model.rend() ? nullptr : *last);
                EXPECT_EQ(list.IndexOfFirst(hasKey),
                          first == model.end() ? -1 : int32_t(std::distance(model.begin(), first)));
                const int index = Pick(int(model.size()) + 3) - 1;
                TItem* expected = index < 0 ? (model.empty() ? nullptr : model.front())
                                  : index < int(model.size()) ? *std::next(model.begin(), index)
                                                              : nullptr;
                EXPECT_EQ(list.At(index), expected);
                EXPECT_EQ(list.IsSorted(ByKey), std::is_sorted(model.begin(), model.end(),
                                                               [](const TItem* a, const TItem* b) {
                                                                   return a->key < b->key;
                                                               }));
                break;
            }
            case 13: {  // visit, unlinking the element visited
                const int key = Pick(8);
                list.ForEach([&](TItem& e) {
                    if (e.key != key) return;
                    list.Unlink(e);
                    m_where[size_t(e.id)] = -1;
                });
                model.remove_if([key](const TItem* e) { return e->key == key; });
                break;
            }
            case 14:
                list.SwapWith(m_lists[o]);
                model.swap(m_models[o]);
                for (TItem* item : m_models[l]) Link(l, item);
                for (TItem* item : m_models[o]) Link(o, item);
                break;
        }
        ExpectMatches(m_lists[0], m_models[0]);
        ExpectMatches(m_lists[1], m_models[1]);
    }

    std::mt19937 m_random{20240611};
    std::vector<TItem> m_items;
    std::vector<int> m_where;  // the list each item is in, or -1
    TList m_lists[2];
    std::list<TItem*> m_models[2];
};

using TPolicies = ::testing::Types<TLinksOf<0>, TLinksOf<1>>;
TYPED_TEST_SUITE(IntrusiveListTest, TPolicies);

TYPED_TEST(IntrusiveListTest, BehavesAsTheModelOverLongRandomRuns) {
    for (int step = 0; step < 20000 && !this->HasFatalFailure(); ++step) this->Step(step % 2);
}

// A comparator that throws once its budget of comparisons is spent.
struct TFragileLess {
    int* budget;
    bool operator()(const TItem& a, const TItem& b) const {
        if ((*budget)-- <= 0) throw std::runtime_error("compare");
        return a.key < b.key;
    }
};

TYPED_TEST(IntrusiveListTest, AComparatorThatThrowsLeavesEveryElementInTheChain) {
    std::vector<TItem> items(64);
    for (auto [sortBudget, mergeBudget] : {std::pair{0, 0}, {1, 1}, {7, 3}, {40, 5}, {90, 8}}) {
        typename TestFixture::TList list, other;
        for (size_t i = 0; i < items.size(); ++i) {
            items[i].key = int((i * 37) % 11);
            (i % 3 ? list : other).PushBack(items[i]);
        }
        int left = sortBudget;
        EXPECT_THROW(list.Sort(TFragileLess{&left}), std::runtime_error);
        int plenty = 1 << 30;
        other.Sort(TFragileLess{&plenty});
        left = mergeBudget;
        EXPECT_THROW(list.Merge(other, TFragileLess{&left}), std::runtime_error);
        EXPECT_TRUE(other.IsEmpty());  // every element came across before comparing
        std::vector<TItem*> all = Walk(list);
        std::sort(all.begin(), all.end());
        std::vector<TItem*> expected;
        for (TItem& item : items) expected.push_back(&item);
        EXPECT_EQ(all, expected) << sortBudget;
        std::list<TItem*> model;
        for (TItem* e = list.First(); e; e = TypeParam::Next(*e)) model.push_back(e);
        ExpectMatches(list, model);
    }
}

TEST(IntrusiveListTest, SortIsStableOnALongList) {
    using TList = cvq::TIntrusiveList<TLinksOf<0>>;
    std::vector<TItem> items(100000);
    std::mt19937 random(7);
    TList list;
    for (size_t i = 0; i < items.size(); ++i) {
        items[i] = TItem{int(random() % 1000), int(i), {}, {}};
        list.PushBack(items[i]);
    }
    list.Sort(ByKey);
    std::vector<TItem*> order = Walk(list);
    ASSERT_EQ(order.size(), items.size());
    for (size_t i = 1; i < order.size(); ++i) {
        ASSERT_LE(order[i - 1]->key, order[i]->key);
        if (order[i - 1]->key == order[i]->key) {
            ASSERT_LT(order[i - 1]->id, order[i]->id);
        }
    }
    EXPECT_EQ(list.Last(), order.back());
    EXPECT_EQ(TLinksOf<0>::Prev(*list.First()), nullptr);
}

TEST(IntrusiveListTest, OneElementStandsInTwoListsThroughItsTwoPairsOfLinks) {
    std::vector<TItem> items(6);
    cvq::TIntrusiveList<TLinksOf<0>> all;
    cvq::TIntrusiveList<TLinksOf<1>> some;
    for (size_t i = 0; i < items.size(); ++i) {
        items[i].key = int(i);
        all.PushBack(items[i]);
        if (i % 2 == 0) some.PushFront(items[i]);
    }
    some.Sort(ByKey);
    all.Reverse();
    all.Unlink(items[2]);
    EXPECT_EQ(some.Count(), 3);
    EXPECT_EQ(some.First(), &items[0]);
    EXPECT_EQ(TLinksOf<1>::Next(items[0]), &items[2]);
    EXPECT_EQ(TLinksOf<1>::Next(items[2]), &items[4]);
    EXPECT_EQ(all.Count(), 5);
    EXPECT_EQ(all.First(), &items[5]);
    EXPECT_EQ(TLinksOf<0>::Next(items[3]), &items[1]);
}

// The heaps move a page set's pages whole; the lists it stands in follow it.
TEST(IntrusiveListTest, AnElementMovedInMemoryIsFoundAtItsNewPlace) {
    using TList = cvq::TIntrusiveList<TLinksOf<0>>;
    for (size_t count : {1, 2, 5}) {
        for (size_t moved = 0; moved < count; ++moved) {
            std::vector<TItem> items(count + 1);  // the last one is where it moves to
            TList list;
            std::list<TItem*> model;
            for (size_t i = 0; i < count; ++i) {
                list.PushBack(items[i]);
                model.push_back(&items[i]);
            }
            items[count] = items[moved];
            items[moved] = TItem{};
            list.Relocated(items[count]);
            std::replace(model.begin(), model.end(), &items[moved], &items[count]);
            ExpectMatches(list, model);
        }
    }
}

}  // namespace
