#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>
#include <commonvcqx/text/Checksums.h>
#include <commonvcqx/text/StaticStrings.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A copy of the bytes in a block of exactly their size, so that the sanitizer build
// sees any read past it.
class Block {
public:
    explicit Block(const std::vector<uint8_t>& bytes)
        : m_data(new char[bytes.empty() ? 1 : bytes.size()]), m_size(int32_t(bytes.size())) {
        if (!bytes.empty()) std::memcpy(m_data, bytes.data(), bytes.size());
    }
    ~Block() { delete[] m_data; }
    char* data() const { return m_data; }
    int32_t size() const { return m_size; }

private:
    char* m_data;
    int32_t m_size;
};

std::vector<uint8_t> Bytes(TTaggedOutputStream& out) {
    const uint8_t* start = reinterpret_cast<const uint8_t*>(out.GetStart());
    return std::vector<uint8_t>(start, start + out.GetSize());
}

uint32_t Word(const std::vector<uint8_t>& bytes, size_t offset) {
    uint32_t value;
    std::memcpy(&value, &bytes[offset], 4);
    return value;
}

void PutWord(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = uint8_t(value >> (8 * i));
}

// The documented example: document "doc", the long 3 stored as "Siz" in the root.
std::vector<uint8_t> Example() {
    TTaggedOutputStream out(1, "doc", 1);
    out.SetValue(int32_t(3), "Siz", 0);
    out.CloseWriting();
    return Bytes(out);
}

// Runs `read` over the block and tells whether it failed as a damaged stream.
bool FailsAsDamaged(const std::vector<uint8_t>& bytes, char useTags,
                    const std::function<void(TTaggedInputStream&)>& read) {
    Block block(bytes);
    try {
        TTaggedInputStream in(useTags, block.data(), block.size(), 0);
        read(in);
    } catch (const TException& e) {
        return e.GetMessage() && *e.GetMessage() == GetStaticString(18032);
    }
    return false;
}

char CountGroups(TTaggedInputStream*, const char*, int, intptr_t count) {
    ++*reinterpret_cast<int*>(count);
    return 1;
}

// Every lookup the reader offers, on the tags the tests write.
void ReadAll(TTaggedInputStream& in) {
    char buffer[1024];
    in.GetValue(int32_t(0), "Siz", 0);
    in.GetValue("", "T", 0);
    in.GetBinarySize("B", 0);
    if (in.GetBinarySize("B", 0) <= int32_t(sizeof buffer))
        in.GetBinary(buffer, nullptr, 0, "B", 0);
    int count = 0;
    in.ForEachGroup(CountGroups, reinterpret_cast<intptr_t>(&count));
    if (in.MoveDown("G/H", 1)) {
        in.GetValue(0.0, "D", 0);
        in.MoveUp();
    }
}

}  // namespace

TEST(TaggedInputStreamTest, ReadsEveryValueTypeBackInBothModes) {
    const std::string bigText(300, 'q');
    const uint8_t raw[] = {9, 8, 7};
    for (char useTags : {char(1), char(0)}) {
        TTaggedOutputStream out(useTags, "name", 1);
        out.SetValue(char('c'), "c", 0);
        out.SetValue(static_cast<signed char>(-5), "sc", 0);
        out.SetValue(static_cast<unsigned char>(250), "uc", 0);
        out.SetValue(short(-1234), "s", 0);
        out.SetValue(static_cast<unsigned short>(65000), "us", 0);
        out.SetValue(-70000, "i", 0);
        out.SetValue(4000000000u, "ui", 0);
        out.SetValue(-5000000000L, "l", 0);
        out.SetValue(18000000000000000000UL, "ul", 0);
        out.SetValue(-6000000000LL, "ll", 0);
        out.SetValue(17000000000000000000ULL, "ull", 0);
        out.SetValue(2.5f, "f", 0);
        out.SetValue(-1e300, "d", 0);
        out.SetValue("short text", "t", 0);
        out.SetValue(bigText.c_str(), "t", 1);
        out.SetBinary(raw, 3, "b", 0);
        out.SetBinary(nullptr, 0, "b", 1);
        out.CloseWriting();
        Block block(Bytes(out));
        TTaggedInputStream in(useTags, block.data(), block.size(), 0);
        EXPECT_EQ(in.GetDocumentName(), TString("name"));
        EXPECT_EQ(in.GetValue(char(0), "c", 0), 'c');
        EXPECT_EQ(in.GetValue(static_cast<signed char>(0), "sc", 0), -5);
        EXPECT_EQ(in.GetValue(static_cast<unsigned char>(0), "uc", 0), 250);
        EXPECT_EQ(in.GetValue(short(0), "s", 0), -1234);
        EXPECT_EQ(in.GetValue(static_cast<unsigned short>(0), "us", 0), 65000);
        EXPECT_EQ(in.GetValue(0, "i", 0), -70000);
        EXPECT_EQ(in.GetValue(0u, "ui", 0), 4000000000u);
        EXPECT_EQ(in.GetValue(0L, "l", 0), -5000000000L);
        EXPECT_EQ(in.GetValue(0UL, "ul", 0), 18000000000000000000UL);
        EXPECT_EQ(in.GetValue(0LL, "ll", 0), -6000000000LL);
        EXPECT_EQ(in.GetValue(0ULL, "ull", 0), 17000000000000000000ULL);
        EXPECT_EQ(in.GetValue(0.0f, "f", 0), 2.5f);
        EXPECT_EQ(in.GetValue(0.0, "d", 0), -1e300);
        EXPECT_EQ(in.GetValue("", "t", 0), TString("short text"));
        EXPECT_EQ(in.GetValue("", "t", 1), TString(bigText.c_str()));
        EXPECT_EQ(in.GetBinarySize("b", 0), 3);
        uint8_t back[3] = {};
        EXPECT_EQ(in.GetBinary(back, nullptr, 0, "b", 0), 3);
        EXPECT_EQ(std::memcmp(back, raw, 3), 0);
        EXPECT_EQ(in.GetBinarySize("b", 1), 0);
        EXPECT_EQ(in.GetBinary(back, nullptr, 0, "b", 1), 0);
        if (!useTags) {
            // Untagged: nothing is left, and reading on is damage, not a default.
            EXPECT_TRUE(FailsAsDamaged(Bytes(out), 0, [](TTaggedInputStream& again) {
                for (int i = 0; i < 100; ++i) again.GetValue(0.0, "x", 0);
            }));
        }
    }
}

TEST(TaggedInputStreamTest, FindsTagsInAnyOrderAndFallsBackToDefaults) {
    TTaggedOutputStream out(1, "doc", 1);
    for (int i = 0; i < 5; ++i) out.SetValue(i * 10, "E", i);
    out.SetValue(1, "Twice", 0);
    out.SetValue(2, "Twice", 0);
    out.SetValue(char(7), "x", 0);
    out.SetValue(char(8), "xy", 0);
    Block block(Bytes(out));
    TTaggedInputStream in(1, block.data(), block.size(), 0);

    // Backwards order: each lookup wraps to the first child once.
    for (int i = 4; i >= 0; --i) EXPECT_EQ(in.GetValue(-1, "E", i), i * 10) << i;
    // A missing tag gives the default and does not disturb the next lookup.
    EXPECT_EQ(in.GetValue(-1, "E", 9), -1);
    EXPECT_EQ(in.GetValue("fallback", "Nothing", 0), TString("fallback"));
    const uint8_t fallback[] = {1, 2};
    uint8_t dst[2] = {};
    EXPECT_EQ(in.GetBinary(dst, fallback, 2, "Nothing", 0), 2);
    EXPECT_EQ(dst[1], 2);
    EXPECT_EQ(in.GetValue(-1, "E", 2), 20);
    // The same tag twice gives its values in turn.
    EXPECT_EQ(in.GetValue(0, "Twice", 0), 1);
    EXPECT_EQ(in.GetValue(0, "Twice", 0), 2);
    // One-letter names match exactly, not as prefixes.
    EXPECT_EQ(in.GetValue(char(0), "xy", 0), 8);
    EXPECT_EQ(in.GetValue(char(0), "x", 0), 7);
    // A value asked for with a wider overload than it was written with is absent.
    EXPECT_EQ(in.GetValue(-3, "x", 0), -3);
    // Groups are not values.
    EXPECT_EQ(in.MoveDown("E", 1), 0);
}

TEST(TaggedInputStreamTest, NavigatesNestedGroupsAndPaths) {
    TTaggedOutputStream out(1, "doc", 1);
    out.MoveDown("a/b", 2);
    out.SetValue(42, "v", 0);
    out.MoveUp();
    out.MoveDown("c", 0);
    out.MoveDown("d", 0);
    out.SetValue(43, "v", 0);
    out.MoveDown("/", 0);
    out.SetValue(44, "v", 0);
    out.MoveDown("e", 3);
    out.MoveUp();
    Block block(Bytes(out));
    TTaggedInputStream in(1, block.data(), block.size(), 0);

    EXPECT_EQ(in.GetValue(0, "v", 0), 44);
    EXPECT_TRUE(in.MoveDown(" a / b ", 2));
    EXPECT_EQ(in.GetValue(0, "v", 0), 42);
    EXPECT_TRUE(in.MoveDown("/a/c/d", 0));
    EXPECT_EQ(in.GetValue(0, "v", 0), 43);
    // A missing part stops the walk where it got to.
    EXPECT_FALSE(in.MoveDown("/a/missing/d", 0));
    EXPECT_TRUE(in.MoveDown("c", 0));
    in.MoveUp();
    in.MoveUp();
    in.MoveUp();  // at the root: stays there
    EXPECT_EQ(in.GetValue(0, "v", 0), 44);

    struct Seen {
        std::vector<std::string> names;
        int stopAfter;
    } seen{{}, 99};
    auto visit = [](TTaggedInputStream* stream, const char* name, int i, intptr_t user) -> char {
        Seen& s = *reinterpret_cast<Seen*>(user);
        s.names.push_back(std::string(name) + ":" + std::to_string(i));
        stream->GetValue(0, "v", 0);
        return char(int(s.names.size()) < s.stopAfter);
    };
    in.ForEachGroup(visit, reinterpret_cast<intptr_t>(&seen));
    EXPECT_EQ(seen.names, (std::vector<std::string>{"a:0", "e3:1"}));
    seen = {{}, 1};
    in.ForEachGroup(visit, reinterpret_cast<intptr_t>(&seen));
    EXPECT_EQ(seen.names.size(), 1u);
    EXPECT_EQ(in.GetValue(0, "v", 0), 44);  // still at the root
}

TEST(TaggedInputStreamTest, ReadsTheOtherByteOrder) {
    // The documented example with every number reversed and another marker.
    // clang-format off
    std::vector<uint8_t> bytes = {
        'B', 'E', 0, 0,  0, 0, 0, 0,  0, 0, 0, 0x3C,  'd', 'o', 'c', 0,
        0, 0, 0, 0,  0, 0, 0x14, 0,  0, 0, 0, 0,  0, 0, 0, 0x2C,  0, 0, 0, 0x2C,
        'R', 'o', 'o', 't', 0, 0, 0, 0,
        0, 0, 0, 0,  4, 0x0C, 8, 0,  'S', 'i', 'z', 0,  0, 0, 0, 3};
    // clang-format on
    const std::vector<uint8_t> original = bytes;
    Block block(bytes);
    {
        TTaggedInputStream in(1, block.data(), block.size(), 0);
        EXPECT_EQ(in.GetValue(0, "Siz", 0), 3);
        EXPECT_EQ(in.GetDocumentName(), TString("doc"));
    }
    // The reader converts nothing in place.
    EXPECT_EQ(std::memcmp(block.data(), original.data(), original.size()), 0);

    // The same for the untagged form and a binary length.
    std::vector<uint8_t> plain = {'X', 'X',  0,    0, 0, 0, 0, 0,   0,   0, 0, 24,
                                  0,   0x12, 0x34, 0, 0, 0, 2, 'h', 'i', 0, 0, 0};
    Block plainBlock(plain);
    TTaggedInputStream in(0, plainBlock.data(), plainBlock.size(), 0);
    EXPECT_EQ(in.GetValue(short(0), "", 0), 0x1234);
    EXPECT_EQ(in.GetBinarySize("", 0), 2);
    char two[2];
    EXPECT_EQ(in.GetBinary(two, nullptr, 0, "", 0), 2);
    EXPECT_EQ(two[1], 'i');
}

TEST(TaggedInputStreamTest, DamagedBlocksFailAsDamagedStreams) {
    const std::vector<uint8_t> good = Example();
    // Every truncation: too short for the header, or the root cut off.
    for (size_t size = 0; size < 44; ++size)
        EXPECT_TRUE(
            FailsAsDamaged(std::vector<uint8_t>(good.begin(), good.begin() + size), 1, ReadAll))
            << size;
    for (size_t size = 0; size < 13; ++size)
        EXPECT_TRUE(
            FailsAsDamaged(std::vector<uint8_t>(good.begin(), good.begin() + size), 0, ReadAll))
            << size;
    // Cut inside the value: its header or data reach past the block.
    for (size_t size = 48; size < 60; ++size)
        EXPECT_TRUE(
            FailsAsDamaged(std::vector<uint8_t>(good.begin(), good.begin() + size), 1, ReadAll))
            << size;

    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
    };
    const Case cases[] = {
        {"document name without NUL", [](auto& b) { std::memset(&b[12], 'x', b.size() - 12); }},
        {"root is a value", [](auto& b) { b[16 + 5] = 12; }},
        {"first child outside", [](auto& b) { PutWord(b, 16 + 12, 0x7FFFFFF0); }},
        {"first child unaligned", [](auto& b) { PutWord(b, 16 + 12, 45); }},
        {"first child before its group", [](auto& b) { PutWord(b, 16 + 12, 12); }},
        {"chain points to itself",
         [](auto& b) {
             b[52] = 'X';  // so that the lookup walks on
             PutWord(b, 44, 44);
         }},
        {"chain points backwards",
         [](auto& b) {
             b[52] = 'X';
             PutWord(b, 44, 16);
         }},
        {"data past the block", [](auto& b) { b[44 + 4] = 200; }},
        {"big length past the block",
         [](auto& b) {
             b[44 + 4] = 0;
             b[44 + 5] = 16;
             b[44 + 6] = 12;
             PutWord(b, 52, 0xFFFFFFF0);
             std::memcpy(&b[56], "Siz", 4);
         }},
        {"name without NUL", [](auto& b) { std::memset(&b[52], 'S', 8); }},
        {"name offset inside the header", [](auto& b) { b[44 + 6] = 2; }},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = good;
        c.damage(bytes);
        EXPECT_TRUE(FailsAsDamaged(bytes, 1, ReadAll)) << c.what;
    }

    // A group whose children loop back, found through a path.
    TTaggedOutputStream out(1, "doc", 1);
    out.MoveDown("G", 0);
    out.SetValue(1, "x", 0);
    out.MoveUp();
    std::vector<uint8_t> looped = Bytes(out);
    const uint32_t group = 44;
    PutWord(looped, group + 12, group);  // its first child is itself
    EXPECT_TRUE(FailsAsDamaged(looped, 1, [](TTaggedInputStream& in) {
        in.MoveDown("G", 0);
        in.GetValue(0, "missing", 0);
    }));
    std::vector<uint8_t> orphan = Bytes(out);
    PutWord(orphan, group + 8, 0);  // names another parent
    EXPECT_TRUE(FailsAsDamaged(orphan, 1, [](TTaggedInputStream& in) { in.MoveDown("G", 0); }));

    // Untagged: a binary length larger than the rest of the block.
    TTaggedOutputStream plain(0, "doc", 1);
    plain.SetBinary("abc", 3, "", 0);
    std::vector<uint8_t> lying = Bytes(plain);
    PutWord(lying, 16, 1000);
    EXPECT_TRUE(FailsAsDamaged(lying, 0, [](TTaggedInputStream& in) { in.GetBinarySize("", 0); }));
    EXPECT_TRUE(FailsAsDamaged(lying, 0, [](TTaggedInputStream& in) {
        char dst[8];
        in.GetBinary(dst, nullptr, 0, "", 0);
    }));
    // The undamaged example reads as it should.
    EXPECT_FALSE(FailsAsDamaged(good, 1, ReadAll));
}

namespace {

// Reads a block with the length and CRC check that loading from a file uses.
class TCheckedReader : public TTaggedInputStream {
public:
    TCheckedReader(void* data, int32_t size) : TTaggedInputStream(1, data, size, 0) { Init(0, 1); }
};

}  // namespace

TEST(TaggedInputStreamTest, CrcCheckRejectsWhatTheMemoryReaderAccepts) {
    std::vector<uint8_t> bytes = Example();
    {
        Block block(bytes);
        EXPECT_NO_THROW(TCheckedReader(block.data(), block.size()));
    }
    bytes[58] ^= 1;  // a changed value
    Block changed(bytes);
    EXPECT_THROW(TCheckedReader(changed.data(), changed.size()), TException);
    TTaggedInputStream in(1, changed.data(), changed.size(), 0);
    EXPECT_EQ(in.GetValue(0, "Siz", 0), 3 | 0x10000);

    std::vector<uint8_t> longer = Example();
    PutWord(longer, 8, 64);  // longer than the block
    Block tooLong(longer);
    EXPECT_THROW(TCheckedReader(tooLong.data(), tooLong.size()), TException);
}

TEST(TaggedInputStreamTest, RawContentsAndOwnership) {
    TTaggedOutputStream out(1, "doc", 0);  // the buffer becomes ours
    {
        TTaggedOutputStream::TAutoTag tag(out, "Raw", 0);
        const int32_t words[] = {5, 6};
        out.GetMemoryStream().Write(words, 2);
    }
    out.CloseWriting();
    char* block = const_cast<char*>(out.GetStart());
    const int32_t size = int32_t(out.GetSize());
    TTaggedInputStream in(1, block, size, 1);  // and now the reader's
    int32_t node = -1;
    const char* data = in.MoveToDataStart("Raw", 0, &node);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(node, 44);
    int32_t words[2];
    in.GetMemoryStream().ReadChecked(words, 2);
    EXPECT_EQ(words[1], 6);
    EXPECT_EQ(in.GetBinarySize("Raw", 0), 8);
    EXPECT_EQ(in.MoveToDataStart("None", 0, &node), nullptr);
    EXPECT_EQ(node, 0);
    EXPECT_FALSE(in.ForceRecreate());
    in.ForceRecreate(1);
    EXPECT_TRUE(in.ForceRecreate());
}

namespace {

// The reader's lookup rules over a parsed copy of the tree, as plain as they can be
// written: the reference every faster walk must agree with, repeated names, wrong
// widths, resumed and restarted lookups included.
class TLookupModel {
public:
    explicit TLookupModel(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {
        const size_t nameEnd = 12 + std::strlen(reinterpret_cast<const char*>(&bytes[12]));
        m_root = m_current = Parse(uint32_t((nameEnd + 1 + 3) & ~size_t(3)), -1);
        m_position = m_nodes[size_t(m_root)].offset;
    }

    int32_t GetInt(const std::string& stored) { return GetNumber<int32_t>(stored, -1); }
    char GetChar(const std::string& stored) { return GetNumber<char>(stored, '?'); }
    int32_t GetBinarySize(const std::string& stored) {
        const int found = Find(stored, 2);
        return found < 0 || Of(found).group ? 0 : int32_t(Of(found).length);
    }
    bool MoveDown(const std::string& stored) {
        const int found = Find(stored, 1);
        if (found < 0 || !Of(found).group) return false;
        m_current = found;
        return true;
    }
    void MoveUp() {
        if (m_current != m_root) m_current = Of(m_current).parent;
    }
    void Keep() { m_kept.push_back({m_current, m_lastFound, m_lastFoundGroup, m_position}); }
    void PutBack() {
        const TState& state = m_kept.back();
        m_current = state.current;
        m_lastFound = state.lastFound;
        m_lastFoundGroup = state.lastFoundGroup;
        m_position = state.position;
        m_kept.pop_back();
    }
    bool Keeping() const { return !m_kept.empty(); }
    uint32_t Position() const { return m_position; }

private:
    struct TNode {
        uint32_t offset, data, length;
        std::string name;
        bool group;
        int parent;
        std::vector<int> children;
    };
    struct TState {
        int current, lastFound, lastFoundGroup;
        uint32_t position;
    };

    uint32_t Word(uint32_t at) const {
        uint32_t value;
        std::memcpy(&value, &m_bytes[at], 4);
        return value;
    }
    const TNode& Of(int node) const { return m_nodes[size_t(node)]; }

    int Parse(uint32_t offset, int parent) {
        TNode node;
        node.offset = offset;
        node.group = m_bytes[offset + 5] == 0;
        node.parent = parent;
        node.name = reinterpret_cast<const char*>(&m_bytes[offset + m_bytes[offset + 6]]);
        node.data = offset + m_bytes[offset + 5];
        node.length = m_bytes[offset + 4] ? m_bytes[offset + 4] : Word(offset + 8);
        const int self = int(m_nodes.size());
        m_nodes.push_back(node);
        if (node.group)
            for (uint32_t child = Word(offset + 12); child; child = Word(child)) {
                const int parsed = Parse(child, self);
                m_nodes[size_t(self)].children.push_back(parsed);
            }
        return self;
    }

    int Find(const std::string& stored, int mode) {
        const std::vector<int>& children = Of(m_current).children;
        auto scan = [&](size_t from) {
            for (size_t k = from; k < children.size(); ++k)
                if (Of(children[k]).name == stored) return children[k];
            return -1;
        };
        int found;
        if (mode != 0 && m_lastFound >= 0 && m_lastFoundGroup == m_current) {
            const size_t at =
                size_t(std::find(children.begin(), children.end(), m_lastFound) - children.begin());
            found = scan(at + 1);
            if (found < 0) found = scan(0);
        } else {
            found = scan(0);
        }
        if (mode == 1) {
            m_lastFound = found;
            m_lastFoundGroup = m_current;
        }
        return found;
    }

    template <class T>
    T GetNumber(const std::string& stored, T def) {
        const int found = Find(stored, 1);
        if (found < 0 || Of(found).group || Of(found).length < sizeof(T)) return def;
        T value;
        std::memcpy(&value, &m_bytes[Of(found).data], sizeof(T));
        m_position = Of(found).data + uint32_t(sizeof(T));
        return value;
    }

    const std::vector<uint8_t>& m_bytes;
    std::vector<TNode> m_nodes;
    std::vector<TState> m_kept;
    int m_root, m_current, m_lastFound = -1, m_lastFoundGroup = -1;
    uint32_t m_position;
};

const char* const kModelNames[] = {"E", "V", "x", "Siz"};

std::string Stored(int name, int index) {
    return std::string(kModelNames[name]) + (index ? std::to_string(index) : "");
}

// A document of few names and many repeats, groups re-entered and shadowed by values,
// some groups with hundreds of children.
std::vector<uint8_t> RandomDocument(std::mt19937& random) {
    TTaggedOutputStream out(1, "model", 1);
    int depth = 0;
    const int steps = 200 + int(random() % 1200);
    for (int serial = 0; serial < steps; ++serial) {
        const int name = int(random() % 4);
        const int index = int(random() % (random() % 2 ? 4 : 300));
        switch (random() % 16) {
            case 0:
                if (depth < 3) {
                    out.MoveDown(kModelNames[name], index);
                    ++depth;
                }
                break;
            case 1:
                if (depth > 0) {
                    out.MoveUp();
                    --depth;
                }
                break;
            case 2:
                out.SetValue(char('a' + serial % 26), kModelNames[name], index);
                break;
            default:
                out.SetValue(int32_t(serial), kModelNames[name], index);
        }
    }
    out.CloseWriting();
    return Bytes(out);
}

}  // namespace

TEST(TaggedInputStreamTest, LookupsAgreeWithTheSimpleModelInAnyOrder) {
    std::mt19937 random(31);
    for (int round = 0; round < 40; ++round) {
        const std::vector<uint8_t> bytes = RandomDocument(random);
        Block block(bytes);
        TTaggedInputStream in(1, block.data(), block.size(), 0);
        TLookupModel model(bytes);
        std::vector<std::unique_ptr<TTaggedStream::TAutoPosition>> kept;
        // Mostly in writing order (indexes rising), sometimes anywhere.
        int next = 0;
        for (int op = 0; op < 3000; ++op) {
            const int name = int(random() % 4);
            const int index = random() % 3 ? next++ % 300 : int(random() % 300);
            const std::string stored = Stored(name, index);
            const char* text = kModelNames[name];
            SCOPED_TRACE(testing::Message() << "round " << round << " op " << op << " " << stored);
            switch (random() % 12) {
                case 0:
                    ASSERT_EQ(in.MoveDown(text, index) != 0, model.MoveDown(stored));
                    break;
                case 1:
                    in.MoveUp();
                    model.MoveUp();
                    break;
                case 2:
                    ASSERT_EQ(in.GetValue(char('?'), text, index), model.GetChar(stored));
                    break;
                case 3:
                    ASSERT_EQ(in.GetBinarySize(text, index), model.GetBinarySize(stored));
                    break;
                case 4:
                    kept.push_back(std::make_unique<TTaggedStream::TAutoPosition>(in));
                    model.Keep();
                    break;
                case 5:
                    if (model.Keeping()) {
                        kept.pop_back();
                        model.PutBack();
                    }
                    break;
                case 6:
                    next = int(random() % 300);
                    break;
                default:
                    ASSERT_EQ(in.GetValue(int32_t(-1), text, index), model.GetInt(stored));
            }
            ASSERT_EQ(in.GetSize(), model.Position());
        }
        while (!kept.empty()) kept.pop_back();
    }
}

namespace {

// Reads "E" i of group "G" for each i in turn: the last value, -1 when absent, -2 when
// the stream failed as damaged on the way.
int ReadInTurn(const std::vector<uint8_t>& bytes, const std::vector<int>& indexes) {
    int last = -1;
    const bool damaged = FailsAsDamaged(bytes, 1, [&](TTaggedInputStream& in) {
        if (!in.MoveDown("G", 0)) throw std::runtime_error("no group");
        for (int i : indexes) last = in.GetValue(-1, "E", i);
    });
    return damaged ? -2 : last;
}

}  // namespace

TEST(TaggedInputStreamTest, LargeGroupsFailAtTheDamageAWalkWouldReach) {
    // Thirty children: lookups that walk past the first few go through the group's index,
    // which must answer as the walk would, damage included.
    TTaggedOutputStream out(1, "doc", 1);
    out.MoveDown("G", 0);
    for (int i = 0; i < 30; ++i) out.SetValue(i * 3, "E", i);
    out.MoveUp();
    const std::vector<uint8_t> good = Bytes(out);
    std::vector<uint32_t> nodes;
    for (uint32_t node = Word(good, 44 + 12); node; node = Word(good, node)) nodes.push_back(node);
    ASSERT_EQ(nodes.size(), 30u);

    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        int firstLost;  // the first child no walk gets to
    };
    const Case cases[] = {
        {"undamaged", [](auto&) {}, 30},
        {"chain turns back after E20", [&](auto& b) { PutWord(b, nodes[20], nodes[3]); }, 21},
        {"E15's name inside its header", [&](auto& b) { b[nodes[15] + 6] = 2; }, 15},
        {"E25 unaligned", [&](auto& b) { PutWord(b, nodes[24], nodes[25] + 1); }, 25},
        {"E9 outside the block", [&](auto& b) { PutWord(b, nodes[8], 0x7FFFFFF0); }, 9},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = good;
        c.damage(bytes);
        const int lost = c.firstLost;
        auto expect = [&](int index) { return index < lost ? index * 3 : -2; };
        SCOPED_TRACE(c.what);
        // Straight to a child, in order, backwards, and wrapping round after a resume.
        for (int i : {0, 7, 8, 9, 14, 15, 20, 21, 24, 25, 29})
            EXPECT_EQ(ReadInTurn(bytes, {i}), expect(i)) << i;
        std::vector<int> inOrder;
        for (int i = 0; i < 30; ++i) inOrder.push_back(i);
        EXPECT_EQ(ReadInTurn(bytes, inOrder), lost == 30 ? 87 : -2);
        // Resuming after the last sound child meets the damage before anything else.
        EXPECT_EQ(ReadInTurn(bytes, {lost - 1, 29 - lost / 2, 2}), lost == 30 ? 6 : -2);
        // Forward hits need no walk past them; a lookup behind the last hit walks on to
        // the end before it wraps round, and so meets any damage there.
        EXPECT_EQ(ReadInTurn(bytes, {2, lost / 2, lost - 1}), expect(lost - 1));
        EXPECT_EQ(ReadInTurn(bytes, {lost / 2, 2}), lost == 30 ? 6 : -2);
        // An absent tag walks the whole chain: it reaches any damage.
        EXPECT_EQ(ReadInTurn(bytes, {99}), lost == 30 ? -1 : -2);
        EXPECT_EQ(ReadInTurn(bytes, {3, 99}), lost == 30 ? -1 : -2);
    }
}
