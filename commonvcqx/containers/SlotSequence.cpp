// The slot buffer: linear growth through the heap's resize, raw byte moves.
#include <commonvcqx/containers/SlotSequence.h>
#include <commonvcqx/containers/internal/ContainerFailures.h>
#include <commonvcqx/geometry/Randomizer.h>
#include <commonvcqx/memory/Heap.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

TSlotSequence::TSlotSequence(int slotSize, int initialSize, int expansionSize, char ownsElements,
                             TElementFactory factory, NH_Heap* heap)
    : TCollection(ownsElements, factory),
      m_buffer(nullptr),
      m_capacity(0),
      m_expansionSize(expansionSize),
      m_initialSize(initialSize),
      m_slotSize(uint32_t(slotSize)),
      m_heap(heap ? heap : &NH_Heap::Default()) {}

TSlotSequence::TSlotSequence(const TSlotSequence& other, char copyData)
    : TCollection(other),
      m_buffer(nullptr),
      m_capacity(0),
      m_expansionSize(other.m_expansionSize),
      m_initialSize(other.m_initialSize),
      m_slotSize(other.m_slotSize),
      m_heap(other.m_heap) {
    if (copyData && other.m_buffer) {
        const size_t bytes = other.GetRangeSize(other.m_capacity);
        m_buffer = static_cast<char*>(m_heap->AllocMem(bytes));
        if (!m_buffer) cvq::detail::ThrowContainerOutOfMemory();
        std::memcpy(m_buffer, other.m_buffer, bytes);
        m_capacity = other.m_capacity;
        m_count = other.m_count;
    }
}

TSlotSequence::~TSlotSequence() {
    if (m_buffer) NH_Heap::FreeMem(m_buffer);
}

void TSlotSequence::ResizeSlotBuffer(int32_t n, char round) {
    if (n <= m_capacity && m_buffer) return;
    const int64_t step = std::max<int32_t>(m_expansionSize, 1);
    int64_t missing = int64_t(n) - (m_buffer ? m_capacity : 0);
    if (missing <= 0) return;
    if (round) missing = (missing + step - 1) / step * step;
    const int64_t capacity = (m_buffer ? m_capacity : 0) + missing;
    if (capacity > INT32_MAX) cvq::detail::ThrowContainerOutOfMemory();
    const size_t bytes = GetRangeSize(int32_t(capacity));
    void* block = m_buffer ? m_heap->Realloc(m_buffer, bytes, 0) : m_heap->AllocMem(bytes);
    if (!block) cvq::detail::ThrowContainerOutOfMemory();
    m_buffer = static_cast<char*>(block);
    m_capacity = int32_t(capacity);
}

void TSlotSequence::EnsureNumSlots(int32_t n) {
    if (n > m_capacity) ResizeSlotBuffer(n, 0);
}

void TSlotSequence::AllocateBusySlots(int32_t n) {
    if (n == 0) return;
    EnsureNumSlots(n);
    m_count = n;
}

void* TSlotSequence::AppendSlot() {
    ResizeSlotBuffer(m_count + 1, 1);
    return SlotPtr(m_count++);
}

void* TSlotSequence::InsertSlot(const void* src, int32_t index) {
    // A source inside the buffer is found again by its offset once the buffer moved.
    const char* from = static_cast<const char*>(src);
    const bool inside =
        from && m_buffer && from >= m_buffer && from < m_buffer + GetRangeSize(m_capacity);
    const size_t offset = inside ? size_t(from - m_buffer) : 0;
    ResizeSlotBuffer(m_count + 1, 1);
    if (inside) {
        from = m_buffer + offset;
        if (from >= static_cast<const char*>(SlotPtr(index))) from += m_slotSize;
    }
    char* slot = static_cast<char*>(SlotPtr(index));
    std::memmove(slot + m_slotSize, slot, GetRangeSize(m_count - index));
    if (from) std::memcpy(slot, from, m_slotSize);
    ++m_count;
    return slot;
}

void* TSlotSequence::FillSlot(int32_t index, const void* src) {
    void* slot = SlotPtr(index);
    std::memcpy(slot, src, m_slotSize);
    return slot;
}

void TSlotSequence::Insert(const TSlotSequence& other, int32_t index, char reserveOnly) {
    const int32_t n = other.m_count;
    if (n == 0) return;
    if (&other == this && !reserveOnly) {
        TSlotSequence copy(*this, 1);
        Insert(copy, index, 0);
        return;
    }
    EnsureNumSlots(m_count + n);
    char* at = static_cast<char*>(SlotPtr(index));
    std::memmove(at + GetRangeSize(n), at, GetRangeSize(m_count - index));
    if (reserveOnly) return;
    std::memcpy(at, other.m_buffer, size_t(n) * other.m_slotSize);
    m_count += n;
}

void TSlotSequence::Absorb(TSlotSequence& other, int32_t index) {
    if (&other == this) return;
    Insert(other, index, 0);
    other.FreeMemory();
}

void TSlotSequence::CutSlots(int32_t start, int32_t n) {
    if (n <= 0) return;
    char* at = static_cast<char*>(SlotPtr(start));
    std::memmove(at, at + GetRangeSize(n), GetRangeSize(m_count - start - n));
    m_count -= n;
}

void TSlotSequence::ClearAll() {
    if (m_buffer) std::memset(m_buffer, 0, GetRangeSize(m_count));
}

void TSlotSequence::FreeMemory() {
    if (!m_buffer) return;
    NH_Heap::FreeMem(m_buffer);
    m_buffer = nullptr;
    m_capacity = 0;
    m_count = 0;
}

void TSlotSequence::OptimizeSize() {
    if (m_count == 0) {
        FreeMemory();
        return;
    }
    if (m_count == m_capacity) return;
    void* block = m_heap->Realloc(m_buffer, GetRangeSize(m_count), 0);
    if (!block) cvq::detail::ThrowContainerOutOfMemory();
    m_buffer = static_cast<char*>(block);
    m_capacity = m_count;
}

void TSlotSequence::Sort(int (*compare)(const void*, const void*)) {
    if (m_count > 1) std::qsort(m_buffer, size_t(m_count), m_slotSize, compare);
}

void TSlotSequence::SwapSlots(int32_t a, int32_t b) noexcept {
    if (a == b) return;
    char* x = static_cast<char*>(SlotPtr(a));
    char* y = static_cast<char*>(SlotPtr(b));
    if (m_slotSize == sizeof(void*)) {
        void* t;
        std::memcpy(&t, x, sizeof t);
        std::memmove(x, y, sizeof t);
        std::memcpy(y, &t, sizeof t);
        return;
    }
    std::swap_ranges(x, x + m_slotSize, y);
}

void TSlotSequence::Reverse() {
    for (int32_t i = 0, j = m_count - 1; i < j; ++i, --j) SwapSlots(i, j);
}

void TSlotSequence::InverseOrder() {
    Reverse();
}

void TSlotSequence::Shuffle(int seed) {
    if (m_count < 2) return;
    TRandomizer random(seed);
    for (int32_t i = 0; i < m_count - 1; ++i) {
        const int32_t k = int32_t(random.Get(uint32_t(m_count - i)));
        SwapSlots(k, m_count - 1 - i);
    }
}

void TSlotSequence::SwapWith(TSlotSequence& other) noexcept {
    TCollection::SwapWith(other);
    std::swap(m_buffer, other.m_buffer);
    std::swap(m_capacity, other.m_capacity);
    std::swap(m_expansionSize, other.m_expansionSize);
    std::swap(m_initialSize, other.m_initialSize);
    std::swap(m_slotSize, other.m_slotSize);
    std::swap(m_heap, other.m_heap);
}

void TSlotSequence::Assign(const TSlotSequence& other, char copyData) {
    if (&other == this) return;
    TCollection::operator=(other);
    m_initialSize = other.m_initialSize;
    m_expansionSize = other.m_expansionSize;
    m_slotSize = other.m_slotSize;
    if (m_buffer) NH_Heap::FreeMem(m_buffer);
    m_buffer = nullptr;
    m_capacity = 0;
    if (!copyData || !other.m_buffer) return;
    const size_t bytes = other.GetRangeSize(other.m_capacity);
    m_buffer = static_cast<char*>(m_heap->AllocMem(bytes));
    if (!m_buffer) cvq::detail::ThrowContainerOutOfMemory();
    std::memcpy(m_buffer, other.m_buffer, bytes);
    m_capacity = other.m_capacity;
    m_count = other.m_count;
}

bool operator==(const TSlotSequence& a, const TSlotSequence& b) {
    if (a.GetCount() != b.GetCount()) return false;
    const size_t bytes = a.GetRangeSize(a.GetCount());
    return bytes == 0 || std::memcmp(a.FirstSlot(), b.FirstSlot(), bytes) == 0;
}
