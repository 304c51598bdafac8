#include "Counted.h"

#include <commonvcqx/containers/ArrayBase.h>
#include <commonvcqx/containers/DoubleList.h>
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>
#include <commonvcqx/text/Checksums.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

// A counted element that stores its key as one 32-bit value under its tag. Keys of
// kThrows make the restore throw; kRefuses make it report failure.
constexpr int kThrows = -1000;
constexpr int kRefuses = -2000;

class TStored : public TCounted {
public:
    TStored() : TCounted(0) {}
    void WriteState(TTaggedOutputStream& out, int32_t, const char* name, int index) const override {
        out.SetValue(int32_t(m_key), name, index);
    }
    char RestoreState(TTaggedInputStream& in, int32_t, const char* name, int index) override {
        m_key = in.GetValue(int32_t(INT_MIN), name, index);
        if (m_key == kThrows) throw std::runtime_error("element failed");
        return m_key != INT_MIN && m_key != kRefuses;
    }
};

// Restores "successfully" whether or not its tag is there.
class TAlwaysThere : public TCounted {
public:
    TAlwaysThere() : TCounted(0) {}
    char RestoreState(TTaggedInputStream&, int32_t, const char*, int) override { return 1; }
};

// Not a list element at all.
class TPlain : public TObject {
public:
    TPlain() { ++Counts().made; }
    ~TPlain() override { ++Counts().deleted; }
};

int32_t g_lastContext = 0;
TObject* MakeStored(int32_t context) {
    g_lastContext = context;
    return new TStored;
}
TObject* MakeAlwaysThere(int32_t) {
    return new TAlwaysThere;
}
TObject* MakeNothing(int32_t) {
    return nullptr;
}
TObject* MakePlain(int32_t) {
    return new TPlain;
}

std::vector<uint8_t> Bytes(TTaggedOutputStream& out) {
    const uint8_t* start = reinterpret_cast<const uint8_t*>(out.GetStart());
    return std::vector<uint8_t>(start, start + out.GetSize());
}

template <class Container>
void Fill(Container& c, std::vector<int> keys) {
    for (int key : keys) {
        TStored* e = new TStored;
        e->m_key = key;
        c.Append(e);
    }
}

std::vector<int> ListKeys(const TDoubleList& list) {
    std::vector<int> keys;
    for (TListElement* e = list.GetFirst(); e; e = list.GetNext(e))
        keys.push_back(static_cast<TCounted*>(e)->m_key);
    return keys;
}

}  // namespace

TEST(CollectionStateTest, ArrayAndListWriteTheSameExactBytes) {
    const std::vector<uint8_t> expectedTail = {
        // 8: length 116; 12: "d"
        0x74, 0, 0, 0, 'd', 0, 0, 0,
        // 16: root, first and last child 44
        0, 0, 0, 0, 0, 0, 20, 0, 0, 0, 0, 0, 44, 0, 0, 0, 44, 0, 0, 0, 'R', 'o', 'o', 't', 0, 0, 0,
        0,
        // 44: group "A", parent 16, children 68 to 100
        0, 0, 0, 0, 0, 0, 20, 0, 16, 0, 0, 0, 68, 0, 0, 0, 100, 0, 0, 0, 'A', 0, 0, 0,
        // 68: "Siz" 2, next 84
        84, 0, 0, 0, 4, 12, 8, 0, 'S', 'i', 'z', 0, 2, 0, 0, 0,
        // 84: "E" 7, next 100
        100, 0, 0, 0, 4, 12, 8, 0, 'E', 0, 0, 0, 7, 0, 0, 0,
        // 100: "E1" 9
        0, 0, 0, 0, 4, 12, 8, 0, 'E', '1', 0, 0, 9, 0, 0, 0};
    TCountScope scope;
    TArrayBase array;
    TDoubleList list;
    Fill(array, {7, 9});
    Fill(list, {7, 9});
    for (int which = 0; which < 2; ++which) {
        TTaggedOutputStream out(1, "d", 1);
        if (which == 0)
            array.WriteState(out, 0, "A", 0);
        else
            list.WriteState(out, 0, "A", 0);
        out.CloseWriting();
        const std::vector<uint8_t> bytes = Bytes(out);
        ASSERT_EQ(bytes.size(), 116u) << which;
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4),
                  (std::vector<uint8_t>{'L', 'E', 0, 0}));
        uint32_t crc;
        std::memcpy(&crc, bytes.data() + 4, 4);
        EXPECT_EQ(crc, ComputeCrc32(out.GetStart() + 12, 116 - 12));
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 8, bytes.end()), expectedTail) << which;
    }
}

TEST(CollectionStateTest, RoundTripsAppendAndOwnEveryElement) {
    TCountScope scope;
    {
        TTaggedOutputStream out(1, "doc", 1);
        {
            TArrayBase array;
            TDoubleList list;
            Fill(array, {3, 1, 4});
            Fill(list, {1, 5});
            out.MoveDown("Doc/Parts", 0);
            array.WriteState(out, 5, "Arr", 2);
            list.WriteState(out, 5, "Lst", 0);
            TDoubleList().WriteState(out, 5, "Empty", 0);
            out.SetValue(int32_t(77), "After", 0);
            out.CloseWriting();
        }
        EXPECT_EQ(Counts().Alive(), 0);

        TTaggedInputStream in(1, const_cast<char*>(out.GetStart()), int32_t(out.GetSize()), 0);
        ASSERT_TRUE(in.MoveDown("Doc/Parts", 0));
        TArrayBase array(20, 20, 1, MakeStored);
        Fill(array, {9});  // restored elements are appended
        TDoubleList list(1, MakeStored);
        TDoubleList empty(1, MakeStored);
        EXPECT_TRUE(array.RestoreState(in, 42, "Arr", 2));
        EXPECT_EQ(g_lastContext, 42);
        EXPECT_TRUE(list.RestoreState(in, 42, "Lst", 0));
        EXPECT_TRUE(empty.RestoreState(in, 42, "Empty", 0));
        // The reader is back in the group it was in, and still finds what follows.
        EXPECT_EQ(in.GetValue(int32_t(0), "After", 0), 77);
        EXPECT_EQ(Keys(array), (std::vector<int>{9, 3, 1, 4}));
        EXPECT_EQ(ListKeys(list), (std::vector<int>{1, 5}));
        EXPECT_EQ(empty.GetCount(), 0);
        // Reading the same container twice gives the same elements again.
        EXPECT_TRUE(list.RestoreState(in, 0, "Lst", 0));
        EXPECT_EQ(ListKeys(list), (std::vector<int>{1, 5, 1, 5}));
        EXPECT_EQ(Counts().Alive(), 8);
    }
    EXPECT_EQ(Counts().Alive(), 0);
}

TEST(CollectionStateTest, UntaggedStreamsReadInSequence) {
    TCountScope scope;
    TTaggedOutputStream out(0, "doc", 1);
    {
        TArrayBase array;
        Fill(array, {2, 4, 6});
        array.WriteState(out, 0, "A", 0);
        out.SetValue(int32_t(8), "After", 0);
        out.CloseWriting();
    }
    TTaggedInputStream in(0, const_cast<char*>(out.GetStart()), int32_t(out.GetSize()), 0);
    TDoubleList list(1, MakeStored);
    EXPECT_TRUE(list.RestoreState(in, 0, "A", 0));
    EXPECT_EQ(ListKeys(list), (std::vector<int>{2, 4, 6}));
    EXPECT_EQ(in.GetValue(int32_t(0), "After", 0), 8);
}

TEST(CollectionStateTest, MissingOrRefusedElementsEndTheRestoreWithoutLeaks) {
    TCountScope scope;
    TTaggedOutputStream out(1, "doc", 1);
    out.MoveDown("Gap", 0);  // "Siz" 3 but no second element
    out.SetValue(int32_t(3), "Siz", 0);
    out.SetValue(int32_t(10), "E", 0);
    out.SetValue(int32_t(30), "E", 2);
    out.MoveUp();
    out.MoveDown("Refused", 0);
    out.SetValue(int32_t(2), "Siz", 0);
    out.SetValue(int32_t(10), "E", 0);
    out.SetValue(int32_t(kRefuses), "E", 1);
    out.MoveUp();
    out.MoveDown("NoCount", 0);
    out.SetValue(int32_t(10), "E", 0);
    out.MoveUp();
    out.CloseWriting();

    struct Case {
        const char* group;
        TElementFactory factory;
        char result;
        int32_t count;
    } cases[] = {
        {"Missing", MakeStored, 0, 1}, {"Gap", MakeStored, 1, 2}, {"Refused", MakeStored, 1, 2},
        {"NoCount", MakeStored, 1, 1}, {"Gap", nullptr, 1, 1},    {"Gap", MakeNothing, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.group);
        TTaggedInputStream in(1, const_cast<char*>(out.GetStart()), int32_t(out.GetSize()), 0);
        TArrayBase array(20, 20, 1, c.factory);
        TDoubleList list(1, c.factory);
        Fill(array, {1});
        Fill(list, {1});
        EXPECT_EQ(array.RestoreState(in, 0, c.group, 0), c.result);
        EXPECT_EQ(list.RestoreState(in, 0, c.group, 0), c.result);
        EXPECT_EQ(array.GetCount(), c.count);
        EXPECT_EQ(list.GetCount(), c.count);
        EXPECT_EQ(Counts().Alive(), 2 * c.count);
    }
    EXPECT_EQ(Counts().Alive(), 0);

    // A list given something other than list elements takes none and keeps none.
    TTaggedInputStream in(1, const_cast<char*>(out.GetStart()), int32_t(out.GetSize()), 0);
    TDoubleList list(1, MakePlain);
    EXPECT_TRUE(list.RestoreState(in, 0, "Gap", 0));
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(Counts().Alive(), 0);
}

TEST(CollectionStateTest, AnElementThatThrowsIsNotLeaked) {
    TCountScope scope;
    TTaggedOutputStream out(1, "doc", 1);
    out.MoveDown("A", 0);
    out.SetValue(int32_t(2), "Siz", 0);
    out.SetValue(int32_t(10), "E", 0);
    out.SetValue(int32_t(kThrows), "E", 1);
    out.MoveUp();
    out.SetValue(int32_t(5), "After", 0);
    out.CloseWriting();
    TTaggedInputStream in(1, const_cast<char*>(out.GetStart()), int32_t(out.GetSize()), 0);
    {
        TArrayBase array(20, 20, 1, MakeStored);
        EXPECT_THROW(array.RestoreState(in, 0, "A", 0), std::runtime_error);
        EXPECT_EQ(array.GetCount(), 1);
    }
    EXPECT_EQ(Counts().Alive(), 0);
    // The reader was put back in the root as the exception passed.
    EXPECT_EQ(in.GetValue(int32_t(0), "After", 0), 5);
}

TEST(CollectionStateTest, ADamagedCountIsBoundedByTheBlock) {
    TCountScope scope;
    for (int32_t count : {INT32_MAX, 1 << 20, -5}) {
        TTaggedOutputStream out(1, "doc", 1);
        out.MoveDown("A", 0);
        out.SetValue(count, "Siz", 0);
        out.CloseWriting();
        const uint32_t size = out.GetSize();
        TTaggedInputStream in(1, const_cast<char*>(out.GetStart()), int32_t(size), 0);
        TArrayBase array(20, 20, 1, MakeAlwaysThere);
        TDoubleList list(1, MakeAlwaysThere);
        EXPECT_TRUE(array.RestoreState(in, 0, "A", 0));
        EXPECT_TRUE(list.RestoreState(in, 0, "A", 0));
        // No more elements than nodes of 12 bytes could fit in the block.
        const int32_t most = count < 0 ? 0 : int32_t(size / 12);
        EXPECT_EQ(array.GetCount(), most) << count;
        EXPECT_EQ(list.GetCount(), most) << count;
    }
    EXPECT_EQ(Counts().Alive(), 0);
}
