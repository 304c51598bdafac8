// commonvcqx/text/internal/PatternMachine.h
//
// The compiled form of a TStringPattern: state records and the character tests the
// compiler and both matchers share.
#pragma once

#include <commonvcqx/text/StringPattern.h>

#include <cstdint>

namespace cvq::detail {

enum EPatternKind : int32_t {
    kStateAccept = 0,   // state 0; value: 1 when the machine has capture groups
    kStateBranch = 1,   // next2 tried first by the backtracking matcher; next2 -1: one successor
    kStateLiteral = 2,  // value: the character (lower case when matching without case)
    kStateAny = 3,      // any character but newline
    kStateClass = 4,    // value: the escape letter (w W d D s S l L v V b)
    kStateSet = 5,      // value: index of the set (negation already folded in)
    kStateLineStart = 6,
    kStateLineEnd = 7,
    kStateCaptureOpen = 8,  // value: group number
    kStateCaptureClose = 9,
};

struct PatternState {
    int32_t value;
    int32_t kind;
    int32_t next1;
    int32_t next2;
};

/// ASCII case folding, independent of the process locale.
inline unsigned char LowerAscii(unsigned char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}
inline unsigned char UpperAscii(unsigned char c) noexcept {
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c;
}
inline bool IsAsciiLetter(unsigned char c) noexcept {
    return LowerAscii(c) >= 'a' && LowerAscii(c) <= 'z';
}
inline bool IsAsciiDigit(unsigned char c) noexcept {
    return c >= '0' && c <= '9';
}
inline bool IsWordChar(unsigned char c) noexcept {
    return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_';
}

/// The consuming escape classes; `c` is never the end of the text.
inline bool ClassContains(int32_t letter, unsigned char c) noexcept {
    switch (letter) {
        case 'w':
            return IsWordChar(c);
        case 'W':
            return !IsWordChar(c);
        case 'd':
            return IsAsciiDigit(c);
        case 'D':
            return !IsAsciiDigit(c);
        case 's':
            return c == ' ' || c == '\t' || c == '\n' || c == 0xFF;
        case 'S':
            return !(c == ' ' || c == '\t' || c == '\n' || c == 0xFF);
        case 'l':
            return IsAsciiLetter(c);
        case 'L':
            return !IsAsciiLetter(c);
        case 'v':
            return IsAsciiLetter(c) || c == '_';
        case 'V':
            return !(IsAsciiLetter(c) || c == '_');
        default:
            return false;
    }
}

/// Word boundary at `pos` of a text of `length` characters.
inline bool IsWordBoundary(const char* text, int32_t length, int32_t pos) noexcept {
    bool after = pos < length && IsWordChar(static_cast<unsigned char>(text[pos]));
    if (pos == 0) return after;
    bool before = IsWordChar(static_cast<unsigned char>(text[pos - 1]));
    return before != after;
}

}  // namespace cvq::detail

namespace cvq::detail {

/// Compiles `text` into `pattern`'s (empty) machine; false on a syntax error.
bool CompilePattern(TStringPattern& pattern, const char* text);

}  // namespace cvq::detail
