// Splitting text into items and joining lines back.
#include <commonvcqx/text/StringFunctions.h>

#include <cstring>

namespace {

// Calls add(item) for each item of text in the order they stand.
template <class TAdd>
void Explode(const char* text, const char* separators, char trim, char keepEmpty, TAdd add) {
    if (!text) return;
    auto emit = [&](const char* start, size_t length) {
        TString item(TSubString::Create(start, uint32_t(length)));
        if (trim) item.Trim();
        if (!item.IsEmpty() || keepEmpty) add(item);
    };
    if (!separators || !*separators) {
        // NUL-separated items, the list ended by an empty one.
        for (const char* p = text; *p;) {
            const size_t length = std::strlen(p);
            emit(p, length);
            p += length + 1;
        }
        return;
    }
    const char* p = text;
    for (;;) {
        if (!keepEmpty)
            while (*p && std::strchr(separators, *p)) ++p;
        if (!*p) return;
        const char* start = p;
        while (*p && !std::strchr(separators, *p)) ++p;
        emit(start, size_t(p - start));
        if (!*p) return;
        ++p;  // the separator
        if (!*p) {
            if (keepEmpty) add(TString());
            return;
        }
    }
}

}  // namespace

void ExplodeString(TArray<TString>& items, const char* text, const char* separators, char trim,
                   char keepEmpty) {
    items.Clear();
    Explode(text, separators, trim, keepEmpty, [&](const TString& item) { items.Add(item); });
}

void ExplodeString(TFlexList<TStringItem<TListElement>>& items, const char* text,
                   const char* separators, char trim, char keepEmpty) {
    items.Clear();
    Explode(text, separators, trim, keepEmpty,
            [&](const TString& item) { items.Append(new TStringItem<TListElement>(item)); });
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
