// commonvcqx/text/StaticStrings.h
//
// The static string table: library and host messages named by 32-bit ids. A host
// registers its own table (one block, entries sorted by id); without one, the
// library's built-in texts (the file error messages 18000-18026 and the damaged
// stream message 18032) answer, and an id found nowhere gives "***".
//
//   const char* text = GetStaticString(18008);    // "Invalid directory name."
//   NotifyStringTable(hostTable);                 // the host's texts from now on
//   TString full = BuildString(18019, "D:");      // text 18019 with D: for %s
#pragma once

#include <commonvcqx/platform/WinTypes.h>

#include <commonvcqx/text/String.h>

#include <cstdint>

/// One entry of a registered table. The block starts with a header entry whose
/// `offset` holds the number n of entries; n entries sorted by ascending id follow,
/// each giving the offset, from the start of the block, of its NUL-terminated text.
struct TStringEntry {
    int32_t id;
    int32_t offset;
};

/// Registers the host's table (null unregisters it). The block must stay valid while
/// registered. Set at start-up, before other threads look strings up.
void NotifyStringTable(const TStringEntry* table);

/// Stores the module handle of the host's localized strings; the library does not read it.
void NotifyLocalizedStringDll(HINSTANCE module);

/// The module handle last given to NotifyLocalizedStringDll, or null.
HINSTANCE GetLocalizedStringDll();

/// The text of `id`. With a registered table: its text, "" when absent. Without one:
/// the built-in text, else the host executable's string resource (a file
/// "<executable>.strings" of "id=text" lines), else "***". The result stays valid
/// while the table is registered.
const char* GetStaticString(int id);

/// `ref` holds a text pointer, or an id (a value not above 0x10000). A pointer is
/// returned as it is; an id is looked up as GetStaticString(int) does and `ref` is
/// overwritten with the text found, so the next call returns it directly.
const char* GetStaticString(const char*& ref);

/// The static string `id` used as a printf format for the further arguments; at most
/// 2047 characters. An empty static string gives an empty result.
TString BuildString(int id, ...);
TString BuildString(const char** ref, ...);
/// The same into the caller's buffer, which must hold the result; an empty static
/// string leaves the buffer untouched. Returns buffer.
char* BuildString(char* buffer, int id, ...);
char* BuildString(char* buffer, const char** ref, ...);

/// Copies the static string into the caller's buffer, which must hold it.
void CopyString(char* buffer, int id);
void CopyString(char* buffer, const char*& ref);
