// commonvcqx/streams/OutputMemoryStream.h
//
// TOutputMemoryStream: an output stream into one memory block. A growable stream
// owns a block of the default NH_Heap and enlarges it by its growth step (at least
// 32 bytes) or to what a write needs, whichever is more; a stream over a caller's
// fixed block never grows.
//
//   TOutputMemoryStream out(1024, 1);          // growable, frees its block
//   out.Write(int32_t(42));
//   out.WriteStringThenAlign("name");          // "name", NUL, 3 zero bytes
//   Use(out.GetStart(), out.GetCurrentPosition());
//
// Failures: a block that cannot grow throws std::bad_alloc (also when it would pass
// 4 GB, the largest 32-bit position). A write that does not fit a caller's fixed
// block throws std::out_of_range and writes nothing, instead of writing past it.
#pragma once

#include <commonvcqx/streams/MemoryStream.h>
#include <commonvcqx/streams/OutputStream.h>

#include <cstdint>
#include <cstring>

class TOutputMemoryStream : public TOutputStream, public TMemoryStream {
public:
    /// No block yet; growable by `growBy` bytes (at least 32). With `autoDelete` set
    /// the block is freed with the stream; otherwise the caller takes it over
    /// (GetStart) and frees it with NH_Heap::FreeMem.
    explicit TOutputMemoryStream(uint32_t growBy, char autoDelete = 1,
                                 EEndianType endian = kLittleEndian) noexcept;
    /// Writes into the caller's block of `size` bytes from its start; never grows,
    /// never frees it.
    TOutputMemoryStream(void* block, uint32_t size, EEndianType endian = kLittleEndian) noexcept;
    /// Takes over a heap block whose first `size` bytes are already written: the
    /// position and the capacity are `size`; growable by `growBy` (at least 32).
    TOutputMemoryStream(uint32_t growBy, char autoDelete, void* block, uint32_t size,
                        EEndianType endian = kLittleEndian) noexcept;
    TOutputMemoryStream(const TOutputMemoryStream&) = delete;
    TOutputMemoryStream& operator=(const TOutputMemoryStream&) = delete;
    ~TOutputMemoryStream() override;

    uint32_t GetCurrentPosition() override { return m_offset; }
    /// No check: later writes go there, and a growable block grows to reach it.
    void SetCurrentPosition(uint32_t position) override { m_offset = position; }

    uint32_t WriteData(const void* src, uint32_t n) override {
        if (n == 0) return m_offset;
        const uint64_t needed = uint64_t(m_offset) + n;
        if (needed > m_capacity) Grow(needed);
        if (src) std::memcpy(m_start + m_offset, src, n);
        m_offset = uint32_t(needed);
        return m_offset;
    }

    /// Makes the block hold at least `n` bytes after the position, which stays where it
    /// is; returns the position as a pointer, valid until the block grows again. For a
    /// writer that fills a piece in place before it knows its exact size.
    char* EnsureRoom(uint32_t n) {
        const uint64_t needed = uint64_t(m_offset) + n;
        if (needed > m_capacity) Grow(needed);
        return m_start + m_offset;
    }

    void SetAutoDelete(char autoDelete) noexcept { m_autoDelete = autoDelete; }
    /// Bytes the block holds.
    uint32_t GetCapacity() const noexcept { return m_capacity; }
    uint32_t GetGrowBy() const noexcept { return m_growBy; }
    bool IsGrowable() const noexcept { return m_growable != 0; }

    /// For n >= 2, zero bytes up to the next multiple of n; returns the position.
    uint32_t Align(int n);
    /// The characters and their NUL, then zero bytes so that all of it fills a
    /// multiple of 4 bytes; returns the position.
    uint32_t WriteStringThenAlign(const char* text);

private:
    // Makes room for `needed` bytes from the start, or throws.
    void Grow(uint64_t needed);

    uint32_t m_capacity;
    uint32_t m_growBy;
    char m_growable;
    char m_autoDelete;
    char m_reserved;  ///< the block lies in a reservation of its own
};
