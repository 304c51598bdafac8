// The representation is one heap block: a TStringRef header and the text. Counts
// are plain integers, except on the never-freed empty representation, which every
// thread shares and whose count therefore changes atomically.
#include <commonvcqx/text/String.h>

#include <commonvcqx/base/NumberParsing.h>
#include <commonvcqx/base/StartupOrder.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/text/IntegerText.h>
#include <commonvcqx/text/StringFunctions.h>
#include <commonvcqx/text/internal/StringRuns.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// The shared empty text: built at compile time, so it exists before any constructor
// runs and after every destructor; its null heap keeps it from ever being freed.
struct TEmptyRepresentation {
    TStringRef header;
    char text[8];
};
static_assert(offsetof(TEmptyRepresentation, text) == sizeof(TStringRef));

constinit TEmptyRepresentation emptyRepresentation = {{0, 8, 1, 0, nullptr}, {}};

inline char* EmptyText() noexcept {
    return emptyRepresentation.text;
}

// "StringHeap": constant-initialized so that strings made by other start-up code can
// use it before its constructor runs (it then initializes itself), and never
// destroyed, because strings are still released during process exit.
union TStringHeapStorage {
    constexpr TStringHeapStorage() : heap(cvq::detail::TStaticHeapTag{}) {}
    ~TStringHeapStorage() {}
    NH_Heap heap;
};
constinit TStringHeapStorage stringHeapStorage;

// The heap's constructor proper, at start-up after the library's own heaps: it keeps
// whatever was allocated before.
struct TStringHeapConstruction {
    TStringHeapConstruction() {
        ::new (&stringHeapStorage.heap) NH_Heap(NH_AHeap::kMultithreaded, "StringHeap");
        cvq::detail::RecordStartupStep(cvq::detail::kStartStringHeap, true);
    }
    ~TStringHeapConstruction() {
        cvq::detail::RecordStartupStep(cvq::detail::kStartStringHeap, false);
    }
};
__attribute__((init_priority(cvq::detail::kStartStringHeap)))
TStringHeapConstruction stringHeapConstruction;

inline std::atomic_ref<int32_t> SharedCount(TStringRef* rep) noexcept {
    return std::atomic_ref<int32_t>(rep->refCount);
}

constexpr uint32_t kHeaderSize = sizeof(TStringRef);
// Largest buffer a 32-bit capacity and one heap block can describe.
constexpr uint64_t kMaxCapacity = 0xFFFFFFF8u - kHeaderSize;

TStringRef* AllocateRepresentation(NH_Heap* heap, uint64_t capacity) {
    if (capacity > kMaxCapacity) throw std::bad_alloc();
    auto* rep = static_cast<TStringRef*>(heap->Alloc(kHeaderSize + capacity, 0));
    if (!rep) throw std::bad_alloc();
    rep->capacity = uint32_t(capacity);
    rep->room = uint32_t(capacity);
    rep->refCount = 1;
    rep->heap = heap;
    return rep;
}

// Moves a private block to hold `room` bytes of text; its capacity is the caller's.
TStringRef* ResizeBlock(TStringRef* rep, uint64_t room) {
    auto* moved = static_cast<TStringRef*>(rep->heap->Realloc(rep, kHeaderSize + room, 0));
    if (!moved) throw std::bad_alloc();
    moved->room = uint32_t(room);
    return moved;
}

// Moves a private block's room up to at least `need` bytes of text. Growth by half the
// present room on top makes a text built in small steps cost amortized constant heap
// work, whatever the heap can absorb in place.
TStringRef* GrowRoom(TStringRef* rep, uint64_t need) {
    return ResizeBlock(rep,
                       std::min(std::max(need, rep->room + uint64_t(rep->room) / 2), kMaxCapacity));
}

// Capacity of a freshly built representation: the length and its NUL, rounded up to 8.
uint64_t FreshCapacity(uint64_t length) noexcept {
    return (length + 1 + 7) & ~uint64_t(7);
}

// A text length as the 32-bit length field holds it; longer texts cannot be strings.
uint32_t TextLength(size_t length) {
    if (length + 1 > kMaxCapacity) throw std::bad_alloc();
    return uint32_t(length);
}

inline bool InSet(const char* set, char c) noexcept {
    return c != '\0' && std::strchr(set, c) != nullptr;
}

}  // namespace

constinit NH_Heap* _stringHeap = &stringHeapStorage.heap;

// ---- Counting -------------------------------------------------------------------

void TString::AddStaticRef(TStringRef* rep) noexcept {
    SharedCount(rep).fetch_add(1, std::memory_order_relaxed);
}

void TString::ReleaseLast(TStringRef* rep) noexcept {
    if (!rep->heap) {
        SharedCount(rep).fetch_sub(1, std::memory_order_relaxed);
        return;
    }
    if (--rep->refCount == 0) NH_Heap::FreeMem(rep);
}

bool TString::IsShared() const noexcept {
    // The never-freed representation is never written, so it counts as shared.
    const TStringRef* rep = GetStringRef();
    return !rep->heap || rep->refCount > 1;
}

char* TString::Build(const char* bytes, uint32_t len) {
    TStringRef* rep = AllocateRepresentation(_stringHeap, FreshCapacity(len));
    rep->length = len;
    if (len) std::memcpy(rep->Text(), bytes, len);
    rep->Text()[len] = '\0';
    return rep->Text();
}

// ---- TSubString -----------------------------------------------------------------

TSubString& TSubString::operator=(const TSubString& other) noexcept {
    if (this != &other) {
        char* text = other.Take();
        TString::Release(m_text);
        m_text = text;
    }
    return *this;
}

TSubString::~TSubString() {
    TString::Release(m_text);
}

TSubString TSubString::Create(const char* text, uint32_t len) {
    return TSubString(TString::Build(text, len));
}

void cvq::detail::BuildStrings(const TTextRun* runs, size_t count,
                               void (*add)(TSubString& s, void* context), void* context) {
    constexpr size_t kBatch = 256;
    uint32_t sizes[kBatch];
    void* blocks[kBatch];
    NH_Heap* heap = _stringHeap;
    while (count) {
        // A batch of runs short enough for small blocks; a longer run goes alone.
        size_t n = 0;
        while (n < count && n < kBatch && runs[n].length &&
               kHeaderSize + FreshCapacity(runs[n].length) <= NH_Heap::kLargestSmallBlock) {
            sizes[n] = uint32_t(kHeaderSize + FreshCapacity(runs[n].length));
            ++n;
        }
        if (n == 0) {
            TSubString s = runs[0].length ? TSubString::Create(runs[0].text, runs[0].length)
                                          : TSubString::CreateNull();
            add(s, context);
            ++runs;
            --count;
            continue;
        }
        const size_t got = heap->AllocSmallBlocks(sizes, n, blocks);
        size_t i = 0;
        // Blocks not yet handed over go back if add throws.
        struct TRest {
            void** blocks;
            size_t& next;
            size_t end;
            ~TRest() {
                for (size_t j = next; j < end; ++j) NH_Heap::FreeMem(blocks[j]);
            }
        } rest{blocks, i, got};
        for (; i < got;) {
            auto* rep = static_cast<TStringRef*>(blocks[i]);
            const uint32_t capacity = sizes[i] - kHeaderSize;
            rep->length = runs[i].length;
            rep->capacity = capacity;
            rep->room = capacity;
            rep->refCount = 1;
            rep->heap = heap;
            std::memcpy(rep->Text(), runs[i].text, runs[i].length);
            rep->Text()[runs[i].length] = '\0';
            TSubString s(rep->Text());
            ++i;
            add(s, context);
        }
        if (got < n) throw std::bad_alloc();
        runs += n;
        count -= n;
    }
}

TSubString TSubString::CreateNull() noexcept {
    TString::AddRef(EmptyText());
    return TSubString(EmptyText());
}

TSubString TSubString::TransformToSubString(TString& s) noexcept {
    char* text = s.m_text;
    s.m_text = nullptr;
    return TSubString(text);
}

// ---- Construction ---------------------------------------------------------------

TString::TString() noexcept : m_text(EmptyText()) {
    AddRef(m_text);
}

TString::TString(const char* text) {
    if (!text) {
        m_text = EmptyText();
        AddRef(m_text);
        return;
    }
    m_text = Build(text, TextLength(std::strlen(text)));
}

TString::TString(const char* text, char checkLength, uint32_t pos, uint32_t count) {
    if (!text) text = "";
    if (checkLength) {
        size_t length = std::strlen(text);
        if (pos >= length)
            count = 0;
        else if (count > length - pos)
            count = uint32_t(length - pos);
    }
    m_text = Build(text + (count ? pos : 0), count);
}

TString::TString(const TString& s, uint32_t pos, uint32_t count) {
    uint32_t length = s.GetLength();
    if (pos >= length)
        count = pos = 0;
    else if (count > length - pos)
        count = length - pos;
    m_text = Build(s.m_text + pos, count);
}

TString::TString(char c, uint32_t count) {
    TStringRef* rep = AllocateRepresentation(_stringHeap, FreshCapacity(count));
    rep->length = count;
    std::memset(rep->Text(), c, count);
    rep->Text()[count] = '\0';
    m_text = rep->Text();
}

TString::TString(const TSubString& sub) noexcept : m_text(sub.Take()) {
    if (!m_text) {
        m_text = EmptyText();
        AddRef(m_text);
    }
}

TString::TString(short value, const char* format) : TString(LongToString(int32_t(value), format)) {}
TString::TString(unsigned short value, const char* format)
    : TString(LongToString(uint32_t(value), format)) {}
TString::TString(int32_t value, const char* format) : TString(LongToString(value, format)) {}
TString::TString(uint32_t value, const char* format) : TString(LongToString(value, format)) {}
TString::TString(int64_t value) : TString(Int64ToString(value)) {}
TString::TString(long long value) : TString(Int64ToString(int64_t(value))) {}

TString::TString(uint64_t value) {
    // Written as unsigned: the full range, not a negative text above INT64_MAX.
    char text[32];
    m_text = Build(text, uint32_t(cvq::detail::UInt64ToString(value, text, 0, 0)));
}

TString::TString(unsigned long long value) : TString(uint64_t(value)) {}

namespace {
constexpr size_t kNumberBuffer = 80;

uint32_t PrintedLength(int printed) {
    if (printed < 0) return 0;
    return printed >= int(kNumberBuffer) ? uint32_t(kNumberBuffer - 1) : uint32_t(printed);
}
}  // namespace

TString::TString(float value, const char* format) {
    char text[kNumberBuffer];
    int printed = std::snprintf(text, sizeof text, format ? format : "%.2f", double(value));
    m_text = Build(text, PrintedLength(printed));
}

TString::TString(double value, const char* format) {
    char text[kNumberBuffer];
    int printed = std::snprintf(text, sizeof text, format ? format : "%.2lf", value);
    m_text = Build(text, PrintedLength(printed));
}

TSubString TString::LongToString(int32_t value, const char* format) {
    char text[kNumberBuffer];
    if (!format) return TSubString::Create(text, uint32_t(::IntToString(value, text, 0, 0)));
    return TSubString::Create(text, PrintedLength(std::snprintf(text, sizeof text, format, value)));
}

TSubString TString::LongToString(uint32_t value, const char* format) {
    char text[kNumberBuffer];
    if (!format) return TSubString::Create(text, uint32_t(::Int64ToString(value, text, 0, 0)));
    return TSubString::Create(text, PrintedLength(std::snprintf(text, sizeof text, format, value)));
}

TSubString TString::Int64ToString(int64_t value) {
    char text[kNumberBuffer];
    return TSubString::Create(text, uint32_t(::Int64ToString(value, text, 0, 0)));
}

TString& TString::operator=(const char* text) {
    if (!text || !*text) return Clear();
    // Built before the old text goes, so text inside this string's buffer stays readable.
    char* fresh = Build(text, TextLength(std::strlen(text)));
    Release(m_text);
    m_text = fresh;
    return *this;
}

TString& TString::operator=(const TSubString& sub) noexcept {
    char* text = sub.Take();
    if (!text) {
        text = EmptyText();
        AddRef(text);
    }
    Release(m_text);
    m_text = text;
    return *this;
}

void* TString::operator new(size_t size) {
    void* p = _stringHeap->AllocMem(size);
    if (!p) throw std::bad_alloc();
    return p;
}

void* TString::operator new(size_t size, NH_Heap& heap) {
    void* p = heap.AllocMem(size);
    if (!p) throw std::bad_alloc();
    return p;
}

void TString::operator delete(void* p) noexcept {
    NH_Heap::FreeMem(p);
}
void TString::operator delete(void* p, NH_Heap&) noexcept {
    NH_Heap::FreeMem(p);
}

// ---- Access ---------------------------------------------------------------------

char TString::GetLastChar() const noexcept {
    uint32_t length = GetLength();
    return length ? m_text[length - 1] : '\0';
}

double TString::to_double() const {
    return std::atof(m_text);
}

int32_t TString::StringToString(int base) const {
    return cvq::ParseLong32(m_text, nullptr, base);
}

uint32_t TString::StringToULong(int base) const {
    return cvq::ParseULong32(m_text, nullptr, base);
}

int32_t TString::GetNumberOf(char c) const noexcept {
    int32_t count = 0;
    for (uint32_t i = 0, n = GetLength(); i < n; ++i) count += m_text[i] == c;
    return count;
}

// ---- Buffer control -------------------------------------------------------------

void TString::Clone(int32_t capacity) {
    CloneTo(capacity > 0 ? uint32_t(capacity) : 0);
}

void TString::CloneTo(uint32_t capacity) {
    TStringRef* old = GetStringRef();
    uint32_t size = capacity ? capacity : old->capacity;
    if (size < old->length + 1) size = old->length + 1;
    TStringRef* rep = AllocateRepresentation(old->heap ? old->heap : _stringHeap, size);
    rep->length = old->length;
    std::memcpy(rep->Text(), old->Text(), old->length + 1);
    Release(m_text);
    m_text = rep->Text();
}

void TString::ReallocBuffer(uint32_t size) {
    uint32_t capacity = RoundBufferSize(size);
    if (IsShared()) {
        CloneTo(capacity);
        return;
    }
    TStringRef* moved = ResizeBlock(GetStringRef(), capacity);
    moved->capacity = capacity;
    m_text = moved->Text();
}

void TString::CopyBeforeWrite() {
    if (IsShared()) CloneTo(0);
}

char* TString::Buffer() {
    CopyBeforeWrite();
    return m_text;
}

void TString::EnsureBufferSize(uint32_t n) {
    if (uint64_t(n) + 1 > kMaxCapacity) throw std::bad_alloc();
    TStringRef* rep = GetStringRef();
    bool grow = rep->capacity < n + 1;
    if (IsShared())
        CloneTo(grow ? RoundBufferSize(n + 1) : 0);
    else if (grow && RoundBufferSize(n + 1) <= rep->room)
        rep->capacity = RoundBufferSize(n + 1);
    else if (grow)
        ReallocBuffer(n + 1);
}

void TString::SetEnd(uint32_t pos) {
    if (pos >= GetStringRef()->capacity) return;
    CopyBeforeWrite();
    m_text[pos] = '\0';
    GetStringRef()->length = pos;
}

void TString::FreeExtraBufferSize() {
    TStringRef* rep = GetStringRef();
    if (RoundBufferSize(rep->length + 1) < rep->capacity) {
        ReallocBuffer(rep->length + 1);
    } else if (rep->room > rep->capacity && !IsShared()) {
        // Only the room reserved for growth goes back; the capacity stays as it is.
        m_text = ResizeBlock(rep, rep->capacity)->Text();
    }
}

// ---- Changes --------------------------------------------------------------------

char* TString::MakeRoom(uint32_t pos, uint32_t len) {
    TStringRef* rep = GetStringRef();
    uint32_t length = rep->length;
    if (pos > length) pos = length;
    uint64_t need = uint64_t(length) + len + 1;
    if (need > kMaxCapacity) throw std::bad_alloc();
    // The capacity grows exactly; the block only when its room is used up.
    bool grow = need > rep->capacity;
    if (IsShared()) {
        CloneTo(grow ? uint32_t(need) : 0);
    } else if (grow) {
        if (need > rep->room) {
            rep = GrowRoom(rep, need);
            m_text = rep->Text();
        }
        rep->capacity = uint32_t(need);
    }
    std::memmove(m_text + pos + len, m_text + pos, length - pos + 1);
    GetStringRef()->length = length + len;
    return m_text + pos;
}

TString& TString::InsertMemory(uint32_t pos, const void* bytes, uint32_t len) {
    if (len == 0) return *this;
    std::memcpy(MakeRoom(pos, len), bytes, len);
    return *this;
}

TString& TString::Insert(uint32_t pos, const char* text, uint32_t count) {
    if (!text) return *this;
    uint32_t len = uint32_t(strnlen(text, count));
    if (len == 0) return *this;
    const TStringRef* rep = GetStringRef();
    if (text >= m_text && text < m_text + rep->capacity) {
        // The text lies in this string's own buffer, which the insertion moves.
        TString keep(*this);
        return InsertMemory(pos, keep.m_text + (text - m_text), len);
    }
    return InsertMemory(pos, text, len);
}

TString& TString::Insert(uint32_t pos, const TString& s, uint32_t count) {
    uint32_t len = s.GetLength() < count ? s.GetLength() : count;
    if (len == 0) return *this;
    if (s.m_text == m_text) {
        // Holding the old representation makes the insertion work on a private copy.
        TString keep(s);
        return InsertMemory(pos, keep.m_text, len);
    }
    return InsertMemory(pos, s.m_text, len);
}

TString& TString::Insert(uint32_t pos, char c, uint32_t count) {
    if (count == 0) return *this;
    std::memset(MakeRoom(pos, count), c, count);
    return *this;
}

TString& TString::Replace(uint32_t pos, uint32_t count, const char* text) {
    if (text && text >= m_text && text < m_text + GetStringRef()->capacity) {
        TString keep(text);
        return Replace(pos, count, keep);
    }
    Remove(pos, count);
    return Insert(pos, text, kAll);
}

TString& TString::Replace(uint32_t pos, uint32_t count, const TString& s) {
    if (s.m_text == m_text) {
        TString keep(s);
        Remove(pos, count);
        return Insert(pos, keep, kAll);
    }
    Remove(pos, count);
    return Insert(pos, s, kAll);
}

TString& TString::Remove(uint32_t pos, uint32_t count) {
    uint32_t length = GetLength();
    if (pos >= length || count == 0) return *this;
    if (count > length - pos) count = length - pos;
    CopyBeforeWrite();
    std::memmove(m_text + pos, m_text + pos + count, length - pos - count + 1);
    GetStringRef()->length = length - count;
    return *this;
}

TString& TString::RemoveRight(uint32_t n) {
    uint32_t length = GetLength();
    return n < length ? KeepLeft(length - n) : Clear();
}

TString& TString::KeepLeft(uint32_t n) {
    if (GetLength() >= n) Remove(n, kAll);
    return *this;
}

TString& TString::KeepRight(uint32_t n) {
    uint32_t length = GetLength();
    if (n < length) Remove(0, length - n);
    return *this;
}

TString& TString::KeepMid(uint32_t pos, uint32_t n) {
    Remove(0, pos);
    return KeepLeft(n);
}

TString& TString::RemoveAll(char c) {
    uint32_t length = GetLength();
    const void* first = std::memchr(m_text, c, length);
    if (!first) return *this;
    uint32_t from = uint32_t(static_cast<const char*>(first) - m_text);
    CopyBeforeWrite();
    uint32_t to = from;
    for (; from < length; ++from)
        if (m_text[from] != c) m_text[to++] = m_text[from];
    m_text[to] = '\0';
    GetStringRef()->length = to;
    return *this;
}

TString& TString::Clear() noexcept {
    if (m_text == EmptyText()) return *this;
    Release(m_text);
    m_text = EmptyText();
    AddRef(m_text);
    return *this;
}

TString& TString::MakeUpper() {
    if (IsEmpty()) return *this;
    CopyBeforeWrite();
    for (uint32_t i = 0, n = GetLength(); i < n; ++i)
        m_text[i] = char(std::toupper(static_cast<unsigned char>(m_text[i])));
    return *this;
}

TString& TString::MakeLower() {
    if (IsEmpty()) return *this;
    CopyBeforeWrite();
    for (uint32_t i = 0, n = GetLength(); i < n; ++i)
        m_text[i] = char(std::tolower(static_cast<unsigned char>(m_text[i])));
    return *this;
}

TString& TString::MakeCapital() {
    if (IsEmpty()) return *this;
    MakeLower();
    m_text[0] = char(std::toupper(static_cast<unsigned char>(m_text[0])));
    return *this;
}

TString& TString::Reverse() {
    uint32_t length = GetLength();
    if (length < 2) return *this;
    CopyBeforeWrite();
    for (char *a = m_text, *b = m_text + length - 1; a < b; ++a, --b) {
        char t = *a;
        *a = *b;
        *b = t;
    }
    return *this;
}

TString& TString::Trim(const char* set, int sides) {
    if (!set) return *this;
    uint32_t length = GetLength();
    uint32_t start = 0;
    uint32_t end = length;
    if (sides & 1)
        while (start < end && InSet(set, m_text[start])) ++start;
    if (sides & 2)
        while (end > start && InSet(set, m_text[end - 1])) --end;
    if (start == 0 && end == length) return *this;
    CopyBeforeWrite();
    std::memmove(m_text, m_text + start, end - start);
    m_text[end - start] = '\0';
    GetStringRef()->length = end - start;
    return *this;
}

// ---- Searching ------------------------------------------------------------------

namespace {
inline int32_t IndexOf(const char* text, const char* hit) noexcept {
    return hit ? int32_t(hit - text) : -1;
}
}  // namespace

int32_t TString::FindFirst(char c, char caseSensitive) const {
    if (caseSensitive) return IndexOf(m_text, std::strchr(m_text, c));
    const char pattern[2] = {c, '\0'};
    return IndexOf(m_text, stristr(m_text, pattern));
}

int32_t TString::FindFirst(const char* text, char caseSensitive) const {
    if (!text) return -1;
    return IndexOf(m_text, caseSensitive ? std::strstr(m_text, text) : stristr(m_text, text));
}

int32_t TString::FindLast(char c, char caseSensitive) const {
    if (caseSensitive) return IndexOf(m_text, std::strrchr(m_text, c));
    const char pattern[2] = {c, '\0'};
    return IndexOf(m_text, strristr(m_text, pattern));
}

int32_t TString::FindLast(const char* text, char caseSensitive) const {
    if (!text) return -1;
    if (!caseSensitive) return IndexOf(m_text, strristr(m_text, text));
    const char* last = nullptr;
    for (const char* hit = std::strstr(m_text, text); hit; hit = std::strstr(hit + 1, text)) {
        last = hit;
        if (!*hit) break;  // an empty text matches at the NUL: nothing lies beyond
    }
    return IndexOf(m_text, last);
}

int32_t TString::FindOneOf(const char* set) const {
    if (!set) return -1;
    return IndexOf(m_text, std::strpbrk(m_text, set));
}

int32_t TString::FindFirstNotOf(const char* set, uint32_t start) const {
    uint32_t length = GetLength();
    if (start >= length) return -1;
    if (!set) set = "";
    for (uint32_t i = start; i < length; ++i)
        if (!InSet(set, m_text[i])) return int32_t(i);
    return -1;
}

int32_t TString::FindLastNotOf(const char* set) const {
    if (!set) set = "";
    for (uint32_t i = GetLength(); i > 0; --i)
        if (!InSet(set, m_text[i - 1])) return int32_t(i - 1);
    return -1;
}

// ---- Substrings and concatenation -----------------------------------------------

TSubString TString::Mid(uint32_t pos, uint32_t count) const {
    uint32_t length = GetLength();
    if (pos > length) pos = length;  // a caller error, answered with "" rather than a stray read
    if (count > length - pos) count = length - pos;
    return TSubString(Build(m_text + pos, count));
}

TSubString TString::Left(uint32_t count) const {
    uint32_t length = GetLength();
    return TSubString(Build(m_text, count < length ? count : length));
}

TSubString TString::Right(uint32_t count) const {
    uint32_t length = GetLength();
    if (count > length) count = length;
    return TSubString(Build(m_text + length - count, count));
}

char* TString::Concatenate(const char* a, uint32_t aLen, const char* b, uint32_t bLen) {
    uint64_t length = uint64_t(aLen) + bLen;
    if (length + 1 > kMaxCapacity) throw std::bad_alloc();
    TStringRef* rep = AllocateRepresentation(_stringHeap, FreshCapacity(length));
    rep->length = uint32_t(length);
    if (aLen) std::memcpy(rep->Text(), a, aLen);
    if (bLen) std::memcpy(rep->Text() + aLen, b, bLen);
    rep->Text()[length] = '\0';
    return rep->Text();
}

char* TString::Concatenate(const char* a, uint32_t aLen, const char* b) {
    return Concatenate(a, aLen, b ? b : "", b ? TextLength(std::strlen(b)) : 0);
}

char* TString::Concatenate(const char* a, const char* b, uint32_t bLen) {
    return Concatenate(a ? a : "", a ? TextLength(std::strlen(a)) : 0, b, bLen);
}

char* TString::Concatenate(const char* a, const char* b) {
    return Concatenate(a, a ? TextLength(std::strlen(a)) : 0, b);
}

TSubString operator+(const TString& a, const TString& b) {
    return TSubString(TString::Concatenate(a.m_text, a.GetLength(), b.m_text, b.GetLength()));
}

TSubString operator+(const TString& a, const char* b) {
    return TSubString(TString::Concatenate(a.m_text, a.GetLength(), b));
}

TSubString operator+(const char* a, const TString& b) {
    return TSubString(TString::Concatenate(a, b.m_text, b.GetLength()));
}

TSubString operator+(const TString& a, char b) {
    return TSubString(TString::Concatenate(a.m_text, a.GetLength(), &b, 1));
}

TSubString operator+(char a, const TString& b) {
    return TSubString(TString::Concatenate(&a, 1, b.m_text, b.GetLength()));
}

// ---- Comparison -----------------------------------------------------------------

bool operator==(const TString& a, const TString& b) noexcept {
    return a.c_str() == b.c_str() || std::strcmp(a.c_str(), b.c_str()) == 0;
}

bool operator==(const TString& a, const char* b) noexcept {
    return std::strcmp(a.c_str(), b ? b : "") == 0;
}

std::strong_ordering operator<=>(const TString& a, const TString& b) noexcept {
    return std::strcmp(a.c_str(), b.c_str()) <=> 0;
}

std::strong_ordering operator<=>(const TString& a, const char* b) noexcept {
    return std::strcmp(a.c_str(), b ? b : "") <=> 0;
}
