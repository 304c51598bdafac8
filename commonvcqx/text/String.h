// commonvcqx/text/String.h
//
// TString: a reference-counted, copy-on-write 8-bit string whose text lives in the
// library's string heap. Copies share one representation; the first change makes it
// private. TSubString carries a freshly built representation out of a function so
// that the receiving string adopts it without another copy.
//
//   TString name("song");
//   TString copy = name;        // shares
//   copy += ".wav";             // copy now has its own text
//   TString stem = copy.Left(4);
//
// Counts are plain integers: a representation is shared only among strings that one
// thread uses at a time; strings crossing threads are handed over, not shared. The
// one exception is the shared empty text, which every thread may use at once.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>

class NH_Heap;
class TInputStream;
class TOutputStream;
class TString;

/// The heap new representations come from ("StringHeap" at load). A host may point
/// it elsewhere; each representation remembers its own heap.
extern NH_Heap* _stringHeap;

/// The representation: this header, then `capacity` bytes of text in the same block.
struct TStringRef {
    uint32_t length;    ///< characters, not counting the NUL
    uint32_t capacity;  ///< bytes of the text buffer, at least length + 1
    int32_t refCount;   ///< strings sharing this representation
    /// Bytes of text the block holds, at least `capacity` (0 on the never-freed empty
    /// text). Repeated growth reserves some, so that most appends raise the capacity
    /// into it without a heap call. It fills the gap before the pointer.
    uint32_t room;
    NH_Heap* heap;  ///< the block's heap; null: a representation that is never freed

    char* Text() noexcept { return reinterpret_cast<char*>(this + 1); }
    const char* Text() const noexcept { return reinterpret_cast<const char*>(this + 1); }
};
static_assert(sizeof(TStringRef) == 16 + sizeof(NH_Heap*));

/// Carries one reference to a new representation out of a function. A TString built
/// or assigned from it adopts that reference; a carrier dropped without being adopted
/// releases it. Copying a carrier hands the reference over to the copy.
class TSubString {
public:
    TSubString() noexcept : m_text(nullptr) {}
    /// Takes over one reference to the representation whose text is `text`.
    explicit TSubString(char* text) noexcept : m_text(text) {}
    TSubString(const TSubString& other) noexcept : m_text(other.Take()) {}
    TSubString& operator=(const TSubString& other) noexcept;
    ~TSubString();

    /// A new representation holding `len` bytes of `text`.
    static TSubString Create(const char* text, uint32_t len);
    /// The shared empty representation, with one more reference.
    static TSubString CreateNull() noexcept;
    /// Takes `s`'s representation, leaving `s` null (only destruction or assignment
    /// from a carrier are valid on it afterwards). Returns a local string without copying.
    static TSubString TransformToSubString(TString& s) noexcept;

private:
    friend class TString;
    char* Take() const noexcept {
        char* text = m_text;
        m_text = nullptr;
        return text;
    }

    mutable char* m_text;
};

class TString {
public:
    /// Length and count meaning "all the rest"; as an insertion position, the end.
    static constexpr uint32_t kAll = 0xFFFFFFFFu;

    TString() noexcept;
    /// The text up to its NUL; null gives an empty string.
    TString(const char* text);
    /// `count` characters from text + pos. With `checkLength` non-zero the range is cut
    /// to the text (pos past its end gives ""); with 0 exactly `count` bytes are copied.
    TString(const char* text, char checkLength, uint32_t pos, uint32_t count);
    /// Substring of `s`: pos at or past the end gives "".
    TString(const TString& s, uint32_t pos, uint32_t count);
    /// `count` copies of `c`.
    TString(char c, uint32_t count);
    TString(const TString& s) noexcept : m_text(s.m_text) { AddRef(m_text); }
    TString(const TSubString& sub) noexcept;

    /// Decimal text, or `printf` with `format` (at most 79 characters).
    TString(short value, const char* format = nullptr);
    TString(unsigned short value, const char* format = nullptr);
    TString(int32_t value, const char* format = nullptr);
    TString(uint32_t value, const char* format = nullptr);
    /// Decimal text of a 64-bit value.
    TString(int64_t value);
    TString(uint64_t value);
    TString(long long value);
    TString(unsigned long long value);
    /// `printf` with `format`, by default "%.2f".
    TString(float value, const char* format = nullptr);
    TString(double value, const char* format = nullptr);

    ~TString() { Release(m_text); }

    TString& operator=(const TString& s) noexcept {
        if (m_text != s.m_text) {
            AddRef(s.m_text);
            Release(m_text);
            m_text = s.m_text;
        }
        return *this;
    }
    /// The text may lie inside this string's own buffer.
    TString& operator=(const char* text);
    TString& operator=(const TSubString& sub) noexcept;

    // A TString object itself comes from the string heap.
    static void* operator new(size_t size);
    static void* operator new(size_t size, NH_Heap& heap);
    static void* operator new(size_t, void* place) noexcept { return place; }
    static void operator delete(void* p) noexcept;
    static void operator delete(void* p, NH_Heap& heap) noexcept;
    static void operator delete(void*, void*) noexcept {}

    // Access.
    const char* c_str() const noexcept { return m_text; }
    operator const char*() const noexcept { return m_text; }
    uint32_t GetLength() const noexcept { return GetStringRef()->length; }
    uint32_t length() const noexcept { return GetStringRef()->length; }
    bool IsEmpty() const noexcept { return m_text[0] == '\0'; }
    bool operator!() const noexcept { return m_text[0] == '\0'; }
    char GetChar(int i) const noexcept { return m_text[i]; }
    char operator[](int i) const noexcept { return m_text[i]; }
    /// Writes in place, shared or not: call CopyBeforeWrite() first (or use Buffer()).
    char& operator[](int i) noexcept { return m_text[i]; }
    void SetChar(int i, char c) noexcept { m_text[i] = c; }
    char GetFirstChar() const noexcept { return m_text[0]; }
    char GetLastChar() const noexcept;
    TStringRef* GetStringRef() const noexcept { return reinterpret_cast<TStringRef*>(m_text) - 1; }

    // Numbers from the text, as strtol/strtoul with 32-bit results (out of range
    // values saturate) narrowed to the result type.
    char to_char(int base = 10) const { return char(StringToString(base)); }
    signed char to_schar(int base = 10) const {
        return static_cast<signed char>(StringToString(base));
    }
    short to_short(int base = 10) const { return short(StringToString(base)); }
    int16_t to_int16(int base = 10) const { return int16_t(StringToString(base)); }
    int32_t to_int32(int base = 10) const { return StringToString(base); }
    int to_int(int base = 10) const { return StringToString(base); }
    int32_t to_long(int base = 10) const { return StringToString(base); }
    unsigned char to_uchar(int base = 10) const {
        return static_cast<unsigned char>(StringToULong(base));
    }
    unsigned short to_ushort(int base = 10) const {
        return static_cast<unsigned short>(StringToULong(base));
    }
    uint16_t to_uint16(int base = 10) const { return uint16_t(StringToULong(base)); }
    uint32_t to_uint32(int base = 10) const { return StringToULong(base); }
    unsigned to_uint(int base = 10) const { return StringToULong(base); }
    uint32_t to_ulong(int base = 10) const { return StringToULong(base); }
    float to_float() const { return float(to_double()); }
    double to_double() const;
    /// Bytes equal to `c` over the stored length.
    int32_t GetNumberOf(char c) const noexcept;

    // Buffer control.
    /// Gives this string a private representation when it shares one.
    void CopyBeforeWrite();
    /// A writable text pointer on a private representation.
    char* Buffer();
    /// Private representation with room for `n` characters and the NUL.
    void EnsureBufferSize(uint32_t n);
    /// Ends the text at `pos` (ignored when pos >= capacity); used after writing
    /// through Buffer().
    void SetEnd(uint32_t pos);
    /// Shrinks the buffer to the rounded size of the text.
    void FreeExtraBufferSize();

    // Changes; each returns the string and first makes a shared representation private.
    /// Inserts `len` bytes at `pos` (cut to the length: kAll appends).
    TString& InsertMemory(uint32_t pos, const void* bytes, uint32_t len);
    /// Inserts min(strlen(text), count) characters; the text may lie in this string.
    TString& Insert(uint32_t pos, const char* text, uint32_t count = kAll);
    /// Inserts min(s.length, count) characters of `s`, which may be this string.
    TString& Insert(uint32_t pos, const TString& s, uint32_t count = kAll);
    /// Inserts `count` copies of `c`.
    TString& Insert(uint32_t pos, char c, uint32_t count = 1);
    TString& Append(const TString& s, uint32_t count = kAll) { return Insert(kAll, s, count); }
    TString& Append(const char* text, uint32_t count = kAll) { return Insert(kAll, text, count); }
    TString& Append(char c, uint32_t count = 1) {
        // One character into a private block with room: the loop that builds a text
        // calls nothing. The capacity still grows exactly, one byte at a time.
        TStringRef* rep = GetStringRef();
        uint32_t length = rep->length;
        if (count != 1 || length + 2 > rep->room || rep->refCount != 1)
            return Insert(kAll, c, count);
        if (length + 2 > rep->capacity) rep->capacity = length + 2;
        m_text[length] = c;
        m_text[length + 1] = '\0';
        rep->length = length + 1;
        return *this;
    }
    TString& operator+=(const TString& s) { return Insert(kAll, s); }
    TString& operator+=(const char* text) { return Insert(kAll, text); }
    TString& operator+=(char c) { return Append(c, 1); }
    TString& Prepend(const TString& s, uint32_t count = kAll) { return Insert(0, s, count); }
    TString& Prepend(const char* text, uint32_t count = kAll) { return Insert(0, text, count); }
    TString& Prepend(char c, uint32_t count = 1) { return Insert(0, c, count); }
    TString& Replace(uint32_t pos, uint32_t count, const char* text);
    TString& Replace(uint32_t pos, uint32_t count, const TString& s);
    /// Removes up to `count` characters at `pos`; the capacity is kept.
    TString& Remove(uint32_t pos, uint32_t count = kAll);
    TString& RemoveRight(uint32_t n);
    TString& KeepLeft(uint32_t n);
    TString& KeepRight(uint32_t n);
    TString& KeepMid(uint32_t pos, uint32_t n);
    TString& RemoveAll(char c);
    /// Shares the empty representation again.
    TString& Clear() noexcept;
    TString& MakeUpper();
    TString& MakeLower();
    /// Lower case with a capital first character.
    TString& MakeCapital();
    TString& Reverse();
    TString& Trim() { return Trim(" \t", 3); }
    TString& TrimLeft() { return Trim(" \t", 1); }
    TString& TrimRight() { return Trim(" \t", 2); }
    /// Removes the leading (bit 1 of `sides`) and trailing (bit 2) runs of characters in `set`.
    TString& Trim(const char* set, int sides);

    // Searching: character indices, -1 when not found.
    int32_t FindFirst(char c, char caseSensitive = 1) const;
    int32_t FindFirst(const char* text, char caseSensitive = 1) const;
    int32_t FindFirst(const TString& s, char caseSensitive = 1) const {
        return FindFirst(s.c_str(), caseSensitive);
    }
    int32_t FindLast(char c, char caseSensitive = 1) const;
    /// Overlapping matches count: "aaa" holds "aa" last at index 1.
    int32_t FindLast(const char* text, char caseSensitive = 1) const;
    int32_t FindLast(const TString& s, char caseSensitive = 1) const {
        return FindLast(s.c_str(), caseSensitive);
    }
    int32_t FindOneOf(const char* set) const;
    int32_t FindOneOf(const TString& set) const { return FindOneOf(set.c_str()); }
    int32_t FindFirstNotOf(const char* set, uint32_t start = 0) const;
    int32_t FindFirstNotOf(const TString& set, uint32_t start = 0) const {
        return FindFirstNotOf(set.c_str(), start);
    }
    int32_t FindLastNotOf(const char* set) const;
    int32_t FindLastNotOf(const TString& set) const { return FindLastNotOf(set.c_str()); }
    bool Contains(char c, char caseSensitive = 1) const { return FindFirst(c, caseSensitive) >= 0; }
    bool Contains(const char* text, char caseSensitive = 1) const {
        return FindFirst(text, caseSensitive) >= 0;
    }
    bool Contains(const TString& s, char caseSensitive = 1) const {
        return FindFirst(s.c_str(), caseSensitive) >= 0;
    }

    // Persistence, through the streams (which themselves use TString: the two
    // folders depend on each other only here).
    /// The characters and a NUL.
    void Write(TOutputStream& out) const;
    /// Replaces the text with the NUL-terminated text at the stream's position.
    void Read(TInputStream& in);

    // File names in their Windows form, "C:\dir\name.ext": the backslash separates
    // components, a letter and a colon at the start name the drive, the last dot after
    // the last backslash starts the extension. They work on the text alone, except
    // those that name the current drive or directory (the working directory in library
    // form). Getters return new strings; setters change this one and return it.
    /// At least two characters, a letter and a colon.
    char ContainsDrive() const noexcept;
    /// Holds a backslash.
    char ContainsPath() const noexcept;
    /// 0 for drive A (either case), 1 for B...; -1 without a drive.
    int GetDriveIndex() const noexcept;
    /// The drive letter upper-cased ("" without a drive); its index through `index`.
    TSubString GetDrive(int* index = nullptr) const;
    /// Replaces or adds the drive: "dir\f.txt" with "D" becomes "D:\dir\f.txt".
    TString& SetDrive(const TString& drive);
    TString& SetDrive(int index);
    /// `volume` in place of the first two characters (the drive).
    TString& PrependVolumeName(const TString& volume);
    /// The current drive letter upper-cased, and the whole current directory.
    static TSubString GetCurrentDrive();
    static TSubString GetCurrentPath();
    /// Completes a name without a drive: the current drive before a path, the current
    /// directory before a bare title.
    TString& EnsureFullFileName();
    /// Adds the current drive when there is none, then a backslash and `title`.
    TString& AppendTitleAndMakeFullFileName(const TString& title);
    /// Appends a backslash unless the text already ends with one.
    TString& EnsureOneSlashAtTheEnd();
    /// Everything before the last backslash; the whole text without one.
    TSubString GetPath() const;
    /// Everything after the last backslash, cut before its last dot when
    /// `withExtension` is 0.
    TSubString GetTitle(char withExtension) const;
    /// The text after the last dot (with the dot when `withDot` is non-zero); "" when
    /// there is no dot after the last backslash.
    TSubString GetExtension(char withDot) const;
    /// Removes the extension. `known` is null (any extension), holds "*" (any), or lists
    /// extensions without dots separated by "|": one that begins with the present
    /// extension, ignoring case, lets it go. A dot at index 0 never starts an extension.
    TString& RemoveExtension(const char* known = nullptr);
    TString& RemoveExtension(const TString& known);
    /// With `known`, replaces an extension from the list (or equal to the new one) by
    /// `extension`; without it, trims trailing dots and appends the extension, keeping
    /// any present one ("a.txt" becomes "a.txt.wav"). A null `extension` removes.
    TString& SetExtension(const TString& extension, const char* known = nullptr);
    TString& SetExtension(const char* extension, const char* known = nullptr);
    /// Splits off the first component of a relative path: "\a\b\c\" gives top "a"
    /// and returns "b\c".
    TSubString GetPathBelow(TString* top) const;
    /// A drive, then one or more backslash-and-name groups without < > : " / |.
    char IsValidFileName() const;
    /// A full name shortened for display to `maxLength` characters when it can be
    /// ("C:\a\b\...\f.txt", "C:\...\f.txt", "...\f.txt", then cut with "...");
    /// 0 only replaces the middle directories. "" for a name without a drive.
    TSubString GetSummary(uint32_t maxLength) const;
    /// `fileName` as seen from `directory` ("..\z\f.txt"); "" across drives.
    static TSubString GetRelativeFileName(const TString& directory, const TString& fileName);
    /// `relativeName` resolved against `directory`; ".." never climbs above the drive.
    /// "" for a directory without components.
    static TSubString GetAbsoluteFileName(const TString& directory, const TString& relativeName);

    // Substrings, each a new representation.
    /// `count` cut to the rest; `pos` must not exceed the length.
    TSubString Mid(uint32_t pos, uint32_t count = kAll) const;
    TSubString Left(uint32_t count) const;
    TSubString Right(uint32_t count) const;

    friend TSubString operator+(const TString& a, const TString& b);
    friend TSubString operator+(const TString& a, const char* b);
    friend TSubString operator+(const char* a, const TString& b);
    friend TSubString operator+(const TString& a, char b);
    friend TSubString operator+(char a, const TString& b);

protected:
    static TSubString LongToString(int32_t value, const char* format);
    static TSubString LongToString(uint32_t value, const char* format);
    static TSubString Int64ToString(int64_t value);
    int32_t StringToString(int base) const;
    uint32_t StringToULong(int base) const;
    /// A private copy with `capacity` bytes of buffer (0 keeps the present capacity).
    void Clone(int32_t capacity);
    /// Puts "X:" before the text (and a backslash when it does not start with one).
    TString& AddCurrentDrive();
    /// Puts the current directory and a backslash before the text.
    TString& AddCurrentPath();
    static constexpr char PathSeparator() noexcept { return '\\'; }
    static constexpr char DriveSeparator() noexcept { return ':'; }

private:
    friend class TSubString;

    static uint32_t RoundBufferSize(uint32_t n) noexcept { return n == 0 ? 8 : (n + 7) & ~7u; }
    void ReallocBuffer(uint32_t size);
    void CloneTo(uint32_t capacity);
    bool IsShared() const noexcept;
    static char* Build(const char* bytes, uint32_t len);
    static char* Concatenate(const char* a, uint32_t aLen, const char* b, uint32_t bLen);
    static char* Concatenate(const char* a, uint32_t aLen, const char* b);
    static char* Concatenate(const char* a, const char* b, uint32_t bLen);
    static char* Concatenate(const char* a, const char* b);
    // Copying and releasing are inline: on a string's own heap they are one count change.
    static void AddRef(char* text) noexcept {
        TStringRef* rep = reinterpret_cast<TStringRef*>(text) - 1;
        if (rep->heap)
            ++rep->refCount;
        else
            AddStaticRef(rep);
    }
    static void Release(char* text) noexcept {
        if (!text) return;
        TStringRef* rep = reinterpret_cast<TStringRef*>(text) - 1;
        if (rep->heap && rep->refCount > 1)
            --rep->refCount;
        else
            ReleaseLast(rep);
    }
    static void AddStaticRef(TStringRef* rep) noexcept;
    static void ReleaseLast(TStringRef* rep) noexcept;
    char* MakeRoom(uint32_t pos, uint32_t len);

    char* m_text;
};

/// Byte-wise comparison of the texts (as strcmp), never of the pointers.
bool operator==(const TString& a, const TString& b) noexcept;
bool operator==(const TString& a, const char* b) noexcept;
std::strong_ordering operator<=>(const TString& a, const TString& b) noexcept;
std::strong_ordering operator<=>(const TString& a, const char* b) noexcept;
