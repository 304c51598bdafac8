// The text-to-value map and its elements.
#include <commonvcqx/containers/StringToLongAutoMap.h>

#include <cstring>

TStringAndLongForAutoMap::~TStringAndLongForAutoMap() = default;

int TStringAndLongForAutoMap::Compare(const TObject& other, int) const {
    return std::strcmp(m_key.c_str(),
                       static_cast<const TStringAndLongForAutoMap&>(other).m_key.c_str());
}

TObject* TStringAndLongForAutoMap::CreateClone(void*) const {
    return new TStringAndLongForAutoMap(*this);
}

namespace {

// The key's hash, and beside it a second one (Bernstein's, cheap enough to run in the
// same loop) that tells apart most keys the first one mixes up.
uint32_t HashText(const char* p, uint32_t& check) noexcept {
    uint32_t h = 0;
    uint32_t c = 5381;
    for (; *p; ++p) {
        h = ((h << 1) | (h >> 31)) ^ uint32_t(int32_t(static_cast<signed char>(*p)));
        c = (c << 5) + c + uint8_t(*p);
    }
    check = c;
    return h;
}

}  // namespace

unsigned int TStringAndLongForAutoMap::GetHashedValue() const {
    // The map asks for the hash whenever it files the element, so the second hash
    // recorded here always belongs to the key the element is filed under.
    return HashText(m_key.c_str(), m_check);
}

TStringAndLongForAutoMap* TStringToLongAutoMap::Find(const TString& key) const noexcept {
    // What FindEqual with a probe element finds, without building one: every element
    // is a TStringAndLongForAutoMap, whose equal keys have equal hashes, so an element
    // filed under other hashes is passed over without reading its key.
    uint32_t check;
    const uint32_t hash = HashText(key.c_str(), check);
    uint32_t bucket;
    for (THashableElement* e = BucketRun(hash, bucket); e && BucketOf(*e) == bucket;
         e = static_cast<THashableElement*>(e->GetNext())) {
        if (RecordedHash(*e) != hash) continue;
        auto* s = static_cast<TStringAndLongForAutoMap*>(e);
        if (s->m_check == check && std::strcmp(s->m_key.c_str(), key.c_str()) == 0) return s;
    }
    return nullptr;
}

int32_t& TStringToLongAutoMap::operator[](const TString& key) {
    TStringAndLongForAutoMap* found = Find(key);
    if (!found) {
        found = new TStringAndLongForAutoMap(key, 0);
        try {
            Add(found);
        } catch (...) {
            found->Delete();
            throw;
        }
    }
    return found->m_value;
}

int32_t& TStringToLongAutoMap::operator[](const char* key) {
    return (*this)[TString(key)];
}
