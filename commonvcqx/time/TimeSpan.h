// commonvcqx/time/TimeSpan.h
//
// TTimeSpan: a signed duration in whole seconds, one 32-bit word, copied freely.
// Components divide toward zero, so a negative span has negative components (-90 s is
// -1 minute and -30 seconds). Stored as one 32-bit integer, raw in a byte stream or as
// a tagged value.
//
//   TTimeSpan span(1, 2, 3, 4);                            // 93 784 s
//   int32_t hours = span.GetHours();                       // 2; GetTotalHours() is 26
//   TString text = span.ConvertToString("%D d %H:%M:%S");  // "1 d 02:03:04"
//
// Arithmetic is exact in 64 bits and then keeps the low 32 bits, as the original's
// 32-bit arithmetic did: results are those of the original, and never undefined.
#pragma once

#include <commonvcqx/base/CheckedArithmetic.h>
#include <commonvcqx/text/String.h>

#include <compare>
#include <cstdint>

class TInputStream;
class TOutputStream;
class TTaggedInputStream;
class TTaggedOutputStream;

class TTimeSpan {
public:
    static constexpr int32_t kSecondsPerDay = 86400;

    /// A zero span (callers assign before use).
    constexpr TTimeSpan() noexcept = default;
    constexpr TTimeSpan(int32_t seconds) noexcept : m_span(seconds) {}
    /// days·86400 + hours·3600 + minutes·60 + seconds; no component is range-checked.
    constexpr TTimeSpan(int32_t days, int hours, int minutes, int seconds) noexcept
        : m_span(cvq::WrapToInt32(int64_t{days} * kSecondsPerDay + int64_t{hours} * 3600 +
                                  int64_t{minutes} * 60 + seconds)) {}

    constexpr int32_t GetDays() const noexcept { return m_span / kSecondsPerDay; }
    constexpr int32_t GetTotalHours() const noexcept { return m_span / 3600; }
    constexpr int32_t GetHours() const noexcept {
        return m_span / 3600 - (m_span / kSecondsPerDay) * 24;
    }
    constexpr int32_t GetTotalMinutes() const noexcept { return m_span / 60; }
    constexpr int32_t GetMinutes() const noexcept { return m_span / 60 - (m_span / 3600) * 60; }
    constexpr int32_t GetTotalSeconds() const noexcept { return m_span; }
    constexpr int32_t GetSeconds() const noexcept { return m_span % 60; }

    constexpr TTimeSpan operator+(TTimeSpan other) const noexcept {
        return cvq::WrapAdd32(m_span, other.m_span);
    }
    constexpr TTimeSpan operator-(TTimeSpan other) const noexcept {
        return cvq::WrapSubtract32(m_span, other.m_span);
    }
    constexpr TTimeSpan& operator+=(TTimeSpan other) noexcept { return *this = *this + other; }
    constexpr TTimeSpan& operator-=(TTimeSpan other) noexcept { return *this = *this - other; }

    friend constexpr bool operator==(TTimeSpan, TTimeSpan) noexcept = default;
    friend constexpr std::strong_ordering operator<=>(TTimeSpan, TTimeSpan) noexcept = default;

    /// The value as one 32-bit integer in the stream's byte order.
    void Write(TOutputStream& out) const;
    void Read(TInputStream& in);
    /// The value as a 32-bit tagged value under (name, index); `id` is not used.
    void WriteState(TTaggedOutputStream& out, int32_t id, const char* name, int index) const;
    /// The stored value, or 0 when it is absent; always true.
    char RestoreState(TTaggedInputStream& in, int32_t id, const char* name, int index);

    /// The format with %D (days, "%ld"), %H, %M and %S (hours, minutes and seconds
    /// components, "%02d") expanded; a % before any other character writes that
    /// character alone ("%%" gives "%"), and a % at the very end ends the text. The
    /// result holds at most 255 characters, the original's buffer: a longer expansion
    /// is cut there. A null format gives "".
    TString ConvertToString(const char* format) const;

private:
    int32_t m_span = 0;
};
