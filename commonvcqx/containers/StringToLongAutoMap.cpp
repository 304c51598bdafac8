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

uint32_t Rotl(uint32_t x, int n) noexcept {
    return n == 0 ? x : (x << n) | (x >> (32 - n));
}

// A byte as the signed value the key hash folds in.
uint32_t Signed(unsigned char b) noexcept {
    return uint32_t(int32_t(static_cast<signed char>(b)));
}

// The key's hash (rotate left by one, XOR the next byte), four bytes per step: the four
// terms do not wait for each other. Beside it a second hash of the same bytes, eight at
// a time, that tells apart most keys the first one mixes up.
uint32_t HashText(const char* text, uint32_t& check) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const size_t n = std::strlen(text);
    uint32_t h = 0;
    size_t i = 0;
    for (; i + 4 <= n; i += 4)
        h = Rotl(h, 4) ^ Rotl(Signed(p[i]), 3) ^ Rotl(Signed(p[i + 1]), 2) ^
            Rotl(Signed(p[i + 2]), 1) ^ Signed(p[i + 3]);
    for (; i < n; ++i) h = Rotl(h, 1) ^ Signed(p[i]);

    uint64_t c = n * 0x9E3779B97F4A7C15ull;
    for (size_t j = 0; j < n; j += 8) {
        uint64_t word = 0;
        std::memcpy(&word, p + j, n - j < 8 ? n - j : 8);
        c = (c ^ word) * 0xD6E8FEB86659FD93ull;
        c ^= c >> 32;
    }
    check = uint32_t(c);
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
