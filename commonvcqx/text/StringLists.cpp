// Splitting text into items and joining lines back.
#include <commonvcqx/text/StringFunctions.h>
#include <commonvcqx/text/internal/StringRuns.h>

#include <cstring>
#include <new>

namespace {

// The items as runs of the text, in the order they stand, trimmed of blanks when asked;
// empty ones only with keepEmpty. Items too long for a string throw std::bad_alloc.
template <class TRun>
void ExplodeRuns(const char* text, const char* separators, char trim, char keepEmpty, TRun run) {
    if (!text) return;
    auto emit = [&](const char* start, size_t length) {
        if (trim) {
            while (length && (*start == ' ' || *start == '\t')) ++start, --length;
            while (length && (start[length - 1] == ' ' || start[length - 1] == '\t')) --length;
        }
        if (length + 1 > 0xFFFFFFF0u) throw std::bad_alloc();
        if (length || keepEmpty) run(start, length);
    };
    if (!separators || !*separators) {
        for (const char* p = text; *p;) {
            const size_t length = std::strlen(p);
            emit(p, length);
            p += length + 1;
        }
        return;
    }
    const bool single = !separators[1];
    const char* p = text;
    for (;;) {
        if (!keepEmpty) p += std::strspn(p, separators);
        if (!*p) return;
        const char* start = p;
        if (single) {
            const char* hit = std::strchr(p, separators[0]);
            p = hit ? hit : p + std::strlen(p);
        } else {
            p += std::strcspn(p, separators);
        }
        emit(start, size_t(p - start));
        if (!*p) return;
        ++p;  // the separator
        if (!*p) {
            if (keepEmpty) run(p, 0);
            return;
        }
    }
}

void AddItem(TSubString& item, void* items) {
    static_cast<TArray<TString>*>(items)->Emplace(item);
}

}  // namespace

// The representations of a batch of items come from the string heap together; empty
// items share the empty text.
void ExplodeString(TArray<TString>& items, const char* text, const char* separators, char trim,
                   char keepEmpty) {
    items.Clear();
    constexpr size_t kBatch = 256;
    cvq::detail::TTextRun runs[kBatch];
    size_t n = 0;
    auto flush = [&] {
        cvq::detail::BuildStrings(runs, n, AddItem, &items);
        n = 0;
    };
    ExplodeRuns(text, separators, trim, keepEmpty, [&](const char* start, size_t length) {
        runs[n++] = {start, uint32_t(length)};
        if (n == kBatch) flush();
    });
    flush();
}

void ExplodeString(TFlexList<TStringItem<TListElement>>& items, const char* text,
                   const char* separators, char trim, char keepEmpty) {
    items.Clear();
    ExplodeRuns(text, separators, trim, keepEmpty, [&](const char* start, size_t length) {
        const TString item =
            length ? TString(TSubString::Create(start, uint32_t(length))) : TString();
        items.Append(new TStringItem<TListElement>(item));
    });
}

void TextToStringArray(const TString& text, TArray<TString>& lines) {
    ExplodeString(lines, text.c_str(), "\r\n", 1, 0);
}

TString StringArrayToText(const TArray<TString>& lines) {
    TString text;
    for (const TString& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}
