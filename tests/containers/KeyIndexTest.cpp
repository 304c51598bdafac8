// The key index behind the text map's lookups: adds, removals and finds against a
// model with tags that collide on purpose (clusters that wrap around the table's end,
// removals inside them), giving up on a key offered twice and on a table that cannot
// grow, and coming back when cleared.
#include <commonvcqx/containers/StringToLongAutoMap.h>
#include <commonvcqx/containers/internal/KeyIndex.h>
#include <commonvcqx/geometry/Randomizer.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/platform/internal/FailureSeams.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using cvq::detail::TKeyIndex;
using TElement = TStringAndLongForAutoMap;

bool SameKey(const THashableElement& a, const THashableElement& b) noexcept {
    return std::strcmp(static_cast<const TElement&>(a).m_key.c_str(),
                       static_cast<const TElement&>(b).m_key.c_str()) == 0;
}

THashableElement* Lookup(const TKeyIndex& index, uint32_t tag, const char* key) {
    return index.Find(tag, [key](const THashableElement& e) {
        return std::strcmp(static_cast<const TElement&>(e).m_key.c_str(), key) == 0;
    });
}

struct TPool {
    explicit TPool(int n, uint32_t tags) {
        for (int i = 0; i < n; ++i) {
            elements.push_back(std::make_unique<TElement>(("key" + std::to_string(i)).c_str(), i));
            tagOf.push_back(uint32_t(i * 2654435761u) % tags);  // few tags: long clusters
        }
    }
    std::vector<std::unique_ptr<TElement>> elements;
    std::vector<uint32_t> tagOf;
};

}  // namespace

TEST(KeyIndexTest, FindsWhatTheModelHoldsThroughCollisionsAndRemovals) {
    for (uint32_t tags : {3u, 40u, 100000u}) {
        TPool pool(600, tags);
        TKeyIndex index(SameKey);
        std::vector<bool> in(pool.elements.size(), false);
        TRandomizer random(tags);
        for (int step = 0; step < 6000; ++step) {
            const uint32_t i = random.Get(uint32_t(pool.elements.size()));
            TElement& e = *pool.elements[i];
            if (in[i]) {
                index.Remove(e, pool.tagOf[i]);
            } else {
                index.Add(e, pool.tagOf[i]);
            }
            in[i] = !in[i];
            ASSERT_TRUE(index.IsUsable());
            if (step % 97 != 0 && step < 5900) continue;
            for (size_t j = 0; j < in.size(); ++j) {
                ASSERT_EQ(Lookup(index, pool.tagOf[j], pool.elements[j]->m_key.c_str()),
                          in[j] ? pool.elements[j].get() : nullptr)
                    << "tags " << tags << " step " << step << " key " << j;
            }
        }
        // A key under another element's tag is not found.
        ASSERT_EQ(Lookup(index, pool.tagOf[1] + 1, "key1"), nullptr);
        // Emptied entry by entry, nothing is left behind.
        for (size_t j = 0; j < in.size(); ++j)
            if (in[j]) index.Remove(*pool.elements[j], pool.tagOf[j]);
        for (size_t j = 0; j < in.size(); ++j)
            ASSERT_EQ(Lookup(index, pool.tagOf[j], pool.elements[j]->m_key.c_str()), nullptr);
    }
}

TEST(KeyIndexTest, AKeyOfferedTwiceMakesItGiveUpUntilCleared) {
    TElement first("same", 1), second("same", 2), other("other", 3);
    TKeyIndex index(SameKey);
    index.Add(first, 7);
    index.Add(other, 7);  // the same tag, another key: both kept
    EXPECT_TRUE(index.IsUsable());
    EXPECT_EQ(Lookup(index, 7, "other"), &other);
    index.Add(second, 7);
    EXPECT_FALSE(index.IsUsable());
    index.Remove(first, 7);  // harmless while given up
    index.Clear();
    EXPECT_TRUE(index.IsUsable());
    EXPECT_EQ(Lookup(index, 7, "same"), nullptr);
    index.Add(second, 7);
    EXPECT_EQ(Lookup(index, 7, "same"), &second);
}

// The table comes from the default heap; a heap that cannot get memory makes the
// growth fail, and the index gives up instead of throwing.
TEST(KeyIndexTest, ATableThatCannotGrowGivesUp) {
    TPool pool(20, 100000);
    NH_Heap& previous = NH_Heap::Default();
    {
        NH_Heap starved(NH_AHeap::kNoStandardHandler);
        NH_Heap::SetDefault(starved);
        TKeyIndex index(SameKey);
        cvq::platform::FailNthOperation(cvq::platform::EFailureSeam::Reserve, 1, ENOMEM);
        index.Add(*pool.elements[0], pool.tagOf[0]);  // the first table
        cvq::platform::DisarmFailures();
        EXPECT_FALSE(index.IsUsable());
        EXPECT_EQ(Lookup(index, pool.tagOf[0], "key0"), nullptr);
        index.Clear();
        for (int i = 0; i < 20; ++i) index.Add(*pool.elements[size_t(i)], pool.tagOf[size_t(i)]);
        EXPECT_TRUE(index.IsUsable());
        EXPECT_EQ(Lookup(index, pool.tagOf[19], "key19"), pool.elements[19].get());
        NH_Heap::SetDefault(previous);
    }
}

// A text map whose index gave up (a key added twice from outside, or no memory for
// the index) still finds every key, by its buckets, and indexes again once emptied.
TEST(KeyIndexTest, TextMapLookupsSurviveAnIndexThatGaveUp) {
    TStringToLongAutoMap map;
    for (int i = 0; i < 500; ++i) map[("w" + std::to_string(i)).c_str()] = i;
    map.Add(new TElement("w7", 700));  // a second "w7": the first one is still found
    EXPECT_EQ(map["w7"], 7);
    for (int i = 0; i < 500; ++i) ASSERT_EQ(map[("w" + std::to_string(i)).c_str()], i);
    EXPECT_EQ(map["new"], 0);
    EXPECT_EQ(map.GetCount(), 502);
    const TStringToLongAutoMap copy(map);  // the copy finds the same
    EXPECT_EQ(copy.GetCount(), 502);
    map.DeleteAll();
    for (int i = 0; i < 50; ++i) map[("v" + std::to_string(i)).c_str()] = i;
    for (int i = 0; i < 50; ++i) ASSERT_EQ(map[("v" + std::to_string(i)).c_str()], i);
    EXPECT_EQ(map.GetCount(), 50);

    // Each of the first reservations fails in turn: the element's, the index table's.
    NH_Heap& previous = NH_Heap::Default();
    for (int nth = 1; nth <= 3; ++nth) {
        NH_Heap starved(NH_AHeap::kNoStandardHandler);
        TStringToLongAutoMap small;
        NH_Heap::SetDefault(starved);
        cvq::platform::FailNthOperation(cvq::platform::EFailureSeam::Reserve, nth, ENOMEM);
        try {
            small["a"] = 1;
            small["b"] = 2;
        } catch (...) {  // the element itself found no memory
        }
        cvq::platform::DisarmFailures();
        for (int i = 0; i < 100; ++i) small[("k" + std::to_string(i)).c_str()] = i;
        const int32_t count = small.GetCount();
        for (TListElement* e = small.GetFirst(); e; e = e->GetNext()) {
            auto* s = static_cast<TElement*>(e);
            ASSERT_EQ(small[s->m_key], s->m_value) << nth << " " << s->m_key.c_str();
        }
        EXPECT_EQ(small.GetCount(), count);
        EXPECT_GE(count, 100);
        small.DeleteAll();
        NH_Heap::SetDefault(previous);
    }
}
