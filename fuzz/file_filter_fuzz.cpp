// The file selector's text rules over arbitrary bytes: the filter text's pairs, the
// patterns handed to a back end, the preselected filter, and the name buffer read
// back (which must never be read past its end). The first byte picks the filter
// index; the rest is the filter text and, whole, the name buffer.
#include <commonvcqx/files/internal/FileSelectorText.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 8192) return 0;
    const int filterIndex = int(int8_t(data[0]));
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

    const auto pairs = cvq::detail::ParseFilterText(text);
    const int preselected = cvq::detail::PreselectedFilter(filterIndex, int(pairs.size()));
    if (preselected < 1 || (!pairs.empty() && preselected > int(pairs.size()))) std::abort();
    for (const cvq::detail::TFilterPair& pair : pairs) {
        if (pair.description.empty() || pair.patterns.empty()) std::abort();
        if (pair.description.find('|') != std::string::npos) std::abort();
        for (const std::string& pattern : cvq::detail::SplitPatterns(pair.patterns)) {
            if (pattern.empty() || pattern.find(';') != std::string::npos) std::abort();
            const std::string backEnd = cvq::detail::BackEndPattern(pattern);
            if (backEnd.size() > pattern.size() * 4) std::abort();
        }
    }

    // A buffer of exactly the input's size, so that a read past it is caught.
    std::unique_ptr<char[]> buffer(new char[size]);
    std::memcpy(buffer.get(), data, size);
    TFlexList<TFileName> files;
    TFileName folder;
    if (cvq::detail::ParseNameBuffer(buffer.get(), size, files, folder) && files.GetCount() < 1)
        std::abort();
    return 0;
}
