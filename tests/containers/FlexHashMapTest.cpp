// The hash map and lookup table: growth by the prime table, remapping, bucket runs
// after detaching a bucket head, ownership, copies with their own buckets.
#include <commonvcqx/containers/FlexHashMap.h>
#include <commonvcqx/containers/LookupTable.h>
#include <commonvcqx/containers/StringToLongAutoMap.h>
#include <commonvcqx/geometry/Randomizer.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Counted.h"

namespace {

class THashedCounted : public THashableElement {
public:
    THashedCounted(int key, unsigned hash) : m_key(key), m_hash(hash) { ++Counts().made; }
    THashedCounted(const THashedCounted& other)
        : THashableElement(other), m_key(other.m_key), m_hash(other.m_hash) {
        ++Counts().cloned;
    }
    ~THashedCounted() override { ++Counts().deleted; }
    int Compare(const TObject& other, int) const override {
        return m_key - static_cast<const THashedCounted&>(other).m_key;
    }
    TObject* CreateClone(void*) const override { return new THashedCounted(*this); }
    unsigned int GetHashedValue() const override { return m_hash; }
    int m_key;
    unsigned m_hash;
};

// Every element's bucket index matches its hash and each bucket is one run.
void ExpectIndexed(const TFlexHashMapImp& map) {
    std::vector<uint32_t> seen;
    uint32_t current = UINT32_MAX;
    for (TListElement* e = map.GetFirst(); e; e = e->GetNext()) {
        auto* h = static_cast<THashableElement*>(e);
        ASSERT_EQ(h->GetBucketIndex(), h->GetHashedValue() % uint32_t(map.GetNumSlots()));
        if (h->GetBucketIndex() != current) {
            current = h->GetBucketIndex();
            for (uint32_t b : seen) ASSERT_NE(b, current) << "bucket split in two runs";
            seen.push_back(current);
        }
    }
}

}  // namespace

TEST(FlexHashMapTest, GrowsThroughThePrimeTable) {
    TCountScope scope;
    TFlexHashMapImp map(0, 1);
    EXPECT_EQ(map.GetNumSlots(), 3);
    std::vector<int> slots;
    for (int i = 0; i < 32; ++i) {
        map.Add(new THashedCounted(i, unsigned(i) * 7919u));
        slots.push_back(map.GetNumSlots());
    }
    EXPECT_EQ(slots[2], 3);
    EXPECT_EQ(slots[3], 7);  // the fourth element remaps
    EXPECT_EQ(slots[7], 13);
    EXPECT_EQ(slots[13], 31);
    EXPECT_EQ(slots[31], 61);
    ExpectIndexed(map);
    for (int i = 0; i < 32; ++i) {
        THashedCounted probe(i, unsigned(i) * 7919u);
        ASSERT_NE(map.FindEqual(probe), nullptr) << i;
    }
    EXPECT_EQ(TFlexHashMapImp(30, 0).GetNumSlots(), 31);
    EXPECT_EQ(TFlexHashMapImp(31, 0).GetNumSlots(), 61);
    EXPECT_EQ(TFlexHashMapImp::GetPrimeAbove(2000000000), 1073741789);

    TFlexHashMapImp small(30, 1);
    for (int i = 0; i < 5; ++i) small.Add(new THashedCounted(i, unsigned(i)));
    small.Remap(1, 1);
    EXPECT_EQ(small.GetNumSlots(), 31);
    small.Remap(1, 0);
    EXPECT_EQ(small.GetNumSlots(), 3);
    ExpectIndexed(small);
    for (int i = 0; i < 5; ++i) {
        THashedCounted probe(i, unsigned(i));
        EXPECT_NE(small.FindEqual(probe), nullptr);
    }
}

TEST(FlexHashMapTest, BucketIsTheHashModuloTheSlotCount) {
    TCountScope scope;
    for (int32_t size : {0, 30, 5986, 1048572}) {
        TFlexHashMapImp map(size, 1);
        const uint32_t slots = uint32_t(map.GetNumSlots());
        for (uint32_t hash : {0u, 1u, slots - 1, slots, slots + 1, 2 * slots, 0x7FFFFFFFu,
                              0x80000000u, 0xDEADBEEFu, 0xFFFFFFFEu, 0xFFFFFFFFu})
            map.PureAdd(new THashedCounted(int(hash), hash));
        ExpectIndexed(map);
        THashedCounted probe(-1, 0xFFFFFFFFu);
        EXPECT_NE(map.FindEqual(probe), nullptr) << size;
    }
}

TEST(FlexHashMapTest, BucketRunsSurviveDetachingTheHead) {
    TCountScope scope;
    TFlexHashMapImp map(10, 1);  // 13 slots
    auto* a = new THashedCounted(1, 5);
    auto* b = new THashedCounted(2, 5 + 13);  // same bucket
    auto* c = new THashedCounted(3, 6);
    auto* d = new THashedCounted(2, 5);  // equal to b
    map.Add(a);
    map.Add(c);
    map.Add(b);
    map.Add(d);
    EXPECT_EQ(a->GetNext(), d);  // inserted right after the bucket head
    EXPECT_EQ(d->GetNext(), b);
    ExpectIndexed(map);
    THashedCounted probe(2, 5);
    EXPECT_EQ(map.FindNumEqual(probe), 2);
    EXPECT_EQ(map.FindEqual(probe), d);

    EXPECT_EQ(map.Detach(a), a);
    EXPECT_EQ(map.FindEqual(probe), d);  // the run now starts at d
    THashedCounted probeC(3, 6);
    EXPECT_EQ(map.FindEqual(probeC), c);
    a->Delete();
    map.Delete(c);
    EXPECT_EQ(map.FindEqual(probeC), nullptr);
    int visited = 0;
    EXPECT_EQ(map.ForEachEqual(
                  probe, [](TObject&, void* n) { ++*static_cast<int*>(n); }, &visited),
              2);
    EXPECT_EQ(visited, 2);
    EXPECT_EQ(map.DeleteAllEqual(probe), 2);
    EXPECT_TRUE(map.IsEmpty());
    EXPECT_EQ(map.FindEqual(probe), nullptr);
    EXPECT_EQ(Counts().Alive(), 2);  // the two probes

    // AddUnique: the offer dies in an owning map; a stored element offered again stays.
    auto* e = map.AddUnique(new THashedCounted(4, 1));
    EXPECT_EQ(map.AddUnique(new THashedCounted(4, 1)), e);
    EXPECT_EQ(map.AddUnique(e), e);
    EXPECT_EQ(map.GetCount(), 1);
    EXPECT_EQ(Counts().Alive(), 3);
    map.Pop()->Delete();
    map.Add(new THashedCounted(5, 1));
    map.Add(new THashedCounted(6, 1));
    map.Add(new THashedCounted(7, 1));
    THashedCounted six(6, 1), seven(7, 1);
    EXPECT_TRUE(map.DeleteEqual(six));  // the run's order: 5, 7, 6
    EXPECT_FALSE(map.DeleteEqual(six));
    map.DetachEqual(seven)->Delete();
    map.DeleteLast();
    EXPECT_TRUE(map.IsEmpty());
    map.Add(new THashedCounted(5, 1));
    map.Add(new THashedCounted(8, 1));
    map.DeleteFirst();  // the bucket head: the run goes on at 8
    THashedCounted eight(8, 1);
    EXPECT_NE(map.FindEqual(eight), nullptr);
    map.Clear();
    EXPECT_EQ(Counts().Alive(), 5);  // probe, probeC, six, seven, eight
    THashedCounted five(5, 1);
    EXPECT_EQ(map.FindEqual(five), nullptr);
}

TEST(FlexHashMapTest, CopiesIndexTheirOwnClones) {
    TCountScope scope;
    {
        TFlexHashMapImp map(0, 1);
        for (int i = 0; i < 20; ++i) map.Add(new THashedCounted(i, unsigned(i % 4)));
        TFlexHashMapImp copy(map);
        EXPECT_EQ(Counts().cloned, 20);
        EXPECT_EQ(copy.GetNumSlots(), map.GetNumSlots());
        ExpectIndexed(copy);
        map.DeleteAll();  // the copy must not lean on the original's buckets
        for (int i = 0; i < 20; ++i) {
            THashedCounted probe(i, unsigned(i % 4));
            ASSERT_NE(copy.FindEqual(probe), nullptr);
        }
        TFlexHashMapImp assigned(100, 1);
        assigned.Add(new THashedCounted(99, 0));
        assigned = copy;
        assigned = *&assigned;  // self-assignment
        EXPECT_EQ(assigned.GetCount(), 20);
        EXPECT_EQ(assigned.GetNumSlots(), copy.GetNumSlots());
        ExpectIndexed(assigned);
        THashedCounted probe(7, 3);
        EXPECT_NE(assigned.FindEqual(probe), nullptr);
    }
    EXPECT_EQ(Counts().Alive(), 0);
}

TEST(FlexHashMapTest, TextMapCountsAndHashes) {
    TStringToLongAutoMap words;
    EXPECT_EQ(words["new"], 0);
    ++words["new"];
    ++words[TString("new")];
    EXPECT_EQ(words["new"], 2);
    EXPECT_EQ(words["New"], 0);  // case-sensitive
    EXPECT_EQ(words.GetCount(), 2);
    EXPECT_EQ(TStringAndLongForAutoMap("abc", 0).GetHashedValue(), 291u);
    EXPECT_EQ(TStringAndLongForAutoMap("", 0).GetHashedValue(), 0u);
    // Bytes above 127 are sign-extended: 0xFF gives 0xFFFFFFFF.
    EXPECT_EQ(TStringAndLongForAutoMap("\xff", 0).GetHashedValue(), 0xFFFFFFFFu);
    EXPECT_EQ(TStringAndLongForAutoMap("\xff"
                                       "a",
                                       0)
                  .GetHashedValue(),
              0xFFFFFFFFu ^ 97u);
    EXPECT_LT(TStringAndLongForAutoMap("a", 0).Compare(TStringAndLongForAutoMap("\xe9", 0), 0), 0);
    // Every length and byte value against the hash's plain definition.
    TRandomizer random(3);
    for (int length = 0; length < 72; ++length) {
        std::string key;
        for (int i = 0; i < length; ++i) key += char(1 + random.Get(255));
        uint32_t h = 0;
        for (unsigned char b : key) h = ((h << 1) | (h >> 31)) ^ uint32_t(int32_t(int8_t(b)));
        EXPECT_EQ(TStringAndLongForAutoMap(key.c_str(), 0).GetHashedValue(), h) << length;
    }

    // A key ends at its first NUL, whatever length its text was given.
    for (const std::string& bytes :
         {std::string("ab\0cd", 5), std::string("identifier_number_\0_42", 23),
          std::string("a_key_of_sixteen\0x", 18)}) {
        const TString cut(bytes.data(), 0, 0, uint32_t(bytes.size()));
        const char* text = bytes.c_str();
        EXPECT_EQ(TStringAndLongForAutoMap(cut, 0).GetHashedValue(),
                  TStringAndLongForAutoMap(text, 0).GetHashedValue());
        words[text] = 7;
        EXPECT_EQ(words[cut], 7) << text;
        words.DeleteAll();
        words.Add(new TStringAndLongForAutoMap(cut, 8));
        EXPECT_EQ(words[text], 8) << text;
        EXPECT_EQ(words.GetCount(), 1);
        words.DeleteAll();
    }
    // Long keys with one hash: told apart by the rest of the key.
    EXPECT_EQ(TStringAndLongForAutoMap("a long identifier, ab", 0).GetHashedValue(),
              TStringAndLongForAutoMap("a long identifier, H0", 0).GetHashedValue());
    words["a long identifier, ab"] = 1;
    words["a long identifier, H0"] = 2;
    EXPECT_EQ(words["a long identifier, ab"], 1);
    EXPECT_EQ(words["a long identifier, H0"], 2);
    words.DeleteAll();

    for (int i = 0; i < 2000; ++i) words[TString(("k" + std::to_string(i)).c_str())] = i;
    EXPECT_EQ(words.GetNumSlots(), 2017);
    for (int i = 0; i < 2000; i += 37) EXPECT_EQ(words[("k" + std::to_string(i)).c_str()], i);
    ExpectIndexed(words);
    TStringToLongAutoMap copy(words);
    EXPECT_EQ(copy["k1999"], 1999);

    // Elements added from outside are found by operator[] like its own.
    TStringToLongAutoMap map;
    map.Add(new TStringAndLongForAutoMap("\xe9t\xe9", 5));
    auto* twin = new TStringAndLongForAutoMap("\xe9t\xe9", 6);
    EXPECT_NE(map.AddUnique(twin), nullptr);  // deleted: the map owns its elements
    EXPECT_EQ(map["\xe9t\xe9"], 5);
    EXPECT_EQ(map.GetCount(), 1);
    // Keys with the same hash ("ab", "H0", "J4") share a bucket run and stay apart.
    EXPECT_EQ(TStringAndLongForAutoMap("H0", 0).GetHashedValue(), 160u);
    EXPECT_EQ(TStringAndLongForAutoMap("J4", 0).GetHashedValue(), 160u);
    map["ab"] = 1;
    map["H0"] = 2;
    map["J4"] = 3;
    EXPECT_EQ(map["ab"], 1);
    EXPECT_EQ(map["H0"], 2);
    EXPECT_EQ(map["J4"], 3);
    EXPECT_EQ(map.GetCount(), 4);
    ExpectIndexed(map);
}

TEST(LookupTableTest, PairsBothWays) {
    int a, b, c;
    TLookupTableImp table(20, 2);
    table.Add(&a, &b);
    table.Add(&c, &b);
    table.Add(&a, &c);
    EXPECT_EQ(table.Find1(&a), &b);
    EXPECT_EQ(table.Find2(&b), &a);  // the first pair with that second pointer
    EXPECT_EQ(table.Find2(&c), &a);
    EXPECT_EQ(table.Find1(&b), nullptr);
    TLookupTableImp copy(table);
    EXPECT_FALSE(table.Remove(&c, &c));
    EXPECT_TRUE(table.Remove(&a, &b));
    EXPECT_EQ(table.Find1(&a), &c);
    EXPECT_TRUE(table.Remove2(&b));
    EXPECT_FALSE(table.Remove2(&b));
    EXPECT_TRUE(table.Remove1(&a));
    EXPECT_EQ(table.GetCount(), 0);
    EXPECT_EQ(copy.GetCount(), 3);
    EXPECT_EQ(copy.Find2(&b), &a);
    table = copy;
    table = *&table;  // self-assignment
    EXPECT_EQ(table.Find1(&c), &b);
}
