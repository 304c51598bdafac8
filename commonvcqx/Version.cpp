#include <commonvcqx/Version.h>

#define CVQ_TEXT(x) #x
#define CVQ_VERSION_TEXT(a, b, c) CVQ_TEXT(a) "." CVQ_TEXT(b) "." CVQ_TEXT(c)

const char* GetCommonLibraryVersion() {
    static_assert(CommonVcQxVersionMajor == CVQ_VERSION_MAJOR &&
                      CommonVcQxVersionMinor == CVQ_VERSION_MINOR &&
                      CommonVcQxVersionPatch == CVQ_VERSION_PATCH,
                  "Version.h and the project version disagree");
    return CVQ_VERSION_TEXT(CVQ_VERSION_MAJOR, CVQ_VERSION_MINOR, CVQ_VERSION_PATCH);
}
