#include <commonvcqx/text/StringFunctions.h>

#include <commonvcqx/text/String.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

namespace {

inline int Upper(char c) {
    return std::toupper(static_cast<unsigned char>(c));
}

inline bool InSet(const char* set, char c) {
    return c != '\0' && std::strchr(set, c) != nullptr;
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

unsigned FindNumOccurences(const char* pattern, const char* text, int textLength) {
    if (!pattern || !*pattern || !text) return 0;
    const std::string_view haystack(text, textLength < 0 ? std::strlen(text) : size_t(textLength));
    const std::string_view needle(pattern);
    unsigned count = 0;
    for (size_t at = haystack.find(needle); at != std::string_view::npos;
         at = haystack.find(needle, at + needle.size()))
        ++count;
    return count;
}

int CountSubStrings(const char* text, const char* pattern) {
    if (!text || !pattern || !*pattern) return 0;
    const size_t step = std::strlen(pattern);
    int count = 0;
    for (const char* hit = std::strstr(text, pattern); hit; hit = std::strstr(hit + step, pattern))
        ++count;
    return count;
}

int CountChar(const char* text, char c) {
    int count = 0;
    if (text)
        for (; *text; ++text) count += *text == c;
    return count;
}

char AreEqual(const char* a, const char* b, char caseSensitive) {
    return Compare(a, b, caseSensitive) == 0;
}

int Compare(const char* a, const char* b, char caseSensitive) {
    const auto* x = reinterpret_cast<const unsigned char*>(a);
    const auto* y = reinterpret_cast<const unsigned char*>(b);
    if (caseSensitive) {
        while (*x && *x == *y) ++x, ++y;
        return *x < *y ? -1 : *x > *y ? 1 : 0;
    }
    int lx, ly;
    do {
        lx = std::tolower(*x++);
        ly = std::tolower(*y++);
    } while (lx && lx == ly);
    return lx - ly;
}

char* strnewdup(const char* text) {
    if (!text) text = "";
    size_t size = std::strlen(text) + 1;
    char* copy = new char[size];
    std::memcpy(copy, text, size);
    return copy;
}

char* strcpy_n(char* dst, const char* src, uint32_t size) {
    if (size == 0) return dst;
    const void* nul = std::memchr(src, 0, size - 1);
    const size_t length = nul ? size_t(static_cast<const char*>(nul) - src) : size - 1;
    std::memcpy(dst, src, length);
    dst[length] = '\0';
    return dst;
}

void CopyMax(char* dst, const char* src, uint32_t size) {
    strcpy_n(dst, src, size);
}

void MakeString(char* dst, uint32_t dstSize, const char* src, uint32_t srcLength) {
    if (dstSize == 0) return;
    const uint32_t length = srcLength < dstSize - 1 ? srcLength : dstSize - 1;
    std::memmove(dst, src, length);
    dst[length] = '\0';
}

char* strcpyEx(char* dst, const char* src) {
    const size_t length = std::strlen(src);
    std::memmove(dst, src, length + 1);
    return dst + length;
}

char* strcatEx(char* dst, const char* src) {
    return strcpyEx(dst + std::strlen(dst), src);
}

TString RootSuffixExt(const char* root, const char* suffix, const char* extension) {
    TString name(root);
    if (suffix) name += suffix;
    if (extension) {
        name += '.';
        name += extension;
    }
    return name;
}

int32_t Trim(TString& text) {
    return int32_t(text.Trim().GetLength());
}

int32_t TrimStart(TString& text) {
    return int32_t(text.TrimLeft().GetLength());
}

int32_t TrimEnd(TString& text) {
    return int32_t(text.TrimRight().GetLength());
}

int ReplaceChar(char* text, char from, char to) {
    int count = 0;
    if (!text || from == '\0') return 0;
    for (char* p = std::strchr(text, from); p; p = std::strchr(p + 1, from)) {
        *p = to;
        ++count;
    }
    return count;
}

int ReplaceChar(TString& text, char from, char to) {
    const uint32_t length = text.GetLength();
    const char* found = static_cast<const char*>(std::memchr(text.c_str(), from, length));
    if (!found) return 0;
    if (from == to) return int(std::count(found, text.c_str() + length, from));
    const uint32_t first = uint32_t(found - text.c_str());
    char* p = text.Buffer();
    int count = 0;
    for (uint32_t i = first; i < length; ++i)
        if (p[i] == from) p[i] = to, ++count;
    return count;
}

int ReplaceChars(char* text, const char* set, char to) {
    int count = 0;
    for (; set && *set; ++set) count += ReplaceChar(text, *set, to);
    return count;
}

int ReplaceChars(TString& text, const char* set, char to) {
    int count = 0;
    for (; set && *set && !text.IsEmpty(); ++set) count += ReplaceChar(text, *set, to);
    return count;
}

void CutChar(TString& text, char c) {
    const uint32_t length = text.GetLength();
    const char* found = static_cast<const char*>(std::memchr(text.c_str(), c, length));
    if (!found) return;
    const uint32_t first = uint32_t(found - text.c_str());
    char* p = text.Buffer();
    uint32_t out = first;
    for (uint32_t i = first; i < length; ++i)
        if (p[i] != c) p[out++] = p[i];
    text.SetEnd(out);
}

void CutChar(TString& text, const char* set) {
    for (; set && *set; ++set) CutChar(text, *set);
}

void Inverse(char* text) {
    if (!text) return;
    char* end = text + std::strlen(text);
    while (text < end) {
        const char c = *--end;
        *end = *text;
        *text++ = c;
    }
}

void Inverse(TString& text) {
    if (text.GetLength() < 2) return;
    char* p = text.Buffer();
    char* end = p + text.GetLength();
    while (p < end) {
        const char c = *--end;
        *end = *p;
        *p++ = c;
    }
}

const char* FindTrimmedSubString(const char* text, int* length, const char* set, int sides) {
    return FindTrimmedSubString(text, int(std::strlen(text)), length, set, sides);
}

const char* FindTrimmedSubString(const char* text, int textLength, int* length, const char* set,
                                 int sides) {
    const char* start = text;
    const char* end = text + (textLength > 0 ? textLength : 0);
    if (sides & 1)
        while (start < end && InSet(set, *start)) ++start;
    if (sides & 2)
        while (end > start && InSet(set, end[-1])) --end;
    if (length) *length = int(end - start);
    return start;
}

uint32_t GetHashValue(const TString& text) {
    uint32_t h = 0;
    const char* p = text.c_str();
    for (uint32_t i = 0, n = text.GetLength(); i < n; ++i)
        h = (h << 2) ^ uint32_t(int32_t(static_cast<signed char>(p[i])));
    return h;
}

uint32_t GetHashValue(const char* bytes, int32_t count, uint32_t modulus) {
    uint32_t h = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    for (int32_t i = 0; i < count; ++i) {
        h = (h << 4) + p[i];
        const uint32_t g = h & 0xF0000000u;
        if (g) h ^= g >> 24;
        h &= ~g;
    }
    return modulus ? h % modulus : h;
}
