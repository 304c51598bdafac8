#include <commonvcqx/streams/TaggedInputStream.h>

#include <commonvcqx/files/File.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/text/Checksums.h>

#include <cstring>
#include <stdexcept>

namespace {

constexpr uint32_t kHeaderSize = 12;
constexpr uint32_t kSmallestBlock = 13;

}  // namespace

TTaggedInputStream::TTaggedInputStream(char useTags, void* data, int32_t size, char autoDelete)
    : TTaggedStream(useTags, m_in),
      m_in(data, size > 0 && data ? uint32_t(size) : 0),
      m_autoDelete(autoDelete),
      m_forceRecreate(0) {
    Init(0, 0);
}

TTaggedInputStream::TTaggedInputStream(char useTags, const TFileName& name, char autoDelete)
    : TTaggedStream(useTags, m_in), m_in(nullptr, 0), m_autoDelete(autoDelete), m_forceRecreate(0) {
    uint32_t size = 0;
    void* data = TFile::LoadFile(name, &size);
    m_in.SetInputMemory(data, size);
    try {
        Init(0, 1);
    } catch (...) {
        // The caller never sees the block of a failed parse, whoever was to own it.
        NH_Heap::FreeMem(data);
        m_in.SetInputMemory(nullptr, 0);
        throw;
    }
}

TTaggedInputStream::~TTaggedInputStream() {
    FreeMemory();
}

void TTaggedInputStream::FreeMemory() noexcept {
    if (m_autoDelete && m_in.GetStart()) NH_Heap::FreeMem(m_in.GetStart());
    m_in.SetInputMemory(nullptr, 0);
}

void TTaggedInputStream::Init(uint32_t start, char checkCrc) {
    const uint32_t size = m_in.GetSize();
    if (start > size || size - start < kSmallestBlock) Fail();
    try {
        m_in.SetCurrentPositionChecked(start);
        char marker[4];
        m_in.ReadDataChecked(marker, 4);
        const bool swapped = !(marker[0] == 'L' && marker[1] == 'E');
        m_in.SetEndianType(swapped ? kBigEndian : kLittleEndian);
        m_swapped = swapped;
        uint32_t crc, length;
        m_in.ReadChecked(&crc, 1);
        m_in.ReadChecked(&length, 1);
        if (checkCrc) {
            if (length > size - start || length < kSmallestBlock) Fail();
            if (ComputeCrc32(m_in.GetStart() + start + kHeaderSize, length - kHeaderSize) != crc)
                Fail();
        }
        m_documentName = m_in.ReadStringChecked();
        if (!m_useTags) return;
        const uint32_t root = m_in.Align(4);
        CheckNode(root, root - 1);
        if (!IsGroup(root)) Fail();
        m_root = m_current = root;
        m_lastFound = m_lastFoundGroup = 0;
        DropIndexes();
    } catch (const std::out_of_range&) {
        Fail();
    }
}

char TTaggedInputStream::MoveDown(const char* path, int index) {
    if (!m_useTags) return 1;
    if (!path) path = "";
    if (!std::strchr(path, '/')) return MoveDownOne(path, index);
    return WalkPath(path, index, [this](const char* part, int partIndex) {
        return MoveDownOne(part, partIndex) != 0;
    });
}

char TTaggedInputStream::MoveDownOne(const char* name, int index) {
    const uint32_t node = FindNode(name, index, 1);
    if (!node || !IsGroup(node)) return 0;
    // The group must name the group it was found in, which MoveUp returns to.
    if (Parent(node) != m_current) Fail();
    m_current = node;
    return 1;
}

template <class T>
T TTaggedInputStream::GetNumber(T def, const char* name, int index) {
    T value = def;
    if (!m_useTags) {
        try {
            m_in.ReadChecked(&value, 1);
        } catch (const std::out_of_range&) {
            Fail();
        }
        return value;
    }
    const uint32_t node = FindValue(name, index, 1);
    if (!node) return def;
    uint32_t length;
    const uint32_t data = GetData(node, &length);
    // A value narrower than the one asked for was written by another overload.
    if (length < sizeof(T)) return def;
    // FindValue has checked that the data lies in the block.
    std::memcpy(&value, Node(data), sizeof(T));
    if constexpr (sizeof(T) > 1)
        if (m_swapped) value = cvq::detail::ReverseBytes(value);
    m_in.SetCurrentPosition(data + uint32_t(sizeof(T)));
    return value;
}

char TTaggedInputStream::GetValue(char def, const char* name, int index) {
    return GetNumber(def, name, index);
}
signed char TTaggedInputStream::GetValue(signed char def, const char* name, int index) {
    return GetNumber(def, name, index);
}
unsigned char TTaggedInputStream::GetValue(unsigned char def, const char* name, int index) {
    return GetNumber(def, name, index);
}
short TTaggedInputStream::GetValue(short def, const char* name, int index) {
    return GetNumber(def, name, index);
}
unsigned short TTaggedInputStream::GetValue(unsigned short def, const char* name, int index) {
    return GetNumber(def, name, index);
}
int TTaggedInputStream::GetValue(int def, const char* name, int index) {
    return GetNumber(def, name, index);
}
unsigned int TTaggedInputStream::GetValue(unsigned int def, const char* name, int index) {
    return GetNumber(def, name, index);
}
long TTaggedInputStream::GetValue(long def, const char* name, int index) {
    return GetNumber(def, name, index);
}
unsigned long TTaggedInputStream::GetValue(unsigned long def, const char* name, int index) {
    return GetNumber(def, name, index);
}
long long TTaggedInputStream::GetValue(long long def, const char* name, int index) {
    return GetNumber(def, name, index);
}
unsigned long long TTaggedInputStream::GetValue(unsigned long long def, const char* name,
                                                int index) {
    return GetNumber(def, name, index);
}
float TTaggedInputStream::GetValue(float def, const char* name, int index) {
    return GetNumber(def, name, index);
}
double TTaggedInputStream::GetValue(double def, const char* name, int index) {
    return GetNumber(def, name, index);
}

TString TTaggedInputStream::GetValue(const char* def, const char* name, int index) {
    try {
        if (!m_useTags) return m_in.ReadStringChecked();
        const uint32_t node = FindValue(name, index, 1);
        if (!node) return TString(def);
        uint32_t length;
        const uint32_t data = GetData(node, &length);
        m_in.SetCurrentPositionChecked(data);
        // The text ends at its NUL, or with the data when the NUL is missing.
        const char* text = m_in.GetPosition();
        const void* nul = length ? std::memchr(text, 0, length) : nullptr;
        const uint32_t count = nul ? uint32_t(static_cast<const char*>(nul) - text) : length;
        m_in.SetCurrentPosition(data + length);
        return TString(text, 0, 0, count);
    } catch (const std::out_of_range&) {
        Fail();
    }
}

int32_t TTaggedInputStream::GetBinary(void* dst, const void* defaultData, int defaultLength,
                                      const char* name, int index) {
    try {
        uint32_t length;
        if (m_useTags) {
            const uint32_t node = FindValue(name, index, 1);
            if (!node) {
                if (defaultData && defaultLength > 0)
                    std::memcpy(dst, defaultData, size_t(defaultLength));
                return defaultLength;
            }
            m_in.SetCurrentPositionChecked(GetData(node, &length));
        } else {
            m_in.ReadChecked(&length, 1);
        }
        if (length > INT32_MAX) Fail();
        m_in.ReadDataChecked(dst, length);
        return int32_t(length);
    } catch (const std::out_of_range&) {
        Fail();
    }
}

int32_t TTaggedInputStream::GetBinarySize(const char* name, int index) {
    uint32_t length = 0;
    if (m_useTags) {
        const uint32_t node = FindValue(name, index, 2);
        if (!node) return 0;
        GetData(node, &length);
    } else {
        const uint32_t position = m_in.GetCurrentPosition();
        try {
            m_in.ReadChecked(&length, 1);
        } catch (const std::out_of_range&) {
            Fail();
        }
        m_in.SetCurrentPosition(position);
        // A length the rest of the block cannot hold is damage, not a size.
        if (length > m_in.GetRemaining()) Fail();
    }
    if (length > INT32_MAX) Fail();
    return int32_t(length);
}

const char* TTaggedInputStream::MoveToDataStart(const char* name, int index, int32_t* nodeOffset) {
    if (nodeOffset) *nodeOffset = 0;
    if (!m_useTags) return m_in.GetPosition();
    const uint32_t node = FindValue(name, index, 1);
    if (!node) return nullptr;
    uint32_t length;
    m_in.SetCurrentPosition(GetData(node, &length));
    if (nodeOffset) *nodeOffset = int32_t(node);
    return m_in.GetPosition();
}

void TTaggedInputStream::ForEachGroup(char (*fn)(TTaggedInputStream*, const char* name, int i,
                                                 intptr_t userData),
                                      intptr_t userData) {
    if (!m_useTags) return;
    const uint32_t group = m_current;
    int ordinal = 0;
    uint32_t after = group;
    for (uint32_t node = FirstChild(group); node; after = node, node = Next(node)) {
        CheckNode(node, after);
        if (!IsGroup(node)) continue;
        if (Parent(node) != group) Fail();
        // The name must end inside the block before it is handed out.
        const uint32_t name = GetName(node);
        if (name >= GetLimit() || !std::memchr(Node(name), 0, GetLimit() - name)) Fail();
        // The group is left again even when the function throws.
        struct TLeave {
            uint32_t& current;
            uint32_t group;
            ~TLeave() { current = group; }
        } leave{m_current, group};
        m_current = node;
        if (!fn(this, Node(name), ordinal++, userData)) break;
    }
}

bool TTaggedInputStream::operator==(TTaggedInputStream& other) noexcept {
    const uint32_t size = GetSize();
    return size == other.GetSize() &&
           (size == 0 || std::memcmp(GetStart(), other.GetStart(), size) == 0);
}
