// commonvcqx/streams/TaggedStream.h
//
// TTaggedStream: what the tagged writer and reader share, a tree of named groups and
// named values laid out in one memory block. Offsets are from the start of the block;
// the block is read afresh through the memory stream on every access because an
// output block moves as it grows.
//
// A tag is a name and an index; the stored name is the name, followed by the index
// in decimal when the index is not 0 ("E" with index 3 is stored as "E3").
//
//   TTaggedOutputStream out(1, "song", 1);
//   out.MoveDown("Track", 2);               // group "Track2" under the root
//   out.MoveUp();
//
// Nodes start at multiples of 4 with an 8-byte header: next sibling (32-bit), data
// length of a small value (byte), data offset (byte, 0 for a group), name offset
// (byte), 0. A group then holds its parent, first and last child; a big value its
// 32-bit length.
//
// Every node the reader walks is checked before use: it lies in the block, after
// its group and after its previous sibling, so no chain can loop or leave the block.
// A node that fails the checks throws the library exception of static string 18032.
#pragma once

#include <commonvcqx/streams/MemoryStream.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

class TTaggedStream {
public:
    TTaggedStream(const TTaggedStream&) = delete;
    TTaggedStream& operator=(const TTaggedStream&) = delete;

    /// The parent of the current group becomes current; at the root nothing changes.
    void MoveUp();
    char UseTags() const noexcept { return m_useTags; }

    /// Longest stored name (index digits included) a tag may have.
    static constexpr uint32_t kMaxStoredName = 255;

    /// Remembers where a stream stands (its current group, the reader's search record
    /// and read position) and puts it back when it goes, so that a container's
    /// elements each start from the container's group. It only ever reinstates what the
    /// same stream held, so no offset from outside reaches the stream.
    ///
    ///   TTaggedStream::TAutoPosition keep(in);
    ///   element->RestoreState(in, context, "E", i);   // may move anywhere
    ///   // back in the container's group when `keep` goes
    class TAutoPosition {
    public:
        explicit TAutoPosition(TTaggedStream& stream) noexcept;
        ~TAutoPosition() { Restore(); }
        TAutoPosition(const TAutoPosition&) = delete;
        TAutoPosition& operator=(const TAutoPosition&) = delete;
        /// Puts the stream back now; it is put back again when the scope ends.
        void Restore() noexcept;

    private:
        TTaggedStream& m_stream;
        uint32_t m_current;
        uint32_t m_lastFound;
        uint32_t m_lastFoundGroup;
        uint32_t m_readPosition;
    };

protected:
    // Node header layout.
    static constexpr uint32_t kNext = 0;
    static constexpr uint32_t kSmallLength = 4;
    static constexpr uint32_t kDataOffset = 5;
    static constexpr uint32_t kNameOffset = 6;
    static constexpr uint32_t kParent = 8;
    static constexpr uint32_t kBigLength = 8;
    static constexpr uint32_t kFirstChild = 12;
    static constexpr uint32_t kLastChild = 16;
    static constexpr uint32_t kSmallHeader = 8;
    static constexpr uint32_t kBigHeader = 12;
    static constexpr uint32_t kGroupHeader = 20;

    /// A stored name built from a tag, NUL-terminated.
    struct TStoredName {
        char text[kMaxStoredName + 16];
        uint32_t length;  ///< without the NUL; longer than kMaxStoredName: not storable
    };
    static void MakeStoredName(const char* name, int index, TStoredName& stored) noexcept;
    /// Writes the decimal digits of a non-zero index (with its sign) to `dst`, without a
    /// NUL; returns how many (at most 11, none for 0).
    static uint32_t PutIndex(int index, char* dst) noexcept;

    TTaggedStream(char useTags, TMemoryStream& memory) noexcept;
    ~TTaggedStream();

    /// Bytes of the block that nodes may occupy.
    virtual uint32_t GetLimit() = 0;
    /// The reader's read position, which TAutoPosition keeps; a writer has none to keep.
    virtual uint32_t GetReadPosition() noexcept { return 0; }
    virtual void SetReadPosition(uint32_t) noexcept {}

    /// The child of the current group stored under `stored`, 0 when none. Mode 0 scans
    /// from the first child; mode 1 resumes after the previous hit in the same group and
    /// records the result; mode 2 resumes but records nothing. A scan that goes on past
    /// a few children continues in the group's name index, with the same result.
    uint32_t FindNode(const TStoredName& stored, int mode);
    uint32_t FindNode(const char* name, int index, int mode);
    /// FindNode for a value whose data lies in the block (checked); 0 when the tag is
    /// absent or a group.
    uint32_t FindValue(const char* name, int index, int mode);

    /// Walks a path of group names split at "/": each part, trimmed of spaces and tabs,
    /// goes to enter(part, index) (index 0 for all but the last); empty parts are
    /// skipped and a leading "/" makes the root current first. Stops with false at the
    /// first part that enter refuses.
    template <class F>
    bool WalkPath(const char* path, int index, F enter) {
        const char* p = path;
        if (*p == '/') m_current = m_root;
        // Finds the next part, trimmed; false when none is left.
        auto nextPart = [](const char*& s, const char*& begin, const char*& end) {
            while (*s) {
                const char* stop = std::strchr(s, '/');
                if (!stop) stop = s + std::strlen(s);
                begin = s;
                end = stop;
                s = *stop ? stop + 1 : stop;
                while (begin < end && (*begin == ' ' || *begin == '\t')) ++begin;
                while (end > begin && (end[-1] == ' ' || end[-1] == '\t')) --end;
                if (begin < end) return true;
            }
            return false;
        };
        const char *begin, *end;
        if (!nextPart(p, begin, end)) return true;
        char part[kMaxStoredName + 2];
        for (;;) {
            const char *nextBegin, *nextEnd;
            const bool last = !nextPart(p, nextBegin, nextEnd);
            // A part too long to store is kept too long, so that it can never match.
            const size_t length = std::min<size_t>(size_t(end - begin), kMaxStoredName + 1);
            std::memcpy(part, begin, length);
            part[length] = 0;
            if (!enter(part, last ? index : 0)) return false;
            if (last) return true;
            begin = nextBegin;
            end = nextEnd;
        }
    }

    // Node accessors. Reads of header fields are bounds-checked by CheckNode first.
    char* Node(uint32_t offset) const noexcept { return m_memory->GetStart() + offset; }
    uint32_t Get32(uint32_t offset) const noexcept {
        uint32_t value;
        std::memcpy(&value, m_memory->GetStart() + offset, 4);
        return m_swapped ? __builtin_bswap32(value) : value;
    }
    void Put32(uint32_t offset, uint32_t value) noexcept {
        if (m_swapped) value = __builtin_bswap32(value);
        std::memcpy(m_memory->GetStart() + offset, &value, 4);
    }
    uint8_t Byte(uint32_t offset) const noexcept {
        return static_cast<uint8_t>(m_memory->GetStart()[offset]);
    }
    uint32_t Next(uint32_t node) const noexcept { return Get32(node + kNext); }
    uint32_t Parent(uint32_t group) const noexcept { return Get32(group + kParent); }
    uint32_t FirstChild(uint32_t group) const noexcept { return Get32(group + kFirstChild); }
    uint32_t LastChild(uint32_t group) const noexcept { return Get32(group + kLastChild); }
    bool IsGroup(uint32_t node) const noexcept { return Byte(node + kDataOffset) == 0; }
    bool IsValue(uint32_t node) const noexcept { return !IsGroup(node); }
    bool IsSmallValue(uint32_t node) const noexcept {
        return IsValue(node) && Byte(node + kSmallLength) != 0;
    }
    bool IsBigValue(uint32_t node) const noexcept {
        return IsValue(node) && Byte(node + kSmallLength) == 0;
    }
    /// Offset of the stored name.
    uint32_t GetName(uint32_t node) const noexcept { return node + Byte(node + kNameOffset); }
    /// Offset of a value's data; its length goes to *length.
    uint32_t GetData(uint32_t value, uint32_t* length) const noexcept;

    /// Checks that the node at `offset` may be read as a node of a chain whose
    /// previous member (or group) lies at `after`; throws when not.
    void CheckNode(uint32_t offset, uint32_t after);
    /// CheckNode without the test of the name's end, for blocks of `limit` bytes.
    bool IsSoundHeader(uint32_t offset, uint32_t after, uint32_t limit) const noexcept;
    /// Length of the stored name at `name` (below `limit`), -1 when it has no NUL
    /// within the longest name a node can hold.
    int32_t NameLength(uint32_t name, uint32_t limit) const noexcept;
    /// Checks that a value's data lies in the block; throws when not.
    void CheckData(uint32_t value);
    /// CheckData's test for a block of `limit` bytes.
    bool IsSoundData(uint32_t value, uint32_t limit) const noexcept;
    /// Throws the exception of a damaged stream.
    [[noreturn]] static void Fail();
    /// Forgets what the name indexes know, for a stream that parses its block afresh.
    void DropIndexes() noexcept;

private:
    struct TIndexes;

    /// The first child from `node` on (its predecessor at `after`) stored under
    /// `stored`, 0 when the chain ends first; throws at a damaged node on the way.
    uint32_t Scan(const TStoredName& stored, uint32_t node, uint32_t after, uint32_t limit);
    uint32_t Find(const TStoredName& stored, int mode, uint32_t limit);
    /// The stored name at `name` is `stored`; `name` lies below `limit`.
    bool NameIs(uint32_t name, const TStoredName& stored, uint32_t limit) const noexcept;
    /// Scan's answer from the index of the current group, for `node` after `after`.
    uint32_t ScanIndexed(const TStoredName& stored, uint32_t after, uint32_t limit);

    std::unique_ptr<TIndexes> m_indexes;

protected:
    uint32_t m_root;
    uint32_t m_current;
    TMemoryStream* m_memory;
    uint32_t m_lastFound;       ///< the reader's previous hit, 0 when none
    uint32_t m_lastFoundGroup;  ///< the group it was found in
    char m_useTags;
    char m_swapped;  ///< header numbers are stored in the other byte order
};
