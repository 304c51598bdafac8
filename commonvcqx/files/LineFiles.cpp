// TFile::ReadLines and TFile::WriteLines: text files of lines, read through a mapped
// view.
#include <commonvcqx/files/File.h>

#include <commonvcqx/containers/Array.h>
#include <commonvcqx/containers/FlexList.h>
#include <commonvcqx/containers/StringItem.h>
#include <commonvcqx/files/MemoryMappedFile.h>
#include <commonvcqx/files/internal/FileErrors.h>
#include <commonvcqx/platform/FileFlags.h>

#include <cstring>
#include <memory>
#include <optional>

using namespace cvq::open_flags;

namespace {

using TStringList = TFlexList<TStringItem<TListElement>>;

bool Strips(char c, char trim) {
    return c == '\n' || c == '\r' || (trim && (c == ' ' || c == '\t'));
}

// Calls add(line) for every line of the file; `clear` runs once the file is readable.
template <class Clear, class Add>
void SplitLines(const TFileName& name, char trim, char skipEmpty, Clear&& clear, Add&& add) {
    TFile file(name, kReadAccess | kShareAll);
    std::optional<TMemoryMappedFile> map;
    const char* text = nullptr;
    uint32_t size = 0;
    if (file.GetSize() != 0) {  // an empty file has nothing to map
        map.emplace(file, 1, 0);
        text = static_cast<const char*>(map->GetStart());
        size = map->GetSize();
    }
    clear();
    size_t start = 0;  // wider than any size, so stepping past the end cannot wrap
    while (start < size) {
        const void* feed = std::memchr(text + start, '\n', size - start);
        size_t end = feed ? static_cast<size_t>(static_cast<const char*>(feed) - text) : size;
        size_t first = start, last = end;
        while (first < last && Strips(text[first], trim)) ++first;
        while (last > first && Strips(text[last - 1], trim)) --last;
        auto length = static_cast<uint32_t>(last - first);
        if (length != 0 || !skipEmpty) add(TString(text, 0, static_cast<uint32_t>(first), length));
        start = end + 1;
    }
}

// Writes the lines given by each(visit) at `out`: every line ends in "\r\n", and no
// lines at all still make one line end.
template <class Each>
void PutLines(char* out, Each&& each) {
    char* start = out;
    auto put = [&](const char* data, uint32_t count) {
        std::memcpy(out, data, count);
        out += count;
    };
    each([&](const TString& line) {
        put(line.c_str(), line.GetLength());
        put("\r\n", 2);
    });
    if (out == start) put("\r\n", 2);
}

// A new file is saved whole, so a failure leaves the old one; appending writes the new
// lines after the old contents through a mapping of exactly the final size.
template <class Each>
void JoinLines(const TFileName& name, char append, Each&& each) {
    uint64_t bytes = 0;
    each([&](const TString& line) { bytes += uint64_t{line.GetLength()} + 2; });
    if (bytes == 0) bytes = 2;
    if (!(append && TFile::Exist(name, TFile::kFile))) {
        if (bytes > UINT32_MAX) cvq::detail::ThrowFileError(18003, ERROR_FILE_TOO_LARGE);
        std::unique_ptr<char[]> text(new char[bytes]);
        PutLines(text.get(), each);
        TFile::SaveFile(name, text.get(), static_cast<uint32_t>(bytes));
        return;
    }
    TFile file(name, kReadWrite);
    uint64_t old = static_cast<uint32_t>(file.GetSize());
    if (old + bytes > UINT32_MAX) cvq::detail::ThrowFileError(18003, ERROR_FILE_TOO_LARGE);
    {
        TMemoryMappedFile map(file, 1, static_cast<uint32_t>(old + bytes));
        PutLines(static_cast<char*>(map.GetStart()) + old, each);
    }
    file.Close();
}

}  // namespace

void TFile::ReadLines(const TFileName& name, TStringList& strings, char trim, char skipEmpty) {
    SplitLines(
        name, trim, skipEmpty, [&] { strings.Clear(); },
        [&](const TString& line) { strings.Append(new TStringItem<TListElement>(line)); });
}

void TFile::ReadLines(const TFileName& name, TArray<TString>& strings, char trim, char skipEmpty) {
    SplitLines(
        name, trim, skipEmpty, [&] { strings.Clear(); },
        [&](const TString& line) { strings.Add(line); });
}

void TFile::WriteLines(const TFileName& name, const TStringList& strings, char append) {
    JoinLines(name, append, [&](auto&& visit) {
        for (auto* item = strings.GetFirst(); item; item = strings.GetNext(item))
            visit(item->GetString());
    });
}

void TFile::WriteLines(const TFileName& name, const TArray<TString>& strings, char append) {
    JoinLines(name, append, [&](auto&& visit) {
        for (int32_t i = 0; i < strings.GetCount(); ++i) visit(strings[i]);
    });
}
