// commonvcqx/streams/InputStream.h
//
// TInputStream: typed readers over one byte operation, ReadData, and the text
// readers a derived stream implements. Each array reader takes its values in one
// ReadData call and, on a big-endian stream, then reverses the bytes of each value
// in place. Readers return what ReadData returned (for memory streams: the position
// after the read).
//
//   int32_t count;
//   in.Read(&count, 1);
//   TString name = in.ReadString();
//
// On this platform `long` is 8 bytes: Read(long*, n) reads 8-byte values.
#pragma once

#include <commonvcqx/streams/Stream.h>
#include <commonvcqx/streams/internal/ByteOrder.h>
#include <commonvcqx/text/String.h>

#include <cstdint>

class TInputStream : public TStream {
public:
    explicit TInputStream(EEndianType endian = kLittleEndian) noexcept : TStream(endian) {}

    /// Copies `n` bytes to `dst` and advances; returns the position after them.
    virtual uint32_t ReadData(void* dst, uint32_t n) = 0;
    /// The text up to a NUL, line feed, carriage return or CR LF, which is consumed
    /// and left out.
    virtual TString ReadLine() = 0;
    /// Copies the NUL-terminated text at the position, NUL included; returns the
    /// position after the NUL.
    virtual uint32_t ReadString(char* dst) = 0;
    virtual TString ReadString() = 0;
    /// Length of the NUL-terminated text at the position.
    virtual int32_t FindStringLen() = 0;

    uint32_t Read(char* bytes, uint32_t count) { return ReadData(bytes, count); }
    uint32_t Read(signed char* bytes, uint32_t count) { return ReadData(bytes, count); }
    uint32_t Read(unsigned char* bytes, uint32_t count) { return ReadData(bytes, count); }
    uint32_t Read(short* values, uint32_t count) { return ReadArray(values, count); }
    uint32_t Read(unsigned short* values, uint32_t count) { return ReadArray(values, count); }
    uint32_t Read(int* values, uint32_t count) { return ReadArray(values, count); }
    uint32_t Read(unsigned int* values, uint32_t count) { return ReadArray(values, count); }
    uint32_t Read(float* values, uint32_t count) { return ReadArray(values, count); }
    uint32_t Read(long* values, uint32_t count) { return ReadArray(values, count); }
    uint32_t Read(unsigned long* values, uint32_t count) { return ReadArray(values, count); }
    uint32_t Read(long long* values, uint32_t count) { return ReadArray(values, count); }
    uint32_t Read(unsigned long long* values, uint32_t count) { return ReadArray(values, count); }
    uint32_t Read(double* values, uint32_t count) { return ReadArray(values, count); }

protected:
    template <class T>
    uint32_t ReadArray(T* values, uint32_t count) {
        const uint32_t result = ReadData(values, uint32_t(count * sizeof(T)));
        if (sizeof(T) > 1 && IsSwapped()) cvq::detail::ReverseEach(values, count, sizeof(T));
        return result;
    }
};
