#include <commonvcqx/streams/OutputMemoryStream.h>

#include <commonvcqx/memory/Heap.h>

#include <algorithm>
#include <new>

namespace {

constexpr uint32_t kSmallestGrowBy = 32;
// From this capacity on, blocks live in reservations of kReserveFactor times their
// capacity (at least kSmallestReserve). Reserved address space costs no memory: the
// first reservation is large enough that documents of hundreds of MB never move.
constexpr uint64_t kReserveFrom = 1 << 20;
constexpr uint64_t kReserveFactor = 8;
constexpr uint64_t kSmallestReserve = uint64_t(1) << 30;

uint32_t GrowStep(uint32_t growBy) noexcept {
    return growBy < kSmallestGrowBy ? kSmallestGrowBy : growBy;
}

}  // namespace

TOutputMemoryStream::TOutputMemoryStream(uint32_t growBy, char autoDelete,
                                         EEndianType endian) noexcept
    : TOutputStream(endian),
      TMemoryStream(nullptr, 0),
      m_capacity(0),
      m_growBy(GrowStep(growBy)),
      m_growable(1),
      m_autoDelete(autoDelete),
      m_reserved(0) {}

TOutputMemoryStream::TOutputMemoryStream(void* block, uint32_t size, EEndianType endian) noexcept
    : TOutputStream(endian),
      TMemoryStream(static_cast<char*>(block), 0),
      m_capacity(size),
      m_growBy(0),
      m_growable(0),
      m_autoDelete(0),
      m_reserved(0) {}

TOutputMemoryStream::TOutputMemoryStream(uint32_t growBy, char autoDelete, void* block,
                                         uint32_t size, EEndianType endian) noexcept
    : TOutputStream(endian),
      TMemoryStream(static_cast<char*>(block), size),
      m_capacity(size),
      m_growBy(GrowStep(growBy)),
      m_growable(1),
      m_autoDelete(autoDelete),
      m_reserved(0) {}

TOutputMemoryStream::~TOutputMemoryStream() {
    if (m_growable && m_autoDelete) NH_Heap::FreeMem(m_start);
}

void TOutputMemoryStream::Grow(uint64_t needed) {
    if (!m_growable)
        cvq::detail::ThrowOutsideBlock("write", m_offset, needed - m_offset, m_capacity);
    uint64_t capacity = uint64_t(m_capacity) + m_growBy;
    if (capacity < needed) capacity = needed;
    // Positions are 32-bit: a block may reach 4 GB - 1 bytes, no more.
    if (needed > UINT32_MAX) throw std::bad_alloc();
    if (capacity > UINT32_MAX) capacity = UINT32_MAX;

    NH_Heap& heap = NH_Heap::Default();
    void* block = nullptr;
    if (capacity < kReserveFrom) {
        block =
            m_start ? heap.Realloc(m_start, size_t(capacity), 0) : heap.AllocMem(size_t(capacity));
    } else {
        // A large block grows by linear steps: moving it at every step would copy it
        // over and over. It lives in an address-space reservation instead, which it
        // fills in place; only an exhausted reservation moves it to a larger one.
        if (m_reserved) block = heap.Realloc(m_start, size_t(capacity), 0);
        if (!block) {
            const uint64_t reserve = std::min<uint64_t>(
                std::max<uint64_t>(capacity * kReserveFactor, kSmallestReserve), UINT32_MAX);
            block = heap.AllocWithReserve(size_t(reserve), size_t(capacity), 0);
            if (block && m_start) {
                std::memcpy(block, m_start, m_capacity);
                NH_Heap::FreeMem(m_start);
            }
            if (block) m_reserved = 1;
        }
    }
    if (!block) throw std::bad_alloc();
    m_start = static_cast<char*>(block);
    m_capacity = uint32_t(capacity);
}

uint32_t TOutputMemoryStream::Align(int n) {
    if (n < 2) return m_offset;
    const uint32_t pad = (uint32_t(n) - m_offset % uint32_t(n)) % uint32_t(n);
    return pad ? WriteBytes(0, pad) : m_offset;
}

uint32_t TOutputMemoryStream::WriteStringThenAlign(const char* text) {
    if (!text) text = "";
    static const char kZeros[4] = {};
    const uint32_t length = uint32_t(std::strlen(text)) + 1;
    WriteData(text, length);
    const uint32_t pad = (4 - length % 4) % 4;
    return pad ? WriteData(kZeros, pad) : m_offset;
}
