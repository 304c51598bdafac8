// commonvcqx/base/BoundedText.h
//
// TBoundedText: builds text into a caller's fixed buffer (the original's 256-byte
// names, 260-character paths, message buffers) and never writes past it. The text is
// always NUL-terminated; what does not fit is cut off and the cut is remembered, so a
// caller can tell a complete result from a truncated one. Text that fits comes out
// exactly as the unbounded code would have written it.
//
//   char line[32];
//   cvq::TBoundedText text(line);
//   text.Append("Track ").AppendInteger(7, 2).Append(": ");   // "Track 07: "
//   text.AppendFormat("%.1f dB", -3.25);                     // "Track 07: -3.2 dB"
//   if (text.Truncated()) ...
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace cvq {

class TBoundedText {
public:
    /// Text goes to buffer[0 .. size - 1], NUL included; a size of 0 holds nothing.
    TBoundedText(char* buffer, size_t size) noexcept : m_buffer(buffer), m_size(size) {
        if (m_size != 0) m_buffer[0] = '\0';
    }
    template <size_t N>
    explicit TBoundedText(char (&buffer)[N]) noexcept : TBoundedText(buffer, N) {}
    TBoundedText(const TBoundedText&) = delete;
    TBoundedText& operator=(const TBoundedText&) = delete;

    TBoundedText& Append(char c) noexcept {
        if (m_length + 1 < m_size) {
            m_buffer[m_length++] = c;
            m_buffer[m_length] = '\0';
        } else {
            m_truncated = true;
        }
        return *this;
    }
    /// The text up to its NUL; null appends nothing.
    TBoundedText& Append(const char* text) noexcept {
        return text ? Append(text, std::strlen(text)) : *this;
    }
    TBoundedText& Append(const char* text, size_t count) noexcept {
        if (count > Room()) return AppendCut(text);
        if (count != 0) {  // a constant count folds the copy into plain stores
            std::memcpy(m_buffer + m_length, text, count);
            m_length += count;
            m_buffer[m_length] = '\0';
        }
        return *this;
    }
    /// Decimal, zero-padded to `width` characters with the sign counted, as printf's
    /// "%0*d" writes it ("-5" at width 2, "05" at width 2).
    TBoundedText& AppendInteger(int64_t value, int width = 0) noexcept {
        uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : uint64_t(value);
        if (value < 0) {
            Append('-');
            --width;
        }
        return AppendDigits(magnitude, width);
    }
    TBoundedText& AppendUnsigned(uint64_t value, int width = 0) noexcept {
        return AppendDigits(value, width);
    }
    /// printf into the rest of the buffer.
    [[gnu::format(printf, 2, 3)]] TBoundedText& AppendFormat(const char* format, ...) noexcept {
        if (m_size == 0) {
            m_truncated = true;
            return *this;
        }
        va_list args;
        va_start(args, format);
        int wanted = std::vsnprintf(m_buffer + m_length, m_size - m_length, format, args);
        va_end(args);
        if (wanted < 0) {  // an encoding error: keep what was there
            m_buffer[m_length] = '\0';
            m_truncated = true;
        } else if (size_t(wanted) > Room()) {
            m_length = m_size - 1;
            m_truncated = true;
        } else {
            m_length += size_t(wanted);
        }
        return *this;
    }

    const char* Text() const noexcept { return m_size != 0 ? m_buffer : ""; }
    size_t Length() const noexcept { return m_length; }
    /// Characters that still fit before the NUL.
    size_t Room() const noexcept { return m_size != 0 ? m_size - 1 - m_length : 0; }
    /// True once anything was cut off.
    bool Truncated() const noexcept { return m_truncated; }

private:
    // The part of `text` that fits, and the cut.
    TBoundedText& AppendCut(const char* text) noexcept {
        const size_t room = Room();
        if (room != 0) {
            std::memcpy(m_buffer + m_length, text, room);
            m_length += room;
            m_buffer[m_length] = '\0';
        }
        m_truncated = true;
        return *this;
    }
    TBoundedText& AppendDigits(uint64_t value, int width) noexcept {
        char digits[20];
        size_t count = 0;
        do {
            digits[count++] = char('0' + value % 10);
            value /= 10;
        } while (value != 0);
        const size_t pad = width > int(count) ? size_t(width) - count : 0;
        if (pad + count <= Room()) {  // the common case: one bound check
            char* out = m_buffer + m_length;
            for (size_t i = 0; i < pad; ++i) *out++ = '0';
            while (count > 0) *out++ = digits[--count];
            *out = '\0';
            m_length = size_t(out - m_buffer);
            return *this;
        }
        for (size_t i = 0; i < pad && !m_truncated; ++i) Append('0');
        while (count > 0) Append(digits[--count]);
        return *this;
    }

    char* m_buffer;
    size_t m_size;
    size_t m_length = 0;
    bool m_truncated = false;
};

}  // namespace cvq
