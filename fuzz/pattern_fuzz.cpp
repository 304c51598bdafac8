// Pattern compile and match on arbitrary pattern and text: no crash, no hang, matches
// inside the text, and the one-pass forward search equals trying each position.
// Input: one flag byte, the pattern, a NUL, the text.
#include <commonvcqx/text/String.h>
#include <commonvcqx/text/StringPattern.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int CheckHit(int, int32_t first, int32_t last, const char* text, void*) {
    int32_t length = int32_t(std::strlen(text));
    if (first < 0 || last >= length || last < first) std::abort();
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 4096) return 0;
    const uint8_t flags = data[0];
    std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t split = rest.find('\0');
    std::string pattern = rest.substr(0, split);
    std::string text = split == std::string::npos ? std::string() : rest.substr(split + 1);
    text = text.c_str();  // up to its first NUL, as the matcher sees it
    const char caseSensitive = flags & 1;

    TStringPattern p;
    if (flags & 2) {
        p.SetAsDos(pattern.c_str(), caseSensitive);
        IsStringMatchedByDosPattern(text.c_str(), pattern.c_str());
        IsStringMatchedByDosPatternNCS(text.c_str(), pattern.c_str());
    } else {
        p.Set(pattern.c_str(), caseSensitive);
    }
    const int32_t length = int32_t(text.size());
    int32_t pos;
    int32_t found = p.Find(&pos, text.c_str(), 0, TStringPattern::kForward, CheckHit, nullptr);
    if (found > 0 && (pos < 0 || pos + found > length)) std::abort();
    if (!p.IsValid() && found != -1) std::abort();
    if (p.IsValid() && length <= 64) {
        int32_t expectPos = -1, expectLength = -1;
        for (int32_t at = 0; at <= length && expectPos < 0; ++at) {
            int32_t l = p.Find(nullptr, text.c_str(), at, TStringPattern::kAnchored);
            if (l > length - at) std::abort();
            if (l > 0) expectPos = at, expectLength = l;
        }
        if (expectPos >= 0 ? (found != expectLength || pos != expectPos) : found > 0) std::abort();
    }
    int32_t start = length ? int32_t(flags >> 2) % (length + 1) : 0;
    p.Find(&pos, text.c_str(), start, TStringPattern::kBackward, CheckHit, nullptr);
    p.Find(&pos, text.c_str(), start, TStringPattern::kAll, CheckHit, nullptr);
    // Every token is a piece of the text, at the place its location names.
    TArray<TString> tokens;
    TArray<TMatchLocation> locations;
    p.Tokenize(TString(text.c_str()), tokens);
    p.Find(nullptr, text.c_str(), 0, TStringPattern::kAll, CB_OnMatchStoreInMatchLocationArray,
           &locations);
    if (tokens.GetCount() != locations.GetCount()) std::abort();
    for (int32_t i = 0; i < tokens.GetCount(); ++i) {
        const TMatchLocation& at = locations[i];
        if (at.first < 0 || at.length <= 0 || at.first + at.length > length ||
            text.compare(size_t(at.first), size_t(at.length), tokens[i].c_str()) != 0)
            std::abort();
    }
    TString replaced(text.c_str());
    int count = p.ReplaceAll(replaced, "<>");
    if (count < 0 || (count == 0 && !(replaced == text.c_str()))) std::abort();
    return 0;
}
