#include <commonvcqx/text/StringFunctions.h>

#include <cctype>
#include <cstring>

namespace {

inline int Upper(char c) {
    return std::toupper(static_cast<unsigned char>(c));
}

}  // namespace

char* stristr(const char* text, const char* pattern) {
    if (!text) return nullptr;
    if (!pattern || !*pattern) return const_cast<char*>(text);
    const int first = Upper(*pattern);
    for (const char* start = text; *start; ++start) {
        if (Upper(*start) != first) continue;
        const char* t = start + 1;
        const char* p = pattern + 1;
        while (*p && Upper(*t) == Upper(*p)) ++t, ++p;
        if (!*p) return const_cast<char*>(start);
        if (!*t) break;  // the rest of the text is shorter than the pattern
    }
    return nullptr;
}

char* StringInString(const char* text, const char* pattern) {
    return stristr(text, pattern);
}

char* strristr(const char* text, const char* pattern) {
    char* last = nullptr;
    for (char* hit = stristr(text, pattern); hit; hit = stristr(hit + 1, pattern)) {
        last = hit;
        if (!*hit) break;  // an empty pattern matches at the NUL: nothing lies beyond
    }
    return last;
}

char* strnewdup(const char* text) {
    if (!text) text = "";
    size_t size = std::strlen(text) + 1;
    char* copy = new char[size];
    std::memcpy(copy, text, size);
    return copy;
}
