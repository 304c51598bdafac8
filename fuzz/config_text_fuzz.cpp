// TConfig over arbitrary bytes: the first byte picks the mode (bits 0-2), the rest is
// read as configuration text. The tree is written and read again twice: without the
// sorted modes the second written text must read back to itself. Every value is then read
// with every overload and as binary into a buffer of exactly the size asked for, so
// a write past it is caught. Reading with the problem report must build the same tree
// and name a line of the text. The same bytes are also taken as a path list and as a
// MoveDown path. The only failure allowed is the library exception of refused or too
// deeply nested text.
#include <commonvcqx/config/Config.h>
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/memory/Heap.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string Written(TConfig& config) {
    unsigned size = 0;
    char* block = config.GetAsBlock(&size);
    std::string text(block, size);
    NH_Heap::FreeMem(block);
    return text;
}

void ReadBack(TConfig& config, const std::string& text) {
    // A block of exactly its size, so that a read past it is caught.
    std::unique_ptr<char[]> block(new char[text.size() ? text.size() : 1]);
    std::memcpy(block.get(), text.data(), text.size());
    config.BuildFromTextBlock(block.get(), unsigned(text.size()));
}

void ReadEveryValue(TConfig& config) {
    config.ForEachKey(
        config.GetRoot(),
        [](TConfigKey& key, void* data) {
            if (key.IsGroup()) return;
            auto* tree = static_cast<TConfig*>(data);
            tree->MoveTo(key.GetParent());
            const char* name = key.GetName().c_str();
            tree->GetValue(char(0), name, 0);
            tree->GetValue(short(0), name, 0);
            tree->GetValue(0, name, 0);
            tree->GetValue(0u, name, 0);
            tree->GetValue(0.0f, name, 0);
            tree->GetValue(0.0, name, 0);
            tree->GetValue("", name, 0);
            tree->GetSure(5, 0, 10, name, 0);
            const int size = tree->GetBinarySize(name, 0);
            if (size < 0) std::abort();
            for (int length : {size, size / 2, 3}) {
                std::unique_ptr<unsigned char[]> buffer(new unsigned char[length ? length : 1]);
                const int made = tree->GetBinary(buffer.get(), nullptr, length, name, 0);
                if (made < 0 || made > length) std::abort();
            }
        },
        &config);
    config.MoveToRoot();
}

// Reading with the problem report builds the same tree, and names a line of the text.
void CheckProblemReport(TConfig::EMode mode, const std::string& text, const TConfig& plain) {
    std::unique_ptr<char[]> block(new char[text.size() ? text.size() : 1]);
    std::memcpy(block.get(), text.data(), text.size());
    TConfig checked("", mode);
    TConfig::TTextProblem problem;
    checked.BuildFromTextBlock(block.get(), unsigned(text.size()), &problem);  // as plain did
    if (!(checked == plain)) std::abort();
    const int32_t lines = 1 + int32_t(std::count(text.begin(), text.end(), '\n') +
                                      std::count(text.begin(), text.end(), '\r') +
                                      std::count(text.begin(), text.end(), '\0'));
    if (problem.line < 0 || problem.line > lines) std::abort();
    if ((problem.line == 0) != problem.reason.IsEmpty()) std::abort();
}

void FuzzText(TConfig::EMode mode, const std::string& text) {
    TConfig config("", mode);
    try {
        ReadBack(config, text);
    } catch (const TException&) {
        return;  // nested too deeply: nothing loaded
    }
    CheckProblemReport(mode, text, config);
    if (config.GetNumKeys() < 0) std::abort();
    // Blanks at the end of a name with an empty value do not survive the text, so
    // the text is stable from its second writing on.
    const std::string first = Written(config);
    TConfig second("", mode);
    ReadBack(second, first);
    const std::string secondText = Written(second);
    TConfig again("", mode);
    ReadBack(again, secondText);
    if (!(mode & (TConfig::kSorted | TConfig::kSortedGroupsFirst))) {
        if (Written(again) != secondText || !(again == second)) std::abort();
    }
    ReadEveryValue(again);
    TConfig copy(again);
    if (!(copy == again)) std::abort();
}

void FuzzPathList(TConfig::EMode mode, const std::string& text) {
    TConfig::TStringList lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.Append(new TStringItem<TListElement>(text.substr(start, end - start).c_str()));
        start = end + 1;
    }
    TConfig config("P", mode);
    try {
        config.BuildFromPathList(lines);
    } catch (const TException&) {
        return;  // a name the text form cannot carry
    }
    TConfig::TStringList flat;
    config.GetAsPathList(flat);
    TConfig rebuilt("P", mode);
    rebuilt.BuildFromPathList(flat);
    TConfig::TStringList again;
    rebuilt.GetAsPathList(again);
    if (again.GetCount() != flat.GetCount()) std::abort();
}

void FuzzPath(TConfig::EMode mode, const std::string& text) {
    const std::string path(text.c_str());  // up to the first NUL
    TConfig config("P", TConfig::EMode(mode & ~TConfig::kAlwaysNewGroup));
    try {
        TConfigKey* first = config.MoveDown(path.c_str(), 3);
        if (!first || !first->IsGroup()) std::abort();
        config.MoveToRoot();
        if (config.MoveDown(path.c_str(), 3) != first) std::abort();
    } catch (const TException&) {
        // A part the text form cannot carry.
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 8192) return 0;
    const auto mode = TConfig::EMode(data[0] & 7);
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    FuzzText(mode, text);
    FuzzPathList(mode, text);
    FuzzPath(mode, text);
    return 0;
}
