// commonvcqx/streams/MemoryStream.h
//
// TMemoryStream: the part both memory streams share, the start of their block and
// the position in it. The tagged format addresses the block through it; an output
// block moves when it grows, so a holder reads GetStart() afresh after every write.
//
//   TOutputMemoryStream out(64, 1);
//   TMemoryStream& memory = out;
//   out.Write(int32_t(1));
//   const char* bytes = memory.GetStart();   // valid until the next write
#pragma once

#include <cstdint>

class TMemoryStream {
public:
    /// The start of the block; null while an output stream has none yet.
    char* GetStart() const noexcept { return m_start; }
    /// The position as a pointer into the block (null while there is no block).
    char* GetPosition() const noexcept { return m_start ? m_start + m_offset : nullptr; }

protected:
    TMemoryStream(char* start, uint32_t offset) noexcept : m_start(start), m_offset(offset) {}
    ~TMemoryStream() = default;
    TMemoryStream(const TMemoryStream&) = default;
    TMemoryStream& operator=(const TMemoryStream&) = default;

    char* m_start;
    uint32_t m_offset;  ///< the position, from m_start
};
