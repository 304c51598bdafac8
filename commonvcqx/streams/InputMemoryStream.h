// commonvcqx/streams/InputMemoryStream.h
//
// TInputMemoryStream: an input stream over a memory block it does not own.
//
//   TInputMemoryStream in(block, size);
//   int32_t count;
//   in.Read(&count, 1);                      // fast: no bounds check
//   TString line = in.ReadLine();
//
// Two ways to read. The plain readers (Read, ReadData, ReadString, ReadLine, ...)
// do not look at the size: they are for blocks the caller built or checked, and a
// read past the end is the caller's error. Readers of stored data (documents,
// configuration files, anything from outside) use the checked readers, whose names
// end in "Checked": they test the size first and throw std::out_of_range, reading
// nothing and leaving the position where it was, when the value, the text and its
// NUL, or its padding would reach past the end. GetRemaining() tells how many bytes
// are left before reading.
//
//   while (in.GetRemaining() >= 4) {
//       int32_t value;
//       in.ReadChecked(&value, 1);
//   }
//   TString name = in.ReadStringChecked();   // throws when no NUL lies in the block
//
// A record of fixed size is checked once and its fields read with the plain readers,
// which costs no more than reading unchecked:
//
//   in.CheckRemaining(12);                   // throws unless 12 bytes are left
//   in.Read(&x, 1); in.Read(&y, 1); in.Read(&z, 1);
#pragma once

#include <commonvcqx/streams/InputStream.h>
#include <commonvcqx/streams/MemoryStream.h>

#include <cstdint>
#include <cstring>
#include <type_traits>

class TInputMemoryStream : public TInputStream, public TMemoryStream {
public:
    TInputMemoryStream() noexcept : TInputMemoryStream(nullptr, 0) {}
    TInputMemoryStream(const void* data, uint32_t size, EEndianType endian = kLittleEndian) noexcept
        : TInputStream(endian),
          TMemoryStream(static_cast<char*>(const_cast<void*>(data)), 0),
          m_size(size) {}
    TInputMemoryStream(const TInputMemoryStream&) = default;
    TInputMemoryStream& operator=(const TInputMemoryStream&) = default;

    /// A new block; the position goes to its start.
    void SetInputMemory(void* data, uint32_t size) noexcept {
        m_start = static_cast<char*>(data);
        m_offset = 0;
        m_size = size;
    }
    uint32_t GetSize() const noexcept { return m_size; }

    uint32_t GetCurrentPosition() override { return m_offset; }
    /// No check (see SetCurrentPositionChecked).
    void SetCurrentPosition(uint32_t position) override { m_offset = position; }

    uint32_t ReadData(void* dst, uint32_t n) override {
        if (n) std::memcpy(dst, m_start + m_offset, n);
        m_offset += n;
        return m_offset;
    }
    TString ReadLine() override;
    uint32_t ReadString(char* dst) override;
    TString ReadString() override;
    int32_t FindStringLen() override;

    /// Reads the text and its NUL, then skips the padding that makes them a multiple
    /// of 4 bytes; returns the position.
    uint32_t ReadStringThenAlign(char* dst);
    TString ReadStringThenAlign();
    /// For n >= 2, advances to the next multiple of n; returns the position.
    uint32_t Align(int n);

    // Checked readers: each throws std::out_of_range, reading nothing, rather than
    // read outside the block.

    /// Bytes between the position and the end (0 when the position is past it).
    uint32_t GetRemaining() const noexcept { return m_offset < m_size ? m_size - m_offset : 0; }
    /// Checks that `n` bytes lie between the position and the end, so that a record of
    /// `n` bytes may be read with the plain readers; throws std::out_of_range when not.
    void CheckRemaining(uint64_t n) const {
        if (n > GetRemaining()) ThrowPastEnd("record", n);
    }
    /// Moves the position anywhere from the start to the end of the block.
    void SetCurrentPositionChecked(uint32_t position);
    /// `n` bytes, as ReadData.
    uint32_t ReadDataChecked(void* dst, uint32_t n) {
        if (n > GetRemaining()) ThrowPastEnd("data", n);
        return ReadData(dst, n);
    }
    /// `count` values, as Read.
    template <class T>
    requires std::is_arithmetic_v<T> uint32_t ReadChecked(T* values, uint32_t count) {
        if (uint64_t(count) * sizeof(T) > GetRemaining())
            ThrowPastEnd("values", uint64_t(count) * sizeof(T));
        return Read(values, count);
    }
    /// Length of the text at the position; throws when no NUL lies before the end.
    int32_t FindStringLenChecked() const;
    TString ReadStringChecked();
    /// Copies the text and its NUL into `dst` of `dstSize` bytes; throws when no NUL
    /// lies before the end or the text does not fit `dstSize`. Returns the position.
    uint32_t ReadStringChecked(char* dst, uint32_t dstSize);
    /// ReadStringThenAlign; the padding must lie in the block too.
    TString ReadStringThenAlignChecked();
    /// ReadLine within the block: the end of the block also ends the last line.
    /// Throws when the position is already at the end.
    TString ReadLineChecked();

private:
    [[noreturn]] void ThrowPastEnd(const char* what, uint64_t count) const;

    uint32_t m_size;
};
