// commonvcqx/text/StringFunctions.h
//
// Free functions on plain NUL-terminated 8-bit texts and on TString: searching,
// comparing, bounded copying, trimming, replacing and cutting characters, hashing.
// Case folding is the "C" locale's, byte by byte.
//
//   const char* hit = stristr("Hello World", "WORLD");   // points at "World"
//   const char* last = strristr("abAB", "ab");           // points at "AB"
//   char* copy = strnewdup("name");                      // caller deletes [] it
//   char name[8];
//   strcpy_n(name, "a long name", sizeof name);          // "a long " : never overruns
//
// Functions that write into a caller's buffer without a size (strcpyEx, strcatEx)
// need a buffer large enough for the result.
#pragma once

#include <commonvcqx/containers/Array.h>
#include <commonvcqx/containers/FlexList.h>
#include <commonvcqx/containers/StringItem.h>
#include <commonvcqx/text/String.h>

#include <cstdint>

// Searching and comparing.

/// First occurrence of `pattern` in `text`, ignoring case. An empty pattern gives
/// `text` itself; otherwise an empty text gives null.
char* stristr(const char* text, const char* pattern);

/// The same search as stristr.
char* StringInString(const char* text, const char* pattern);

/// Last occurrence of `pattern` in `text`, ignoring case; overlapping occurrences
/// count ("aaa" holds "aa" last at index 1).
char* strristr(const char* text, const char* pattern);

/// Non-overlapping, case-sensitive occurrences of `pattern` in the first `textLength`
/// bytes of `text` (negative: the whole text). An empty pattern gives 0.
unsigned FindNumOccurences(const char* pattern, const char* text, int textLength);

/// Non-overlapping occurrences of `pattern` in `text`; an empty pattern gives 0.
int CountSubStrings(const char* text, const char* pattern);

/// Bytes of `text` equal to `c`.
int CountChar(const char* text, char c);

/// Equality byte for byte, or ignoring case when `caseSensitive` is 0.
char AreEqual(const char* a, const char* b, char caseSensitive);

/// Case-sensitive: -1, 0 or 1 from the first differing byte taken as unsigned.
/// Otherwise the difference of the first differing bytes in lower case (0: equal).
int Compare(const char* a, const char* b, char caseSensitive);

// Copying.

/// A copy of `text` allocated with new[] (null copies as ""); the caller deletes it.
char* strnewdup(const char* text);

/// Copies at most size - 1 characters and a NUL (nothing when size is 0); returns dst.
char* strcpy_n(char* dst, const char* src, uint32_t size);

/// Copies up to size - 1 characters, stopping after a NUL, and always terminates
/// (nothing when size is 0).
void CopyMax(char* dst, const char* src, uint32_t size);

/// Copies min(srcLength, dstSize - 1) bytes, NULs included, and a NUL (nothing when
/// dstSize is 0).
void MakeString(char* dst, uint32_t dstSize, const char* src, uint32_t srcLength);

/// Copies src; returns the position of the NUL written in dst.
char* strcpyEx(char* dst, const char* src);

/// Appends src to dst; returns the position of the new NUL.
char* strcatEx(char* dst, const char* src);

/// root, then suffix when not null, then "." and extension when extension is not null.
TString RootSuffixExt(const char* root, const char* suffix, const char* extension);

// Trimming, replacing, cutting.

/// Removes spaces and tabs from both sides, the start or the end; returns the new length.
int32_t Trim(TString& text);
int32_t TrimStart(TString& text);
int32_t TrimEnd(TString& text);

/// Replaces every `from` by `to` up to the NUL; returns how many.
int ReplaceChar(char* text, char from, char to);
/// The same over the stored length; the string gets a text of its own only when
/// something is replaced.
int ReplaceChar(TString& text, char from, char to);
/// ReplaceChar for each character of `set`; returns the sum.
int ReplaceChars(char* text, const char* set, char to);
int ReplaceChars(TString& text, const char* set, char to);

/// Removes every `c`.
void CutChar(TString& text, char c);
/// Removes every character of `set`.
void CutChar(TString& text, const char* set);

/// Reverses the text in place.
void Inverse(char* text);
void Inverse(TString& text);

/// Without copying: bit 1 of `sides` skips leading characters of `set`, bit 2 leaves
/// out trailing ones. Returns the start and stores the length of what remains.
const char* FindTrimmedSubString(const char* text, int* length, const char* set, int sides);
/// The same on the first `textLength` characters.
const char* FindTrimmedSubString(const char* text, int textLength, int* length, const char* set,
                                 int sides);

// Hashes.

/// The default hash of strings: h = (h << 2) ^ byte, each byte sign-extended.
uint32_t GetHashValue(const TString& text);
/// The ELF symbol hash of `count` bytes, modulo `modulus` (0: the hash unreduced).
uint32_t GetHashValue(const char* bytes, int32_t count, uint32_t modulus);

// Splitting text into items and joining lines.

/// Clears `items`, then appends the items of `text` split at any character of
/// `separators`. Without keepEmpty, separators in a row count as one and empty items
/// are dropped; with it, every separator ends an item, so ",a," gives "", "a", "".
/// Trimming (spaces and tabs) happens before the emptiness test. With separators ""
/// the text is a list of NUL-terminated items ended by an empty one.
void ExplodeString(TArray<TString>& items, const char* text, const char* separators, char trim,
                   char keepEmpty);
void ExplodeString(TFlexList<TStringItem<TListElement>>& items, const char* text,
                   const char* separators, char trim, char keepEmpty);

/// The trimmed, non-empty lines of `text` (split at CR and LF).
void TextToStringArray(const TString& text, TArray<TString>& lines);
/// Every line followed by "\r\n", the last one included.
TString StringArrayToText(const TArray<TString>& lines);
