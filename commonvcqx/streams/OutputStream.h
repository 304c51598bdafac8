// commonvcqx/streams/OutputStream.h
//
// TOutputStream: typed writers over one byte operation, WriteData, that a derived
// stream implements. Numbers of 2, 4 and 8 bytes go out in the stream's byte order;
// arrays of them go out in one WriteData call on little-endian streams and value by
// value on big-endian ones. Every writer returns what its last WriteData returned
// (for memory streams: the position after the write).
//
//   void Save(TOutputStream& out) {
//       out.Write(int32_t(7));               // 4 bytes
//       out.WriteString("name", 1);          // the characters and a NUL
//       out.WriteLine("text");               // the characters, CR, LF
//   }
//
// On this platform `long` is 8 bytes: Write(long) writes 8 bytes. Stored formats
// use int32_t for their 4-byte numbers.
#pragma once

#include <commonvcqx/streams/Stream.h>
#include <commonvcqx/streams/internal/ByteOrder.h>

#include <cstdint>

class TString;

class TOutputStream : public TStream {
public:
    explicit TOutputStream(EEndianType endian = kLittleEndian) noexcept : TStream(endian) {}

    /// Writes `n` bytes from `src`; with a null `src` the position advances over `n`
    /// bytes left as they are. Returns the position after them.
    virtual uint32_t WriteData(const void* src, uint32_t n) = 0;

    // Single values.
    uint32_t Write(char value) { return WriteData(&value, 1); }
    uint32_t Write(signed char value) { return WriteData(&value, 1); }
    uint32_t Write(unsigned char value) { return WriteData(&value, 1); }
    uint32_t Write(short value) { return WriteValue(value); }
    uint32_t Write(unsigned short value) { return WriteValue(value); }
    uint32_t Write(int value) { return WriteValue(value); }
    uint32_t Write(unsigned int value) { return WriteValue(value); }
    /// A float as its IEEE single bit pattern.
    uint32_t Write(float value) { return WriteValue(value); }
    uint32_t Write(long value) { return WriteValue(value); }
    uint32_t Write(unsigned long value) { return WriteValue(value); }
    uint32_t Write(long long value) { return WriteValue(value); }
    uint32_t Write(unsigned long long value) { return WriteValue(value); }
    /// A double as its IEEE double bit pattern.
    uint32_t Write(double value) { return WriteValue(value); }

    // Arrays of `count` elements. Bytes go out as they are.
    uint32_t Write(const char* bytes, uint32_t count) { return WriteData(bytes, count); }
    uint32_t Write(const signed char* bytes, uint32_t count) { return WriteData(bytes, count); }
    uint32_t Write(const unsigned char* bytes, uint32_t count) { return WriteData(bytes, count); }
    uint32_t Write(const short* values, uint32_t count) { return WriteArray(values, count); }
    uint32_t Write(const unsigned short* values, uint32_t count) {
        return WriteArray(values, count);
    }
    uint32_t Write(const int* values, uint32_t count) { return WriteArray(values, count); }
    uint32_t Write(const unsigned int* values, uint32_t count) { return WriteArray(values, count); }
    uint32_t Write(const float* values, uint32_t count) { return WriteArray(values, count); }
    uint32_t Write(const long* values, uint32_t count) { return WriteArray(values, count); }
    uint32_t Write(const unsigned long* values, uint32_t count) {
        return WriteArray(values, count);
    }
    uint32_t Write(const long long* values, uint32_t count) { return WriteArray(values, count); }
    uint32_t Write(const unsigned long long* values, uint32_t count) {
        return WriteArray(values, count);
    }
    uint32_t Write(const double* values, uint32_t count) { return WriteArray(values, count); }

    /// Advances over `n` bytes without writing them; returns the position after them.
    uint32_t ReserveSpace(uint32_t n) { return WriteData(nullptr, n); }
    /// `n` copies of `fill`, written in pieces of at most 128 bytes.
    uint32_t WriteBytes(char fill, uint32_t n);
    /// The characters of `text` (null writes nothing), then a NUL when `withNul` is
    /// non-zero. No length is written.
    uint32_t WriteString(const char* text, char withNul);
    uint32_t WriteString(const TString& text, char withNul);
    /// The characters, then a carriage return and a line feed.
    uint32_t WriteLine(const char* text);
    uint32_t WriteLine(const TString& text);

private:
    template <class T>
    uint32_t WriteValue(T value) {
        if (IsSwapped()) value = cvq::detail::ReverseBytes(value);
        return WriteData(&value, sizeof value);
    }
    template <class T>
    uint32_t WriteArray(const T* values, uint32_t count) {
        const uint64_t bytes = uint64_t(count) * sizeof(T);
        // No stream position reaches past 4 GB: a larger array must not wrap around.
        if (bytes > UINT32_MAX)
            cvq::detail::ThrowOutsideBlock("write", GetCurrentPosition(), bytes, UINT32_MAX);
        if (!IsSwapped()) return WriteData(values, uint32_t(bytes));
        if (count == 0) return GetCurrentPosition();
        uint32_t result = 0;
        for (uint32_t i = 0; i < count; ++i) result = WriteValue(values[i]);
        return result;
    }
};
