// Library file names <-> native paths on arbitrary text: no crash, and a translated
// drive name always lands under its drive's root.
#include <commonvcqx/platform/Drives.h>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool mapped = MapDrive('D', "/mnt/data");
    (void)mapped;
    std::string_view name(reinterpret_cast<const char*>(data), size);
    std::string native;
    if (NativePathFromFileName(name, native) && size >= 2 && name[1] == ':' &&
        (name[0] == 'D' || name[0] == 'd') && !native.starts_with("/mnt/data"))
        std::abort();
    std::string back = FileNameFromNativePath(name);
    if (name.starts_with('/') && !NativePathFromFileName(back, native)) std::abort();
    return 0;
}
