// commonvcqx/streams/Stream.h
//
// TStream: the root of the byte streams. It holds only the byte order in which
// numbers of 2, 4 and 8 bytes go out and come in; single bytes and byte strings are
// never reordered. Every stream the library creates itself is little-endian.
//
//   TOutputMemoryStream out(256, 1, kBigEndian);
//   out.Write(int32_t(0x01020304));      // bytes 01 02 03 04
//   out.GetEndianType();                 // kBigEndian
#pragma once

#include <cstdint>

/// Byte order of a stream. 0 is the machine's own little-endian order; any other
/// value means big-endian (every 2-, 4- and 8-byte value reversed).
enum EEndianType : int32_t {
    kLittleEndian = 0,
    kBigEndian = 1,
};

class TStream {
public:
    explicit TStream(EEndianType endian = kLittleEndian) noexcept : m_endian(endian) {}
    TStream(const TStream&) noexcept = default;
    TStream& operator=(const TStream&) noexcept = default;
    virtual ~TStream() = default;

    /// Offset of the position from the start of the stream.
    virtual uint32_t GetCurrentPosition() = 0;
    virtual void SetCurrentPosition(uint32_t position) = 0;

    void SetEndianType(EEndianType endian) noexcept { m_endian = endian; }
    EEndianType GetEndianType() const noexcept { return m_endian; }

protected:
    /// True when values must be reversed on the way out and in.
    bool IsSwapped() const noexcept { return m_endian != kLittleEndian; }

private:
    EEndianType m_endian;
};
