// commonvcqx/config/Registry.h
//
// Registry helpers: make sure that keys and values exist with given contents, and read
// values back. The registry is kept in files, one per root key (HKEY_CURRENT_USER and
// the others, each "<root name>.reg") in the configuration text form, in a folder the
// host can set; by default $XDG_CONFIG_HOME/CommonVcQx/registry, else
// ~/.config/CommonVcQx/registry. Subkey paths are split at "\"; key and value names
// match ignoring letter case and keep their first spelling; a null value name is the
// key's default value (the empty name).
//
//   EnsureRegistryString(HKEY_CURRENT_USER, "Software\\Maker\\App", "Path", "/opt/app", 0);
//   char found = 0;
//   TString path = GetRegistryString(HKEY_CURRENT_USER, "Software\\Maker\\App", "Path", &found);
//
// Processes and threads may ensure and read at once: a change holds the root's lock file
// ("<root name>.lock") from its read to the atomic replace of the file, and an Ensure
// that changes nothing writes nothing. A reader sees a whole file, the old or the new.
// A damaged file is read as far as it is sound. Parsed files are kept, keyed by the
// file's stamp (identity, size and times), so repeated reads do not parse again; a change
// always reads the file afresh under the lock, so no write is lost even when a stamp
// cannot tell two versions apart.
//
// ListRegistryKey and ReadRegistryValue look without making anything, for tools and
// settings dialogs.
//
// The Ensure helpers throw an int of value 0 when the key cannot be made or the value
// not be written: an unknown root, a path deeper than 512 keys, a file or folder that
// cannot be written. The Get helpers never throw; a string value longer than 999 bytes
// counts as absent there, as on Windows, while Ensure compares it whole.
#pragma once

#include <commonvcqx/platform/RegistryKeys.h>
#include <commonvcqx/text/String.h>

#include <cstdint>
#include <vector>

/// A value as the registry files hold it, for listing and reading whole.
struct TRegistryValueInfo {
    /// Spelled as first stored; empty for the key's default value.
    TString name;
    /// 1 for a string (REG_SZ), 4 for a 32-bit number (REG_DWORD).
    uint32_t type = 0;
    /// A string's whole text.
    TString text;
    int32_t number = 0;
};

/// Creates the key (and every key on its path) when missing.
void EnsureRegistryKey(HKEY root, const char* subKey);
/// Writes `value` as a string unless the value is a string equal to it (byte-wise with
/// `caseSensitive`, otherwise ignoring letter case).
void EnsureRegistryString(HKEY root, const char* subKey, const char* valueName, const char* value,
                          char caseSensitive);
/// Writes `value` as a 32-bit number unless it is a number of that value.
void EnsureRegistryLong(HKEY root, const char* subKey, const char* valueName, int32_t value);
/// The string value, with `found` set; otherwise empty with `found` 0 (null `found` is
/// allowed). A missing key is made, as opening it for reading does on Windows; a failure
/// to make it is ignored.
TString GetRegistryString(HKEY root, const char* subKey, const char* valueName, char* found);
/// The 32-bit number value, with `found` set; otherwise 0 with `found` 0.
int32_t GetRegistryLong(HKEY root, const char* subKey, const char* valueName, char* found);

/// The names of the key's subkeys and its values, each in name order ignoring letter
/// case; null lists are allowed. Nothing is made: false, with the lists emptied, when
/// the root is unknown, the key does not exist or its file cannot be read. Never throws
/// but for memory.
bool ListRegistryKey(HKEY root, const char* subKey, std::vector<TString>* subKeys,
                     std::vector<TRegistryValueInfo>* values);
/// The value of either type, whole, into *value; false when there is none. Nothing is
/// made and nothing thrown but for memory.
bool ReadRegistryValue(HKEY root, const char* subKey, const char* valueName,
                       TRegistryValueInfo* value);

/// The folder of the registry files: null or empty returns to the default. Kept parsed
/// files are forgotten.
void SetRegistryDirectory(const char* directory);
/// The folder in use (the default resolved); empty when no default can be found.
TString GetRegistryDirectory();
