#include <commonvcqx/streams/InputMemoryStream.h>

namespace {

inline bool EndsLine(char c) noexcept {
    return c == 0 || c == 10 || c == 13;
}

// Bytes taken by a text of `length` characters, its NUL and its padding to 4.
inline uint64_t PaddedSize(uint64_t length) noexcept {
    return (length + 1 + 3) & ~uint64_t(3);
}

}  // namespace

TString TInputMemoryStream::ReadLine() {
    const char* start = m_start + m_offset;
    const char* p = start;
    while (!EndsLine(*p)) ++p;
    TString line(start, 0, 0, uint32_t(p - start));
    if (p[0] == 13 && p[1] == 10) ++p;
    m_offset += uint32_t(p + 1 - start);
    return line;
}

uint32_t TInputMemoryStream::ReadString(char* dst) {
    const uint32_t size = uint32_t(std::strlen(m_start + m_offset)) + 1;
    std::memcpy(dst, m_start + m_offset, size);
    m_offset += size;
    return m_offset;
}

TString TInputMemoryStream::ReadString() {
    TString text(m_start + m_offset);
    m_offset += text.GetLength() + 1;
    return text;
}

int32_t TInputMemoryStream::FindStringLen() {
    return int32_t(std::strlen(m_start + m_offset));
}

uint32_t TInputMemoryStream::ReadStringThenAlign(char* dst) {
    const uint32_t length = uint32_t(std::strlen(m_start + m_offset));
    std::memcpy(dst, m_start + m_offset, length + 1);
    m_offset += uint32_t(PaddedSize(length));
    return m_offset;
}

TString TInputMemoryStream::ReadStringThenAlign() {
    TString text(m_start + m_offset);
    m_offset += uint32_t(PaddedSize(text.GetLength()));
    return text;
}

uint32_t TInputMemoryStream::Align(int n) {
    if (n >= 2) m_offset += (uint32_t(n) - m_offset % uint32_t(n)) % uint32_t(n);
    return m_offset;
}

void TInputMemoryStream::ThrowPastEnd(const char* what, uint64_t count) const {
    cvq::detail::ThrowOutsideBlock(what, m_offset, count, m_size);
}

void TInputMemoryStream::SetCurrentPositionChecked(uint32_t position) {
    if (position > m_size) cvq::detail::ThrowOutsideBlock("position", position, 0, m_size);
    m_offset = position;
}

int32_t TInputMemoryStream::FindStringLenChecked() const {
    const uint32_t remaining = GetRemaining();
    const void* nul = remaining ? std::memchr(m_start + m_offset, 0, remaining) : nullptr;
    if (!nul) ThrowPastEnd("text without NUL", remaining);
    return int32_t(static_cast<const char*>(nul) - (m_start + m_offset));
}

TString TInputMemoryStream::ReadStringChecked() {
    const uint32_t length = uint32_t(FindStringLenChecked());
    TString text(m_start + m_offset, 0, 0, length);
    m_offset += length + 1;
    return text;
}

uint32_t TInputMemoryStream::ReadStringChecked(char* dst, uint32_t dstSize) {
    const uint32_t length = uint32_t(FindStringLenChecked());
    if (uint64_t(length) + 1 > dstSize)
        cvq::detail::ThrowOutsideBlock("text", m_offset, uint64_t(length) + 1, dstSize);
    std::memcpy(dst, m_start + m_offset, length + 1);
    m_offset += length + 1;
    return m_offset;
}

TString TInputMemoryStream::ReadStringThenAlignChecked() {
    const uint32_t length = uint32_t(FindStringLenChecked());
    const uint64_t size = PaddedSize(length);
    if (size > GetRemaining()) ThrowPastEnd("padded text", size);
    TString text(m_start + m_offset, 0, 0, length);
    m_offset += uint32_t(size);
    return text;
}

TString TInputMemoryStream::ReadLineChecked() {
    const uint32_t remaining = GetRemaining();
    if (remaining == 0) ThrowPastEnd("line", 1);
    const char* start = m_start + m_offset;
    const char* end = start + remaining;
    const char* p = start;
    while (p < end && !EndsLine(*p)) ++p;
    TString line(start, 0, 0, uint32_t(p - start));
    if (p < end) {
        if (p[0] == 13 && p + 1 < end && p[1] == 10) ++p;
        ++p;
    }
    m_offset += uint32_t(p - start);
    return line;
}
