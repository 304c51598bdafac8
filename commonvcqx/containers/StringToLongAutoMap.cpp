// The text-to-value map and its elements.
#include <commonvcqx/containers/StringToLongAutoMap.h>

#include <bit>
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

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kMix = 0xD6E8FEB86659FD93ull;

uint32_t Rotl(uint32_t x, int n) noexcept {
    return n == 0 ? x : (x << n) | (x >> (32 - n));
}

// Eight bytes as a word whose lowest byte is the first one.
uint64_t LoadWord(const char* p) noexcept {
    uint64_t w;
    std::memcpy(&w, p, 8);
    if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
    return w;
}

uint64_t ZeroBytes(uint64_t w) noexcept {
    return (w - kOnes) & ~w & (kOnes << 7);
}

// The key hash folds byte after byte: rotate left by one, XOR the byte sign-extended.
// Over a group of bytes that is byte j rotated left by (group size - 1 - j), all
// XORed. A byte with its top bit set folds in as its 7-bit complement XOR a word of
// ones, so the groups fold as 7-bit values: neighbours pair up, pairs into quads, and
// so on, every shift staying below 32 bits.

// Eight bytes, the first one lowest; `drop` takes off the low bits that a word of
// 8 - drop bytes (zero-padded above) must not have.
uint32_t Fold8(uint64_t w, int drop) noexcept {
    const uint64_t high = (w >> 7) & kOnes;
    w ^= high * 0xFF;
    uint64_t v = ((w & 0x00FF00FF00FF00FFull) << 1) ^ ((w >> 8) & 0x00FF00FF00FF00FFull);
    v = ((v & 0x0000FFFF0000FFFFull) << 2) ^ ((v >> 16) & 0x0000FFFF0000FFFFull);
    const uint32_t folded = uint32_t(((v & 0xFFFFFFFFull) << 4) ^ (v >> 32)) >> drop;
    return __builtin_parityll(high) ? ~folded : folded;
}

// The key hash of n bytes and beside it a second hash of the same bytes that tells
// apart most keys the first one mixes up. False when one of the bytes is a NUL: the
// key ends there.
[[gnu::always_inline]] inline bool HashBytes(const char* p, size_t n, uint32_t& hash,
                                             uint32_t& check) noexcept {
    uint32_t h = 0;
    uint64_t c = n * 0x9E3779B97F4A7C15ull;
    uint64_t zeros = 0;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const uint64_t w = LoadWord(p + i);
        zeros |= ZeroBytes(w);
        h = Rotl(h, 8) ^ Fold8(w, 0);
        c = (c ^ w) * kMix;
    }
    if (const size_t r = n - i) {
        uint64_t w = 0;
        if (n >= 8)  // the last eight bytes, shifted down to the r not yet folded
            w = LoadWord(p + n - 8) >> (8 * (8 - r));
        else
            for (size_t j = 0; j < r; ++j)
                w |= uint64_t(static_cast<unsigned char>(p[j])) << (8 * j);
        zeros |= ZeroBytes(w | (~0ull << (8 * r)));
        h = Rotl(h, int(r)) ^ Fold8(w, int(8 - r));
        c = (c ^ w) * kMix;
    }
    if (zeros) return false;
    hash = h;
    c ^= c >> 29;
    c *= kMix;
    check = uint32_t(c ^ (c >> 32));
    return true;
}

// Keys end at their first NUL, as strcmp compares them; the stored length only bounds
// the common case of a text without one. `length` receives where the key ends.
uint32_t HashText(const TString& key, uint32_t& check, size_t& length) noexcept {
    uint32_t h = 0;
    length = key.GetLength();
    if (!HashBytes(key.c_str(), length, h, check)) {
        length = std::strlen(key.c_str());
        HashBytes(key.c_str(), length, h, check);
    }
    return h;
}

// Whether a stored key equals `text`, whose first NUL is at `length`: strcmp's answer,
// word by word where the stored key has that length too.
bool SameKey(const TString& stored, const char* text, size_t length) noexcept {
    const char* s = stored.c_str();
    if (stored.GetLength() != length || length < 8) return std::strcmp(s, text) == 0;
    for (size_t i = 0; i + 8 < length; i += 8)
        if (LoadWord(s + i) != LoadWord(text + i)) return false;
    return LoadWord(s + length - 8) == LoadWord(text + length - 8);
}

}  // namespace

unsigned int TStringAndLongForAutoMap::GetHashedValue() const {
    // The map asks for the hash whenever it files the element, so the second hash
    // recorded here always belongs to the key the element is filed under.
    size_t length;
    return HashText(m_key, m_check, length);
}

namespace {

bool SameElementKey(const THashableElement& a, const THashableElement& b) noexcept {
    return std::strcmp(static_cast<const TStringAndLongForAutoMap&>(a).m_key.c_str(),
                       static_cast<const TStringAndLongForAutoMap&>(b).m_key.c_str()) == 0;
}

}  // namespace

TStringToLongAutoMap::TStringToLongAutoMap(int size)
    : TFlexHashMapImp(size, 1), m_index(SameElementKey) {}

TStringToLongAutoMap::TStringToLongAutoMap(const TStringToLongAutoMap& other)
    : TFlexHashMapImp(other), m_index(SameElementKey) {
    RebuildIndex();
}

TStringToLongAutoMap& TStringToLongAutoMap::operator=(const TStringToLongAutoMap& other) {
    if (&other == this) return *this;
    try {
        TFlexHashMapImp::operator=(other);
    } catch (...) {
        RebuildIndex();
        throw;
    }
    RebuildIndex();
    return *this;
}

TStringToLongAutoMap::~TStringToLongAutoMap() = default;

// Every element's tag is its second hash, taken when it was filed: the hash call that
// filed it has just recorded it in the element.
void TStringToLongAutoMap::Filed(THashableElement& e) noexcept {
    const uint32_t tag = static_cast<TStringAndLongForAutoMap&>(e).m_check;
    TagOf(e) = tag;
    m_index.Add(e, tag);
}

void TStringToLongAutoMap::Unfiled(THashableElement& e) noexcept {
    m_index.Remove(e, TagOf(e));
}

void TStringToLongAutoMap::UnfiledAll() noexcept {
    m_index.Clear();
}

void TStringToLongAutoMap::RebuildIndex() noexcept {
    m_index.Clear();
    // Filed elements carry the second hash of their filing call.
    for (TListElement* e = GetFirst(); e; e = e->GetNext())
        Filed(*static_cast<THashableElement*>(e));
}

TStringAndLongForAutoMap* TStringToLongAutoMap::Find(const TString& key, uint32_t hash,
                                                     uint32_t check, size_t length) const noexcept {
    const auto sameKey = [&](const THashableElement& e) {
        return SameKey(static_cast<const TStringAndLongForAutoMap&>(e).m_key, key.c_str(), length);
    };
    if (m_index.IsUsable())
        return static_cast<TStringAndLongForAutoMap*>(m_index.Find(check, sameKey));
    // What FindEqual with a probe element finds, without building one: equal keys have
    // equal second hashes, so an element filed under another is passed over without
    // reading its key.
    uint32_t bucket;
    for (THashableElement* e = BucketRun(hash, bucket); e && BucketOf(*e) == bucket;
         e = static_cast<THashableElement*>(e->GetNext()))
        if (TagOf(*e) == check && sameKey(*e)) return static_cast<TStringAndLongForAutoMap*>(e);
    return nullptr;
}

int32_t& TStringToLongAutoMap::operator[](const TString& key) {
    uint32_t check;
    size_t length;
    const uint32_t hash = HashText(key, check, length);
    TStringAndLongForAutoMap* found = Find(key, hash, check, length);
    if (!found) {
        PrefetchBucket(hash);  // read while the element is made
        found = new TStringAndLongForAutoMap(key, 0);
        found->m_check = check;  // what its own hash call would record
        try {
            AddHashed(found, hash);
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
