#include <commonvcqx/text/StaticStrings.h>

#include <commonvcqx/platform/internal/HostStrings.h>
#include <commonvcqx/text/String.h>

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

struct TBuiltInString {
    int32_t id;
    const char* text;
};

// Searched linearly; the order carries no meaning.
// clang-format off
constexpr TBuiltInString kBuiltInStrings[] = {
    {18009, "This file is already in use by an application. It can therefore not be overwritten. Please use another name."},
    {18025, "%s\nThis file could not be accessed. It is already in use by some other application. This application must be finished before the file can be accessed"},
    {18010, "A file with this name already exists. Do you want to make a backup of this file before saving the new one? (In the backup, the first letter in the extension will be changed to a ~)?"},
    {18011, "The backup file could not be created! The whole operation has been canceled and your file has not been saved!"},
    {18000, "%s\nAn error occurred. This file could not be opened."},
    {18001, "An error occurred. The file could not be deleted."},
    {18002, "The program was unable to read properly %s. If this problem persists, please check the integrity of the disk, it might be damaged."},
    {18003, "The program was unable to write properly to this drive/partition. If this problem persists, please check the integrity of the disk, it might be damaged."},
    {18004, "The program was unable to seek properly on this drive/partition. If this problem persists, please check the integrity of the disk, it might be damaged."},
    {18005, "An error occurred. The file could not be resized."},
    {18006, "An error occurred. The file could not be copied."},
    {18018, "An error occurred. The directory could not be created."},
    {18007, "An unknown error occurred. The file could not be moved."},
    {18008, "Invalid directory name."},
    {18013, "The file could not be renamed. Please make sure that the disk is not write protected and that the file is not already open."},
    {18014, "This disk partition could not be accessed. If it is a CD-ROM or a removable disk, make sure the disk is inserted properly."},
    {18015, "The partition could not be given a label. Make sure the disk is not write protected."},
    {18016, "%s\nAn error occurred. This file could not be created."},
    {18017, "An unknown error occurred. The file attributes could not be set."},
    {18019, "There is not enough disk space on partition %s."},
    {18020, "An error occurred. The file could not be uncompressed/copied."},
    {18021, "Unknown file error: Unable to create mapped file."},
    {18026, "File error caused by lack of space in the virtual memory file. Please increase the size of the virtual memory file in the Windows' Control Panel (Virtual Memory settings)."},
    {18023, "It is not possible to increase the database size. The disk is probably full."},
    {18022, "Serious error. It is not possible to increase the database size. You must close the file now!"},
    {18024, "This file is of the wrong type."},
    {18012, "File error"},
    {18032, "The file is damaged or has an unknown format."},
    {0, nullptr},
};
// clang-format on

constexpr const char kNotFound[] = "***";

std::atomic<const TStringEntry*> registeredTable{nullptr};
std::atomic<HINSTANCE> localizedStringDll{nullptr};

const char* FindInTable(const TStringEntry* table, int id) {
    const TStringEntry* entries = table + 1;
    int lo = 0;
    int hi = table[0].offset - 1;
    while (hi >= lo) {
        int mid = (lo + hi) >> 1;
        if (entries[mid].id == id)
            return reinterpret_cast<const char*>(table) + entries[mid].offset;
        if (entries[mid].id <= id)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return "";
}

const char* FindBuiltIn(int id) {
    for (const TBuiltInString* entry = kBuiltInStrings; entry->text; ++entry)
        if (entry->id == id) return entry->text;
    return nullptr;
}

// Ids travel in pointer-sized slots: a value up to 0x10000 is an id, never an address.
constexpr uintptr_t kLargestId = 0x10000;

}  // namespace

void NotifyStringTable(const TStringEntry* table) {
    registeredTable.store(table, std::memory_order_release);
}

void NotifyLocalizedStringDll(HINSTANCE module) {
    localizedStringDll.store(module, std::memory_order_release);
}

HINSTANCE GetLocalizedStringDll() {
    return localizedStringDll.load(std::memory_order_acquire);
}

const char* GetStaticString(int id) {
    if (const TStringEntry* table = registeredTable.load(std::memory_order_acquire))
        return FindInTable(table, id);
    if (const char* text = FindBuiltIn(id)) return text;
    if (const char* text = cvq::platform::FindHostString(id); text && *text) return text;
    return kNotFound;
}

const char* GetStaticString(const char*& ref) {
    if (reinterpret_cast<uintptr_t>(ref) > kLargestId) return ref;
    ref = GetStaticString(static_cast<int>(reinterpret_cast<uintptr_t>(ref)));
    return ref;
}

namespace {

constexpr size_t kBuildBufferSize = 2048;

TString Format(const char* format, va_list args) {
    if (!*format) return TString();
    char buffer[kBuildBufferSize];
    buffer[0] = '\0';
    std::vsnprintf(buffer, sizeof buffer, format, args);
    return TString(buffer);
}

char* FormatInto(char* buffer, const char* format, va_list args) {
    if (*format) std::vsprintf(buffer, format, args);
    return buffer;
}

}  // namespace

TString BuildString(int id, ...) {
    va_list args;
    va_start(args, id);
    TString text = Format(GetStaticString(id), args);
    va_end(args);
    return text;
}

TString BuildString(const char** ref, ...) {
    va_list args;
    va_start(args, ref);
    TString text = Format(GetStaticString(*ref), args);
    va_end(args);
    return text;
}

char* BuildString(char* buffer, int id, ...) {
    va_list args;
    va_start(args, id);
    FormatInto(buffer, GetStaticString(id), args);
    va_end(args);
    return buffer;
}

char* BuildString(char* buffer, const char** ref, ...) {
    va_list args;
    va_start(args, ref);
    FormatInto(buffer, GetStaticString(*ref), args);
    va_end(args);
    return buffer;
}

void CopyString(char* buffer, int id) {
    std::strcpy(buffer, GetStaticString(id));
}

void CopyString(char* buffer, const char*& ref) {
    std::strcpy(buffer, GetStaticString(ref));
}
