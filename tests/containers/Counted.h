// A counting element for the container tests: it counts constructions, clones and
// deletes, so that every ownership rule shows in three numbers. Elements order by
// key (mode 1: descending); a tag tells equal keys apart.
#pragma once

#include <commonvcqx/containers/DoubleList.h>

#include <vector>

struct TCounts {
    int made = 0;
    int cloned = 0;
    int deleted = 0;
    int Alive() const { return made + cloned - deleted; }
};

inline TCounts& Counts() {
    static TCounts counts;
    return counts;
}

class TCounted : public TListElement {
public:
    explicit TCounted(int key, int tag = 0) : m_key(key), m_tag(tag) { ++Counts().made; }
    TCounted(const TCounted& other) : TListElement(other), m_key(other.m_key), m_tag(other.m_tag) {
        ++Counts().cloned;
    }
    ~TCounted() override { ++Counts().deleted; }

    int Compare(const TObject& other, int mode) const override {
        const int k = static_cast<const TCounted&>(other).m_key;
        const int r = m_key < k ? -1 : (m_key > k ? 1 : 0);
        return mode == 1 ? -r : r;
    }
    TObject* CreateClone(void*) const override { return new TCounted(*this); }
    unsigned int GetHashedValue() const override { return unsigned(m_key); }

    int m_key;
    int m_tag;
};

/// Resets the counters.
struct TCountScope {
    TCountScope() { Counts() = TCounts{}; }
};

template <class Container>
std::vector<int> Keys(const Container& c) {
    std::vector<int> keys;
    for (int i = 0; i < c.GetCount(); ++i) keys.push_back(static_cast<TCounted*>(c[i])->m_key);
    return keys;
}

template <class Container>
std::vector<int> Tags(const Container& c) {
    std::vector<int> tags;
    for (int i = 0; i < c.GetCount(); ++i) tags.push_back(static_cast<TCounted*>(c[i])->m_tag);
    return tags;
}
