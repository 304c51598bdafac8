#include <commonvcqx/streams/TaggedStream.h>

#include <commonvcqx/frame/ExceptionThrower.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kDamagedStream = 18032;

// The first 4 bytes of a stored name, zero-filled past its NUL, as one word.
uint32_t FirstWord(const char* text, uint32_t available) noexcept {
    char word[4] = {};
    for (uint32_t i = 0; i < 4 && i < available && text[i]; ++i) word[i] = text[i];
    uint32_t value;
    std::memcpy(&value, word, 4);
    return value;
}

}  // namespace

TTaggedStream::TTaggedStream(char useTags, TMemoryStream& memory) noexcept
    : m_root(0),
      m_current(0),
      m_memory(&memory),
      m_lastFound(0),
      m_lastFoundGroup(0),
      m_useTags(useTags),
      m_swapped(0) {}

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

void TTaggedStream::MakeStoredName(const char* name, int index, TStoredName& stored) noexcept {
    if (!name) name = "";
    const size_t length = std::strlen(name);
    if (length > kMaxStoredName) {
        stored.text[0] = 0;
        stored.length = kMaxStoredName + 1;
        return;
    }
    std::memcpy(stored.text, name, length);
    uint32_t end = uint32_t(length);
    if (index != 0) {
        char digits[12];
        int count = 0;
        // Through unsigned arithmetic so that the smallest int keeps its digits.
        uint32_t magnitude = index < 0 ? 0u - uint32_t(index) : uint32_t(index);
        do {
            digits[count++] = char('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude);
        if (index < 0) stored.text[end++] = '-';
        while (count) stored.text[end++] = digits[--count];
    }
    stored.text[end] = 0;
    stored.length = end;
}

uint32_t TTaggedStream::Get32(uint32_t offset) const noexcept {
    uint32_t value;
    std::memcpy(&value, m_memory->GetStart() + offset, 4);
    return m_swapped ? __builtin_bswap32(value) : value;
}

void TTaggedStream::Put32(uint32_t offset, uint32_t value) noexcept {
    if (m_swapped) value = __builtin_bswap32(value);
    std::memcpy(m_memory->GetStart() + offset, &value, 4);
}

uint32_t TTaggedStream::GetData(uint32_t value, uint32_t* length) const noexcept {
    const uint8_t small = Byte(value + kSmallLength);
    *length = small ? small : Get32(value + kBigLength);
    return value + Byte(value + kDataOffset);
}

void TTaggedStream::CheckNode(uint32_t offset, uint32_t after) {
    const uint64_t limit = GetLimit();
    // Nodes are aligned, strictly after what leads to them, and their header fits.
    if (offset % 4 != 0 || offset <= after || uint64_t(offset) + kSmallHeader > limit) Fail();
    const uint32_t header = IsGroup(offset)      ? kGroupHeader
                            : IsBigValue(offset) ? kBigHeader
                                                 : kSmallHeader;
    if (uint64_t(offset) + header > limit) Fail();
    if (Byte(offset + kNameOffset) < header) Fail();
    // The stored name ends inside the block, within the longest name a node can hold.
    const uint32_t name = GetName(offset);
    if (name >= limit) Fail();
    const uint64_t span = std::min<uint64_t>(limit - name, kMaxStoredName + 1);
    if (!std::memchr(Node(name), 0, size_t(span))) Fail();
}

void TTaggedStream::CheckData(uint32_t value) {
    uint32_t length;
    const uint32_t data = GetData(value, &length);
    if (Byte(value + kDataOffset) <= Byte(value + kNameOffset)) Fail();
    if (uint64_t(data) + length > GetLimit()) Fail();
}

void TTaggedStream::MoveUp() {
    if (!m_useTags || m_current == m_root) return;
    m_current = Parent(m_current);
}

uint32_t TTaggedStream::FindNode(const char* name, int index, int mode) {
    TStoredName stored;
    MakeStoredName(name, index, stored);
    return FindNode(stored, mode);
}

uint32_t TTaggedStream::FindNode(const TStoredName& stored, int mode) {
    if (stored.length > kMaxStoredName) return 0;
    const uint32_t group = m_current;
    const uint32_t wanted = FirstWord(stored.text, stored.length + 1);
    const uint32_t compared = stored.length + 1;

    // Scans the chain from `node` (whose predecessor lies at `after`) to its end.
    auto scan = [&](uint32_t node, uint32_t after) -> uint32_t {
        while (node) {
            CheckNode(node, after);
            const uint32_t name = GetName(node);
            const uint32_t limit = GetLimit();
            const uint32_t available = name < limit ? limit - name : 0;
            if (FirstWord(Node(name), available) == wanted && compared <= available &&
                std::memcmp(Node(name), stored.text, compared) == 0)
                return node;
            after = node;
            node = Next(node);
        }
        return 0;
    };

    const uint32_t first = FirstChild(group);
    uint32_t found = 0;
    if (mode != 0 && m_lastFound && m_lastFoundGroup == group) {
        // Resume after the previous hit, then wrap to the first child once.
        const uint32_t next = Next(m_lastFound);
        found = scan(next, m_lastFound);
        if (!found && next != first) found = scan(first, group);
    } else {
        found = scan(first, group);
    }
    if (mode == 1) {
        m_lastFound = found;
        m_lastFoundGroup = group;
    }
    return found;
}
