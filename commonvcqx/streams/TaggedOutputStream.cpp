#include <commonvcqx/streams/TaggedOutputStream.h>

#include <commonvcqx/files/File.h>
#include <commonvcqx/frame/ExceptionThrower.h>
#include <commonvcqx/platform/WinTypes.h>
#include <commonvcqx/text/Checksums.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr uint32_t kHeaderSize = 12;
constexpr uint32_t kCrcOffset = 4;
constexpr uint32_t kLengthOffset = 8;
constexpr uint32_t kLargestDataOffset = 255;
constexpr uint32_t kLargestSmallValue = 255;

const char kRootName[] = "Root";
// A value node's padding before it and its header, and what follows its name before
// the data, zeroed as fixed-size pieces.
constexpr uint32_t kZeroedAtOnce = 16;
constexpr uint32_t kZeroedAfterName = 8;
// The most a value node takes before its data (padding, header, name, index digits,
// NUL and padding), with room for the fixed-size pieces.
constexpr uint32_t kLongestTag = 3 + 12 + 255 + 11 + kZeroedAfterName + 16;

[[noreturn]] void ThrowNameTooLong() {
    TExceptionThrower(0).SetAndThrow("The tag name is too long for the tagged stream.");
    std::abort();  // a thrower made with post = 0 always throws
}

}  // namespace

TTaggedOutputStream::TTaggedOutputStream(char useTags, const char* name, char autoDelete)
    : TTaggedStream(useTags, m_out), m_out(kGrowBy, autoDelete, kLittleEndian), m_closed(0) {
    Init(0, name);
}

TTaggedOutputStream::~TTaggedOutputStream() = default;

void TTaggedOutputStream::Init(uint32_t start, const char* name) {
    m_out.SetCurrentPosition(start);
    static const char kMarker[4] = {'L', 'E', 0, 0};
    m_out.WriteData(kMarker, 4);
    m_out.Write(uint32_t(0));
    m_out.Write(uint32_t(0));
    m_out.WriteString(name, 1);
    if (!m_useTags) return;
    const uint32_t root = m_out.Align(4);
    m_out.WriteBytes(0, kGroupHeader);
    m_out.WriteString(kRootName, 1);
    Node(root)[kNameOffset] = char(kGroupHeader);
    m_root = m_current = root;
}

void TTaggedOutputStream::MoveDown(const char* path, int index) {
    if (!m_useTags) return;
    if (!path) path = "";
    if (!std::strchr(path, '/')) {
        MoveDownOne(path, index);
        return;
    }
    WalkPath(path, index, [this](const char* part, int partIndex) {
        MoveDownOne(part, partIndex);
        return true;
    });
}

void TTaggedOutputStream::MoveDownOne(const char* name, int index) {
    TStoredName stored;
    MakeStoredName(name, index, stored);
    if (stored.length > kMaxStoredName) ThrowNameTooLong();
    // Only a group is re-entered: a value of the same name stays a value.
    const uint32_t existing = FindNode(stored, 0);
    if (existing && IsGroup(existing)) {
        m_current = existing;
        return;
    }
    // Padding, header and name (at least 4 bytes with its NUL) in one piece.
    const uint32_t position = m_out.GetCurrentPosition();
    const uint32_t node = (position + 3) & ~3u;
    const uint32_t end = kGroupHeader + std::max<uint32_t>(stored.length + 1, 4);
    m_out.ReserveSpace(node - position + end);
    char* bytes = m_out.GetStart();
    std::memset(bytes + position, 0, node - position + end);
    std::memcpy(bytes + node + kGroupHeader, stored.text, stored.length);
    bytes[node + kNameOffset] = char(kGroupHeader);
    Link(node);
    Put32(node + kParent, m_current);
    m_current = node;
}

uint32_t TTaggedOutputStream::StartValue(const char* name, int index, int alignment,
                                         uint32_t headerSize, uint32_t length, uint32_t* node) {
    if (!name) name = "";
    // Room for the longest tag, so that the name goes straight to its place while it is
    // measured; pieces of a known bound go as fixed-size stores into that room. Nothing
    // counts as written until the position moves, so a refused name leaves no trace.
    const uint32_t position = m_out.GetCurrentPosition();
    const uint32_t start = (position + 3) & ~3u;
    char* const at = m_out.EnsureRoom(kLongestTag + length);
    char* const header = at + (start - position);
    std::memset(at, 0, kZeroedAtOnce);  // padding to the node and its header
    char* const stored = header + headerSize;
    uint32_t nameLength = 0;
    while (nameLength <= kMaxStoredName && name[nameLength]) {
        stored[nameLength] = name[nameLength];
        ++nameLength;
    }
    if (nameLength > kMaxStoredName) ThrowNameTooLong();
    const uint32_t storedLength = nameLength + PutIndex(index, stored + nameLength);
    if (storedLength > kMaxStoredName) ThrowNameTooLong();
    // The data offset is one byte.
    uint32_t end = headerSize + storedLength + 1;
    if (end < headerSize + 4) end = headerSize + 4;
    if (alignment > 1)
        end = (end + uint32_t(alignment) - 1) / uint32_t(alignment) * uint32_t(alignment);
    if (end > kLargestDataOffset) ThrowNameTooLong();
    // The NUL and the padding to the data: at most 4 bytes.
    std::memset(stored + storedLength, 0, kZeroedAfterName);
    m_out.SetCurrentPosition(start + end + length);
    *node = start;
    return start + end;
}

uint32_t TTaggedOutputStream::WriteTag(const char* name, int index, int alignment,
                                       uint32_t headerSize, uint32_t* node) {
    return StartValue(name, index, alignment, headerSize, 0, node);
}

void TTaggedOutputStream::Link(uint32_t node) {
    const uint32_t last = LastChild(m_current);
    if (last)
        Put32(last + kNext, node);
    else
        Put32(m_current + kFirstChild, node);
    Put32(m_current + kLastChild, node);
}

void TTaggedOutputStream::WriteValueNode(uint32_t node, uint32_t data) {
    char* header = Node(node);
    header[kSmallLength] = char(m_out.GetCurrentPosition() - data);
    header[kDataOffset] = char(data - node);
    header[kNameOffset] = char(kSmallHeader);
    Link(node);
}

void TTaggedOutputStream::WriteValueNodeEx(uint32_t node, uint32_t data) {
    const uint32_t length = m_out.GetCurrentPosition() - data;
    char* header = Node(node);
    header[kSmallLength] = 0;
    header[kDataOffset] = char(data - node);
    header[kNameOffset] = char(kBigHeader);
    Put32(node + kBigLength, length);
    Link(node);
}

void TTaggedOutputStream::SetBytes(const void* data, uint32_t length, int alignment,
                                   const char* name, int index) {
    if (!m_useTags) {
        m_out.WriteData(data, length);
        return;
    }
    const bool big = length == 0 || length > kLargestSmallValue;
    uint32_t node;
    const uint32_t start = StartValue(name, index, big ? 4 : alignment,
                                      big ? kBigHeader : kSmallHeader, length, &node);
    char* bytes = m_out.GetStart();
    // Bytes without a source are zeros rather than whatever the block held.
    if (data)
        std::memcpy(bytes + start, data, length);
    else
        std::memset(bytes + start, 0, length);
    if (big)
        WriteValueNodeEx(node, start);
    else
        WriteValueNode(node, start);
}

template <class T>
void TTaggedOutputStream::SetNumber(T value, const char* name, int index) {
    // Stored little-endian whatever the machine.
    if constexpr (sizeof(T) > 1 && std::endian::native == std::endian::big)
        value = cvq::detail::ReverseBytes(value);
    if (!m_useTags) {
        m_out.WriteData(&value, sizeof(T));
        return;
    }
    uint32_t node;
    const uint32_t data = StartValue(name, index, sizeof(T) < 4 ? int(sizeof(T)) : 4, kSmallHeader,
                                     uint32_t(sizeof(T)), &node);
    std::memcpy(m_out.GetStart() + data, &value, sizeof(T));
    WriteValueNode(node, data);
}

void TTaggedOutputStream::SetValue(char value, const char* name, int index) {
    SetNumber(value, name, index);
}
void TTaggedOutputStream::SetValue(signed char value, const char* name, int index) {
    SetNumber(value, name, index);
}
void TTaggedOutputStream::SetValue(unsigned char value, const char* name, int index) {
    SetNumber(value, name, index);
}
void TTaggedOutputStream::SetValue(short value, const char* name, int index) {
    SetNumber(value, name, index);
}
void TTaggedOutputStream::SetValue(unsigned short value, const char* name, int index) {
    SetNumber(value, name, index);
}
void TTaggedOutputStream::SetValue(int value, const char* name, int index) {
    SetNumber(value, name, index);
}
void TTaggedOutputStream::SetValue(unsigned int value, const char* name, int index) {
    SetNumber(value, name, index);
}
void TTaggedOutputStream::SetValue(long value, const char* name, int index) {
    SetNumber(value, name, index);
}
void TTaggedOutputStream::SetValue(unsigned long value, const char* name, int index) {
    SetNumber(value, name, index);
}
void TTaggedOutputStream::SetValue(long long value, const char* name, int index) {
    SetNumber(value, name, index);
}
void TTaggedOutputStream::SetValue(unsigned long long value, const char* name, int index) {
    SetNumber(value, name, index);
}
void TTaggedOutputStream::SetValue(float value, const char* name, int index) {
    SetNumber(value, name, index);
}
void TTaggedOutputStream::SetValue(double value, const char* name, int index) {
    SetNumber(value, name, index);
}

void TTaggedOutputStream::SetValue(const char* text, const char* name, int index) {
    if (!text) text = "";
    const size_t length = std::strlen(text) + 1;
    if (length > UINT32_MAX) throw std::bad_alloc();
    SetBytes(text, uint32_t(length), 4, name, index);
}

void TTaggedOutputStream::SetBinary(const void* data, int length, const char* name, int index) {
    const uint32_t size = length > 0 ? uint32_t(length) : 0;
    if (!m_useTags) m_out.Write(size);
    SetBytes(data, size, 4, name, index);
}

void TTaggedOutputStream::EndSection(uint32_t start) {
    m_out.Align(4);
    const uint32_t end = m_out.GetCurrentPosition();
    const uint32_t crc =
        ComputeCrc32(m_out.GetStart() + start + kHeaderSize, end - start - kHeaderSize);
    const uint32_t saved = m_out.GetCurrentPosition();
    m_out.SetCurrentPosition(start + kCrcOffset);
    m_out.Write(crc);
    m_out.SetCurrentPosition(start + kLengthOffset);
    m_out.Write(end - start);
    m_out.SetCurrentPosition(saved);
}

void TTaggedOutputStream::CloseWriting() {
    if (m_closed) return;
    EndSection(0);
    m_closed = 1;
}

void TTaggedOutputStream::SaveAs(const TFileName& name, char checkSpace) {
    CloseWriting();
    const uint32_t size = GetSize();
    if (checkSpace) TFile::CheckDiskSpace(name, double(size));
    TFile::SaveFile(name, GetStart(), size);
}

bool TTaggedOutputStream::operator==(TTaggedOutputStream& other) noexcept {
    const uint32_t size = GetSize();
    return size == other.GetSize() &&
           (size == 0 || std::memcmp(GetStart(), other.GetStart(), size) == 0);
}

TTaggedOutputStream::TAutoTag::TAutoTag(TTaggedOutputStream& stream, const char* name, int index)
    : m_node(0), m_data(0), m_stream(&stream) {
    if (!stream.m_useTags) return;
    m_data = stream.WriteTag(name, index, 4, kBigHeader, &m_node);
}

TTaggedOutputStream::TAutoTag::~TAutoTag() {
    if (!m_stream->m_useTags) return;
    m_stream->WriteValueNodeEx(m_node, m_data);
}
