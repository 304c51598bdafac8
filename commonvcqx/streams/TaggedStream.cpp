#include <commonvcqx/streams/TaggedStream.h>

#include <commonvcqx/frame/ExceptionThrower.h>
#include <commonvcqx/streams/internal/SiblingIndex.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

namespace {

constexpr int kDamagedStream = 18032;
// Children walked one by one before a lookup turns to the group's index: lookups in
// writing order hit at the first, and small groups are never indexed.
constexpr int kDirectSteps = 8;

}  // namespace

// The name indexes of the groups whose lookups walked far, by group offset.
struct TTaggedStream::TIndexes {
    std::unordered_map<uint32_t, cvq::detail::TSiblingIndex> byGroup;
    uint32_t lastGroup = 0;
    cvq::detail::TSiblingIndex* last = nullptr;
};

TTaggedStream::TTaggedStream(char useTags, TMemoryStream& memory) noexcept
    : m_root(0),
      m_current(0),
      m_memory(&memory),
      m_lastFound(0),
      m_lastFoundGroup(0),
      m_useTags(useTags),
      m_swapped(0) {}

TTaggedStream::~TTaggedStream() = default;

void TTaggedStream::DropIndexes() noexcept {
    m_indexes.reset();
}

TTaggedStream::TAutoPosition::TAutoPosition(TTaggedStream& stream) noexcept
    : m_stream(stream),
      m_current(stream.m_current),
      m_lastFound(stream.m_lastFound),
      m_lastFoundGroup(stream.m_lastFoundGroup),
      m_readPosition(stream.GetReadPosition()) {}

void TTaggedStream::TAutoPosition::Restore() noexcept {
    m_stream.m_current = m_current;
    m_stream.m_lastFound = m_lastFound;
    m_stream.m_lastFoundGroup = m_lastFoundGroup;
    // An untagged stream is read in sequence: going back would read values twice.
    if (m_stream.m_useTags) m_stream.SetReadPosition(m_readPosition);
}

void TTaggedStream::Fail() {
    TExceptionThrower(0).SetAndThrow(TResMess(kDamagedStream));
    std::abort();  // a thrower made with post = 0 always throws
}

uint32_t TTaggedStream::PutIndex(int index, char* dst) noexcept {
    if (index == 0) return 0;
    static const char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char digits[12];
    char* p = digits + sizeof digits;
    // Through unsigned arithmetic so that the smallest int keeps its digits.
    uint32_t magnitude = index < 0 ? 0u - uint32_t(index) : uint32_t(index);
    for (; magnitude >= 100; magnitude /= 100) {
        p -= 2;
        std::memcpy(p, kPairs + 2 * (magnitude % 100), 2);
    }
    if (magnitude >= 10) {
        p -= 2;
        std::memcpy(p, kPairs + 2 * magnitude, 2);
    } else {
        *--p = char('0' + magnitude);
    }
    if (index < 0) *--p = '-';
    const uint32_t count = uint32_t(digits + sizeof digits - p);
    std::memcpy(dst, p, count);
    return count;
}

void TTaggedStream::MakeStoredName(const char* name, int index, TStoredName& stored) noexcept {
    if (!name) name = "";
    // Zeros after short names, which NameIs compares as one word.
    std::memset(stored.text, 0, 8);
    uint32_t length = 0;
    // One pass measures and copies: names are short.
    while (length <= kMaxStoredName && name[length]) {
        stored.text[length] = name[length];
        ++length;
    }
    if (length > kMaxStoredName) {
        stored.text[0] = 0;
        stored.length = kMaxStoredName + 1;
        return;
    }
    const uint32_t end = length + PutIndex(index, stored.text + length);
    stored.text[end] = 0;
    stored.length = end;
}

uint32_t TTaggedStream::GetData(uint32_t value, uint32_t* length) const noexcept {
    const uint8_t small = Byte(value + kSmallLength);
    *length = small ? small : Get32(value + kBigLength);
    return value + Byte(value + kDataOffset);
}

bool TTaggedStream::IsSoundHeader(uint32_t offset, uint32_t after, uint32_t limit) const noexcept {
    // Nodes are aligned, strictly after what leads to them, and their header fits.
    if (offset % 4 != 0 || offset <= after || uint64_t(offset) + kSmallHeader > limit) return false;
    const uint32_t header = IsGroup(offset)      ? kGroupHeader
                            : IsBigValue(offset) ? kBigHeader
                                                 : kSmallHeader;
    if (uint64_t(offset) + header > limit) return false;
    if (Byte(offset + kNameOffset) < header) return false;
    return GetName(offset) < limit;
}

int32_t TTaggedStream::NameLength(uint32_t name, uint32_t limit) const noexcept {
    // The stored name ends inside the block, within the longest name a node can hold.
    const size_t span = std::min<size_t>(limit - name, kMaxStoredName + 1);
    const void* nul = std::memchr(Node(name), 0, span);
    return nul ? int32_t(static_cast<const char*>(nul) - Node(name)) : -1;
}

void TTaggedStream::CheckNode(uint32_t offset, uint32_t after) {
    const uint32_t limit = GetLimit();
    if (!IsSoundHeader(offset, after, limit) || NameLength(GetName(offset), limit) < 0) Fail();
}

bool TTaggedStream::IsSoundData(uint32_t value, uint32_t limit) const noexcept {
    uint32_t length;
    const uint32_t data = GetData(value, &length);
    return Byte(value + kDataOffset) > Byte(value + kNameOffset) &&
           uint64_t(data) + length <= limit;
}

void TTaggedStream::CheckData(uint32_t value) {
    if (!IsSoundData(value, GetLimit())) Fail();
}

void TTaggedStream::MoveUp() {
    if (!m_useTags || m_current == m_root) return;
    m_current = Parent(m_current);
}

uint32_t TTaggedStream::FindNode(const char* name, int index, int mode) {
    TStoredName stored;
    MakeStoredName(name, index, stored);
    return Find(stored, mode, GetLimit());
}

uint32_t TTaggedStream::FindValue(const char* name, int index, int mode) {
    TStoredName stored;
    MakeStoredName(name, index, stored);
    const uint32_t limit = GetLimit();
    const uint32_t node = Find(stored, mode, limit);
    if (!node || !IsValue(node)) return 0;
    if (!IsSoundData(node, limit)) Fail();
    return node;
}

bool TTaggedStream::NameIs(uint32_t name, const TStoredName& stored,
                           uint32_t limit) const noexcept {
    const uint32_t compared = stored.length + 1;
    const uint32_t available = limit - name;
    if (compared > available) return false;
    if constexpr (std::endian::native == std::endian::little) {
        // Short names, NUL included, compare as one word.
        if (compared <= 8 && available >= 8) {
            uint64_t have, want;
            std::memcpy(&have, Node(name), 8);
            std::memcpy(&want, stored.text, 8);
            const uint64_t mask =
                compared == 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * compared)) - 1;
            return ((have ^ want) & mask) == 0;
        }
    }
    return std::memcmp(Node(name), stored.text, compared) == 0;
}

uint32_t TTaggedStream::Scan(const TStoredName& stored, uint32_t node, uint32_t after,
                             uint32_t limit) {
    for (int step = 0; node; ++step) {
        if (step == kDirectSteps) return ScanIndexed(stored, after, limit);
        if (!IsSoundHeader(node, after, limit)) Fail();
        const uint32_t name = GetName(node);
        // A name that matches ends with its NUL in the block: no search for the NUL.
        if (NameIs(name, stored, limit)) return node;
        if (NameLength(name, limit) < 0) Fail();
        after = node;
        node = Next(node);
    }
    return 0;
}

uint32_t TTaggedStream::ScanIndexed(const TStoredName& stored, uint32_t after, uint32_t limit) {
    if (!m_indexes) m_indexes = std::make_unique<TIndexes>();
    TIndexes& indexes = *m_indexes;
    const uint32_t group = m_current;
    if (!indexes.last || indexes.lastGroup != group) {
        indexes.last = &indexes.byGroup[group];
        indexes.lastGroup = group;
    }
    cvq::detail::TSiblingIndex& index = *indexes.last;
    // Takes in the children linked since the last lookup (all of them, the first time),
    // checked as a walk checks them; the first unsound one ends the chain for good.
    const char* base = Node(0);
    if (!index.IsDamaged()) {
        uint32_t previous = index.GetLast() ? index.GetLast() : group;
        for (uint32_t node = index.GetLast() ? Next(previous) : FirstChild(group); node;
             previous = node, node = Next(node)) {
            const int32_t length =
                IsSoundHeader(node, previous, limit) ? NameLength(GetName(node), limit) : -1;
            if (length < 0) {
                index.SetDamaged();
                break;
            }
            index.Add(base, node, GetName(node), uint32_t(length));
        }
    }
    const uint32_t found = index.FindAfter(base, stored.text, stored.length, after);
    // A walk without a hit would have reached the damaged node.
    if (!found && index.IsDamaged()) Fail();
    return found;
}

uint32_t TTaggedStream::FindNode(const TStoredName& stored, int mode) {
    return Find(stored, mode, GetLimit());
}

uint32_t TTaggedStream::Find(const TStoredName& stored, int mode, uint32_t limit) {
    if (stored.length > kMaxStoredName) return 0;
    const uint32_t group = m_current;
    const uint32_t first = FirstChild(group);
    uint32_t found = 0;
    if (mode != 0 && m_lastFound && m_lastFoundGroup == group) {
        // Resume after the previous hit, then wrap to the first child once.
        const uint32_t next = Next(m_lastFound);
        found = Scan(stored, next, m_lastFound, limit);
        if (!found && next != first) found = Scan(stored, first, group, limit);
    } else {
        found = Scan(stored, first, group, limit);
    }
    if (mode == 1) {
        m_lastFound = found;
        m_lastFoundGroup = group;
    }
    return found;
}
