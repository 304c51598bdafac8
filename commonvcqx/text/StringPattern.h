// commonvcqx/text/StringPattern.h
//
// TStringPattern: the library's regular expressions. A pattern is compiled once into a
// small state machine and then run against NUL-terminated 8-bit texts to find or
// replace matches. The 17 operator characters can be reassigned or switched off, which
// is how DOS wildcards ("*", "?") run on the same engine.
//
//   int32_t pos;
//   FindPattern("xxabbbc", "ab*c", 1, &pos);            // 5, pos 2
//   TStringPattern words("/w+", 1);
//   words.Find(&pos, "  one two", 0, TStringPattern::kForward);   // 3, pos 2
//   TArray<TString> tokens;
//   TokenizePatterns("one two  three", tokens, "/w+", 1);      // "one" "two" "three"
//
// Syntax with the default characters: "|" alternation; "*", "+", "?" after an item;
// "( )" grouping; "{ }" capture groups (numbered from 0 by their opening brace); "[ ]"
// sets with "^" negation and "-" ranges; "." any character but newline; "^" and "$"
// start and end of a line; "/" escapes: classes w W d D s S l L v V, "/b" word
// boundary, "/e" "/n" "/r" "/t", "/x41", "/65", and any other character itself.
//
// Without capture groups the longest match at the leftmost position wins ("a|ab" on
// "ab" gives 2). With capture groups the first match of a depth-first search wins: a
// repetition or option first tries to take more, an alternation tries its left side
// first; each capture of the winning path is reported to the callback as it closes.
//
// "~" (the operator role kTilde) is reserved: a pattern that uses it does not compile.
// Write "/~" for the character itself.
//
// Matching time grows with text length times pattern size, never exponentially, and no
// pattern or text can exhaust the stack: the search keeps its state on the heap and
// visits each (state, position) pair at most once per attempt. Parentheses, braces and
// sets may nest 1000 deep; deeper patterns do not compile.
//
// A compiled pattern may be shared by threads that only call Find.
#pragma once

#include <commonvcqx/containers/Array.h>
#include <commonvcqx/text/BitSet256.h>
#include <commonvcqx/text/String.h>

#include <cstdint>

namespace cvq::detail {
struct PatternState;
struct PatternScratch;
struct PatternCompiler;
}  // namespace cvq::detail

/// Called for each match or capture: group number (0 for a whole match of a pattern
/// without capture groups), indices of the first and last matched characters, the text
/// searched and the caller's context. The result is ignored.
typedef int (*TPatternMatchCallback)(int group, int32_t first, int32_t last, const char* text,
                                     void* context);

/// One match or capture as CB_OnMatchStoreInMatchLocationArray records it.
struct TMatchLocation {
    int32_t group;
    int32_t first;   ///< index of the first matched character
    int32_t length;  ///< number of matched characters
};

class TStringPattern {
public:
    /// Operator roles: index into the operator table.
    enum EIndexSpecialChar : int32_t {
        kAlternation = 0,    ///< "|"
        kZeroOrMore = 1,     ///< "*"
        kOneOrMore = 2,      ///< "+"
        kGroupOpen = 3,      ///< "("
        kGroupClose = 4,     ///< ")"
        kSetOpen = 5,        ///< "["
        kSetClose = 6,       ///< "]"
        kSetRange = 7,       ///< "-"
        kSetNegation = 8,    ///< "^" first in a set
        kEscape = 9,         ///< "/"
        kAnyChar = 10,       ///< "."
        kZeroOrOne = 11,     ///< "?"
        kLineStart = 12,     ///< "^"
        kLineEnd = 13,       ///< "$"
        kCaptureOpen = 14,   ///< "{"
        kCaptureClose = 15,  ///< "}"
        kTilde = 16,         ///< "~", reserved
        kSpecialCharCount = 17
    };

    /// How Find searches from its start position.
    enum EMatchMode : int32_t {
        kForward = 0,   ///< each position from start on; the first non-empty match wins
        kBackward = 1,  ///< positions start - 1 down to 0; the first non-empty match wins
        kAnchored = 2,  ///< start only; an empty match counts
        kAll = 3        ///< every non-empty match from start, left to right, no overlap
    };

    /// No machine: not valid until Set succeeds. Case-sensitive, default operators.
    TStringPattern() noexcept;
    TStringPattern(const char* pattern, char caseSensitive);
    ~TStringPattern();
    TStringPattern(const TStringPattern&) = delete;
    TStringPattern& operator=(const TStringPattern&) = delete;

    /// Compiles `pattern` with the current operator table; returns and keeps whether it
    /// compiled. A syntax error is not thrown: the pattern is simply invalid.
    char Set(const char* pattern, char caseSensitive);
    char IsValid() const noexcept { return m_valid; }

    /// Switches every operator off (its character becomes 0x01).
    void SetNoMetaChar() noexcept;
    /// Gives a role its character (0 or 0x01 switch it off); used by the next Set.
    void SetMetaChar(EIndexSpecialChar role, char c) noexcept;
    /// Compiles a DOS wildcard pattern: "*" any run, "?" zero or one character, "."
    /// any one character; everything else literal.
    char SetAsDos(const char* dosPattern, char caseSensitive);

    /// Searches `text` from `start` in `mode`. Returns the match length; -1 (or 0 when
    /// the last position tried matched empty) when nothing matched; -1 for an invalid
    /// pattern or a start outside the text. Stores the match position, or `start` when
    /// nothing matched, through `matchStart` when it is not null. Matches of a pattern
    /// without capture groups are reported to `callback` as group 0 (except anchored);
    /// with capture groups, the captures of each match taken.
    int32_t Find(int32_t* matchStart, const char* text, int32_t start, EMatchMode mode,
                 TPatternMatchCallback callback = nullptr, void* context = nullptr) const;

    /// Appends each match (as kAll finds them; with capture groups, each capture) to
    /// `tokens`; returns the number of elements `tokens` then holds.
    int Tokenize(const TString& text, TArray<TString>& tokens) const;

    /// Replaces every match (as kAll finds them) by `replacement`, taken literally;
    /// returns the number of replacements.
    int ReplaceAll(TString& text, const char* replacement) const;

private:
    int32_t FindAt(const char* text, int32_t length, int32_t pos,
                   cvq::detail::PatternScratch& scratch, TPatternMatchCallback callback,
                   void* context) const;
    bool FindNext(const char* text, int32_t length, int32_t from,
                  cvq::detail::PatternScratch& scratch, int32_t& matchPos, int32_t& matchLength,
                  TPatternMatchCallback callback, void* context) const;
    bool Simulate(const char* text, int32_t length, int32_t from, bool anchored,
                  cvq::detail::PatternScratch& scratch, int32_t& matchPos,
                  int32_t& matchLength) const;
    int32_t RunCached(const char* text, int32_t length, int32_t pos,
                      cvq::detail::PatternScratch& scratch, int64_t& steps) const;
    int32_t CachedState(cvq::detail::PatternScratch& scratch) const;
    int32_t Backtrack(const char* text, int32_t length, int32_t pos, int32_t base,
                      cvq::detail::PatternScratch& scratch, TPatternMatchCallback callback,
                      void* context) const;
    int32_t NextCandidate(const char* text, int32_t length, int32_t from) const noexcept;
    int32_t SuffixCandidate(const char* text, int32_t length, int32_t from) const noexcept;
    void FreeMachine() noexcept;

    friend struct cvq::detail::PatternCompiler;

    cvq::detail::PatternState* m_states;  // malloc'ed; null before a successful compile
    TBitSet256* m_sets;                   // the sets the machine's set states test
    int32_t m_stateCount;
    int32_t m_stateCapacity;
    int32_t m_setCount;
    int32_t m_start;         // first state of the machine
    int32_t m_firstSingle;   // the one byte every non-empty match starts with, or -1
    TBitSet256 m_first;      // bytes a non-empty match can start with
    int32_t m_prefixLength;  // literal text every match starts with (case-sensitive only)
    char m_prefix[16];
    int32_t m_suffixLength;  // "C+L" / "C*L" shape: literal L every match ends with, or 0
    int32_t m_suffixMinRun;  // 1 for "+", 0 for "*"
    char m_suffix[16];
    TBitSet256 m_suffixRun;  // the bytes C takes
    char m_operators[kSpecialCharCount];
    char m_caseSensitive;
    char m_valid;
    char m_hasGroups;
    char m_hasAnchors;  // line or word anchors: no cached transitions
};

/// Compiles `pattern` and finds it forward from 0.
int32_t FindPattern(const char* text, const char* pattern, char caseSensitive, int32_t* matchStart);

/// Finds a DOS wildcard pattern (TStringPattern::SetAsDos) forward from 0.
int32_t FindWithDosWildcards(const char* text, const char* dosPattern, int32_t* matchStart,
                             char caseSensitive);

/// Compiles `pattern` and tokenizes `text` with it (TStringPattern::Tokenize); a pattern
/// that does not compile adds nothing.
int TokenizePatterns(const TString& text, TArray<TString>& tokens, const char* pattern,
                     char caseSensitive);

/// Match callback appending the matched characters to the TArray<TString> that
/// `context` points to. Returns 0.
int CB_OnMatchStoreInStringArray(int group, int32_t first, int32_t last, const char* text,
                                 void* context);
/// Match callback appending {group, first, last - first + 1} to the
/// TArray<TMatchLocation> that `context` points to. Returns 0.
int CB_OnMatchStoreInMatchLocationArray(int group, int32_t first, int32_t last, const char* text,
                                        void* context);

/// Compiles `pattern` and replaces every match by `replacement`, taken literally;
/// returns the number of replacements (0 for a pattern that does not compile).
int ReplaceAllPatterns(TString& text, const char* pattern, const char* replacement,
                       char caseSensitive);

/// Whole-text DOS match: "*" any run of characters, "?" exactly one, anything else
/// itself. Time grows with the product of the lengths at most.
char IsStringMatchedByDosPattern(const char* text, const char* dosPattern);
/// The same comparing characters after toupper.
char IsStringMatchedByDosPatternNCS(const char* text, const char* dosPattern);
