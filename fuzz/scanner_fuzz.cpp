// TDirectoryScanner's file types and roots on arbitrary text, against a small model
// written from the rules.
// Input: a type and a name separated by a NUL; the type must match the name exactly
// when the model says so. Then the whole input, each NUL read as "|" and separators as
// "_", is the mask part of a root over a fixed scratch folder: the scan must report
// exactly the files the model picks, in name order, once per matching mask.
#include <commonvcqx/files/DirectoryScanner.h>
#include <commonvcqx/platform/Drives.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Visible files of the scratch folder in the library's name order; ".hidden.wav" and
// the folder "sub.wav" are never reported.
const std::vector<std::string> kFiles = {
    "_", "a.b.c", "a.wav", "Ab", "B.WAV", "drum loop.wav", "noext", "take 1.aif", "x<y"};

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

// The walk, one rule per case.
bool ModelWalk(const std::string& type, size_t t, const std::string& name, size_t n) {
    if (t == type.size()) return n == name.size();
    const char c = type[t];
    if (c == '*') {
        size_t typeDot = type.find('.', t), nameDot = name.find('.', n);
        return ModelWalk(type, typeDot == std::string::npos ? type.size() : typeDot, name,
                         nameDot == std::string::npos ? name.size() : nameDot);
    }
    if (c == '?') return ModelWalk(type, t + 1, name, n < name.size() ? n + 1 : n);
    if (n == name.size()) return c == '.' && ModelWalk(type, t + 1, name, n);
    return Lower(std::string(1, c)) == Lower(std::string(1, name[n])) &&
           ModelWalk(type, t + 1, name, n + 1);
}

bool ModelMatches(const std::string& type, const std::string& name) {
    if (type.empty() || type[0] != '<') return ModelWalk(type, 0, name, 0);
    if (type.size() > 1 && type[1] == '*') return ModelWalk(type.substr(1), 0, name, 0);
    size_t dot = type.find('.');
    std::string text = type.substr(1, dot == std::string::npos ? std::string::npos : dot - 1);
    std::string stem = name.substr(0, name.find('.'));
    if (Lower(stem).find(Lower(text)) == std::string::npos) return false;
    return ModelWalk("*" + (dot == std::string::npos ? std::string() : type.substr(dot)), 0, name,
                     0);
}

std::string TrimmedRight(const std::string& text, const char* set) {
    size_t last = text.find_last_not_of(set);
    return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

// What the scan of `folder\masks` must report, each file once per matching mask. The
// first mask is the end of the folder's piece, so only its right side is trimmed; the
// other pieces are trimmed on both sides and dropped when empty.
std::vector<std::string> ModelScan(const std::string& masks) {
    std::vector<std::string> pieces;
    size_t start = 0;
    for (;;) {
        size_t bar = masks.find('|', start);
        std::string piece = masks.substr(start, bar == std::string::npos ? bar : bar - start);
        piece = TrimmedRight(piece, " \t");
        if (!pieces.empty())
            piece = piece.substr(std::min(piece.size(), piece.find_first_not_of(" \t")));
        if (pieces.empty() || !piece.empty()) pieces.push_back(piece);
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    std::vector<std::string> reported;
    const std::string& mask = pieces[0];
    if (mask.empty()) return reported;
    // One plain name is looked up as itself, without its trailing dots and spaces.
    const bool plainName =
        pieces.size() == 1 && mask.find_first_of("*?") == std::string::npos && mask[0] != '<';
    for (const std::string& file : kFiles) {
        if (plainName && Lower(TrimmedRight(mask, ". ")) != Lower(file)) continue;
        for (const std::string& piece : pieces)
            if (ModelMatches(piece, file)) reported.push_back(file);
    }
    return reported;
}

class TCollector : public TDirectoryScanner {
public:
    char OnFile(const TFileName& name, const WIN32_FIND_DATAA*, uint32_t index) override {
        if (index != m_reported.size()) std::abort();
        m_reported.push_back(TString(name.GetTitle(1)).c_str());
        return 1;
    }
    std::vector<std::string> m_reported;
};

const std::string& ScratchFolder() {
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/cvq_scanner_fuzz_XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        for (const std::string& file : kFiles) std::ofstream(pattern + "/" + file) << "x";
        std::ofstream(pattern + "/.hidden.wav") << "x";
        fs::create_directory(pattern + "/sub.wav");
        static std::string removeAtExit = pattern;
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(removeAtExit, ignored);
        });
        for (size_t i = 1; i < kFiles.size(); ++i)  // the model lists in the scanner's order
            if (CompareFileNames(kFiles[i - 1].c_str(), kFiles[i].c_str()) >= 0) std::abort();
        return FileNameFromNativePath(pattern);
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 256) return 0;
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t split = input.find('\0');
    std::string type = input.substr(0, split);
    std::string name = split == std::string::npos ? std::string() : input.substr(split + 1);
    name = name.substr(0, name.find('\0'));
    if ((TDirectoryScanner::MatchesFileType(type.c_str(), name.c_str()) != 0) !=
        ModelMatches(type, name))
        std::abort();

    std::string masks = input;
    std::replace(masks.begin(), masks.end(), '\0', '|');
    std::replace(masks.begin(), masks.end(), '\\', '_');
    std::replace(masks.begin(), masks.end(), '/', '_');
    TCollector scanner;
    scanner.Reset(TFileName((ScratchFolder() + "\\" + masks).c_str()), nullptr, 0, 0);
    scanner.Run();
    if (scanner.m_reported != ModelScan(masks)) std::abort();
    return 0;
}
