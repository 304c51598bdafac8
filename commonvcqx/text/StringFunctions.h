// commonvcqx/text/StringFunctions.h
//
// Free functions on plain NUL-terminated 8-bit texts: case-insensitive searching
// and copying into a fresh buffer. Case folding is the "C" locale's, byte by byte.
//
//   const char* hit = stristr("Hello World", "WORLD");   // points at "World"
//   const char* last = strristr("abAB", "ab");           // points at "AB"
//   char* copy = strnewdup("name");                      // caller deletes [] it
#pragma once

/// First occurrence of `pattern` in `text`, ignoring case. An empty pattern gives
/// `text` itself; otherwise an empty text gives null.
char* stristr(const char* text, const char* pattern);

/// The same search as stristr.
char* StringInString(const char* text, const char* pattern);

/// Last occurrence of `pattern` in `text`, ignoring case; overlapping occurrences
/// count ("aaa" holds "aa" last at index 1).
char* strristr(const char* text, const char* pattern);

/// A copy of `text` allocated with new[] (null copies as ""); the caller deletes it.
char* strnewdup(const char* text);
