// The text map against a plain model of its documented filing rules: list order (a
// new key goes right after its bucket's first element, or to the end), growth through
// the prime table, remapping, detaching and the first-equal lookup. Keys come from a
// few letters so that many share a hash; every step compares the whole list.
#include <commonvcqx/containers/StringToLongAutoMap.h>
#include <commonvcqx/geometry/Randomizer.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

uint32_t PlainHash(const std::string& key) {
    uint32_t h = 0;
    for (unsigned char b : key) h = ((h << 1) | (h >> 31)) ^ uint32_t(int32_t(int8_t(b)));
    return h;
}

struct TModelItem {
    std::string key;
    int32_t value;
};

class TTextMapModel {
public:
    explicit TTextMapModel(int32_t size) : m_slots(TFlexHashMapImp::GetPrimeAbove(size)) {}

    uint32_t Bucket(const std::string& key) const { return PlainHash(key) % uint32_t(m_slots); }

    void PureAdd(TModelItem item) {
        const uint32_t bucket = Bucket(item.key);
        for (size_t i = 0; i < m_items.size(); ++i)
            if (Bucket(m_items[i].key) == bucket) {
                m_items.insert(m_items.begin() + std::ptrdiff_t(i) + 1, std::move(item));
                return;
            }
        m_items.push_back(std::move(item));
    }
    void Add(TModelItem item) {
        if (int32_t(m_items.size()) >= m_slots) Remap(-1, 1);
        PureAdd(std::move(item));
    }
    void Remap(int32_t size, char growOnly) {
        if (size < 0) size = int32_t(m_items.size());
        const int32_t n = TFlexHashMapImp::GetPrimeAbove(size);
        if (n == m_slots || (n < m_slots && growOnly)) return;
        m_slots = n;
        std::vector<TModelItem> all;
        all.swap(m_items);
        for (TModelItem& item : all) PureAdd(std::move(item));
    }
    // The first element with the key in list order: equal keys share a bucket run.
    int32_t& Lookup(const std::string& key) {
        for (TModelItem& item : m_items)
            if (item.key == key) return item.value;
        Add({key, 0});
        return Lookup(key);
    }

    std::vector<TModelItem> m_items;
    int32_t m_slots;
};

std::string RandomKey(TRandomizer& random) {
    // "ab", "H0" and "J4" share a hash; bytes above 127 fold in sign-extended.
    static const char kLetters[] = "abHJ04\xe9\x80z";
    std::string key;
    const uint32_t length = 1 + random.Get(4);
    for (uint32_t i = 0; i < length; ++i) key += kLetters[random.Get(sizeof kLetters - 1)];
    if (random.Get(4) == 0) key = "long_shared_prefix_" + key;
    return key;
}

void ExpectSame(const TStringToLongAutoMap& map, const TTextMapModel& model, int step) {
    ASSERT_EQ(map.GetNumSlots(), model.m_slots) << step;
    ASSERT_EQ(size_t(map.GetCount()), model.m_items.size()) << step;
    size_t i = 0;
    for (TListElement* e = map.GetFirst(); e; e = e->GetNext(), ++i) {
        auto* s = static_cast<TStringAndLongForAutoMap*>(e);
        ASSERT_EQ(std::string(s->m_key.c_str()), model.m_items[i].key) << step << " at " << i;
        ASSERT_EQ(s->m_value, model.m_items[i].value) << step << " at " << i;
        ASSERT_EQ(s->GetBucketIndex(), model.Bucket(model.m_items[i].key)) << step;
    }
}

TListElement* NthElement(const TStringToLongAutoMap& map, uint32_t n) {
    TListElement* e = map.GetFirst();
    while (n--) e = e->GetNext();
    return e;
}

}  // namespace

TEST(TextMapModelTest, OrderAndLookupsFollowTheFilingRules) {
    for (uint32_t seed : {1u, 2u, 3u}) {
        TRandomizer random(seed);
        const int32_t size = int32_t(random.Get(40));
        TStringToLongAutoMap map(size);
        TTextMapModel model(size);
        for (int step = 0; step < 3000; ++step) {
            const uint32_t what = random.Get(100);
            const std::string key = RandomKey(random);
            if (what < 55) {  // count a key
                ++map[key.c_str()];
                ++model.Lookup(key);
            } else if (what < 70) {  // read a key
                ASSERT_EQ(map[TString(key.c_str())], model.Lookup(key)) << step;
            } else if (what < 77) {  // a second element for a key already there
                const int32_t value = int32_t(random.Get(1000)) + 1000;
                map.Add(new TStringAndLongForAutoMap(key.c_str(), value));
                model.Add({key, value});
            } else if (what < 90 && map.GetCount()) {  // take one out
                const uint32_t n = random.Get(uint32_t(map.GetCount()));
                map.Delete(static_cast<THashableElement*>(NthElement(map, n)));
                model.m_items.erase(model.m_items.begin() + std::ptrdiff_t(n));
            } else if (what < 94) {
                TStringAndLongForAutoMap probe(key.c_str(), 0);
                const bool had = map.DeleteEqual(probe) != 0;
                bool modelHad = false;
                for (size_t i = 0; i < model.m_items.size() && !modelHad; ++i)
                    if (model.m_items[i].key == key) {
                        model.m_items.erase(model.m_items.begin() + std::ptrdiff_t(i));
                        modelHad = true;
                    }
                ASSERT_EQ(had, modelHad) << step;
            } else if (what < 99) {
                const int32_t to = int32_t(random.Get(200)) - 1;
                const char growOnly = char(random.Get(2));
                map.Remap(to, growOnly);
                model.Remap(to, growOnly);
            } else {
                map.DeleteAll();
                model.m_items.clear();
            }
            ExpectSame(map, model, step);
        }
        // Every key the model holds is found with its first value, and copies agree.
        const TStringToLongAutoMap copy(map);
        ExpectSame(copy, model, -1);
        for (const TModelItem& item : model.m_items) {
            const TString key(item.key.c_str());
            int32_t first = 0;
            for (const TModelItem& other : model.m_items)
                if (other.key == item.key) {
                    first = other.value;
                    break;
                }
            ASSERT_EQ(map[key], first) << item.key;
        }
    }
}

TEST(TextMapModelTest, ManyKeysOfFewHashesAreAllFoundAndMissesAdded) {
    // Identifiers with running numbers: the byte-rotating hash gives many of them the
    // same value, so bucket runs grow long.
    TStringToLongAutoMap map;
    TTextMapModel model(0);
    std::vector<std::string> keys;
    for (int i = 0; i < 6000; ++i)
        keys.push_back("id_" + std::to_string(i % 97) + "_" + std::to_string(i));
    for (size_t i = 0; i < keys.size(); ++i) {
        map[keys[i].c_str()] = int32_t(i);
        model.Lookup(keys[i]) = int32_t(i);
    }
    ExpectSame(map, model, 0);
    for (size_t i = 0; i < keys.size(); ++i) ASSERT_EQ(map[keys[i].c_str()], int32_t(i));
    ASSERT_EQ(map.GetCount(), 6000);
    // Keys not there yet (same shapes, same hashes) are added as zeros at their places.
    for (int i = 0; i < 1000; ++i) {
        const std::string key = "id_" + std::to_string(i) + "_x";
        ASSERT_EQ(map[key.c_str()], 0);
        model.Lookup(key);
    }
    ExpectSame(map, model, 1);
}
