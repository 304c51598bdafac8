// commonvcqx/files/FileName.cpp
#include <commonvcqx/files/FileName.h>
#include <commonvcqx/files/internal/FileFolders.h>
#include <commonvcqx/platform/internal/ExecutableFile.h>
#include <commonvcqx/text/StringFunctions.h>

#include <cstdint>
#include <string>

namespace {

// Sort weights of single bytes: equal weights only for the two cases of a letter.
struct TCollation {
    uint16_t weight[256];
};

constexpr TCollation MakeCollation() {
    TCollation c{};
    uint16_t next = 0;
    c.weight[0] = next++;
    for (int b = 1; b < 0x20; ++b) c.weight[b] = next++;
    for (const char* p = "'- !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>"; *p; ++p)
        c.weight[static_cast<unsigned char>(*p)] = next++;
    for (int b = '0'; b <= '9'; ++b) c.weight[b] = next++;
    for (int b = 'a'; b <= 'z'; ++b) {
        c.weight[b] = next;
        c.weight[b - 'a' + 'A'] = next++;
    }
    for (int b = 0x7F; b < 0x100; ++b) c.weight[b] = next++;
    return c;
}

constexpr TCollation kCollation = MakeCollation();

// Every byte has a weight, and only letters share one.
constexpr bool CollationIsComplete() {
    for (int b = 1; b < 0x100; ++b) {
        if (kCollation.weight[b] == 0) return false;
        for (int o = b + 1; o < 0x100; ++o) {
            bool caseTwins = (b >= 'A' && b <= 'Z' && o == b + 32);
            if ((kCollation.weight[b] == kCollation.weight[o]) != caseTwins) return false;
        }
    }
    return true;
}
static_assert(CollationIsComplete());

// Joins a name to a directory that no drive maps, which stays a native path.
TFileName JoinNative(TFileName directory, const TString& name) {
    TString tail(name);
    for (uint32_t i = 0; i < tail.GetLength(); ++i)
        if (tail[int(i)] == '\\') tail.Buffer()[i] = '/';
    if (directory.GetLastChar() != '/') directory.Append('/');
    directory.Append(tail.GetFirstChar() == '/' ? tail.c_str() + 1 : tail.c_str());
    return directory;
}

}  // namespace

int CompareFileNames(const char* a, const char* b) noexcept {
    if (!a) a = "";
    if (!b) b = "";
    const auto* x = reinterpret_cast<const unsigned char*>(a);
    const auto* y = reinterpret_cast<const unsigned char*>(b);
    for (;; ++x, ++y) {
        const uint16_t wx = kCollation.weight[*x];
        const uint16_t wy = kCollation.weight[*y];
        if (wx != wy) return wx < wy ? -1 : 1;
        if (*x == 0) return 0;
    }
}

TFileName::TFileName(const TString& directory, const TString& name) : TString(directory) {
    AppendTitleAndMakeFullFileName(name);
}

TFileName::TFileName(const TString& directory, const char* name) : TString(directory) {
    AppendTitleAndMakeFullFileName(TString(name));
}

TFileName::TFileName(const char* directory, const TString& name) : TString(directory) {
    AppendTitleAndMakeFullFileName(name);
}

TFileName::TFileName(const char* directory, const char* name) : TString(directory) {
    AppendTitleAndMakeFullFileName(TString(name));
}

TFileName::~TFileName() = default;

int TFileName::Compare(const TObject& other, int) const {
    const auto* text = dynamic_cast<const TString*>(&other);
    return text ? CompareFileNames(c_str(), text->c_str()) : -1;
}

TObject* TFileName::CreateClone(void*) const {
    return new TFileName(*this);
}

TFileName cvq::detail::FolderOfFile(const std::string& file) {
    TFileName name(TSubString::Create(file.data(), uint32_t(file.size())));
    if (name.ContainsDrive() || name.ContainsPath()) return TFileName(name.GetPath());
    // A native path: its directory ends at the last slash ("/" itself for the root).
    const size_t slash = file.rfind('/');
    if (slash == std::string::npos) return TFileName();
    return TFileName(TSubString::Create(file.data(), uint32_t(slash == 0 ? 1 : slash)));
}

TFileName TFileName::GetApplicationPath() {
    return cvq::detail::FolderOfFile(cvq::platform::ExecutableFileName());
}

TFileName TFileName::CreateApplicationRelative(const TString& name) {
    if (name.ContainsDrive()) return TFileName(name);
    TFileName result = GetApplicationPath();
    if (!result.ContainsDrive() && result.GetFirstChar() == '/') return JoinNative(result, name);
    result.AppendTitleAndMakeFullFileName(name);
    return result;
}

TFileName TFileName::CreateApplicationRelative(const char* name) {
    return CreateApplicationRelative(TString(name));
}

TFileName TFileName::CreateApplicationRelative(const char* root, const char* suffix,
                                               const char* extension) {
    return CreateApplicationRelative(RootSuffixExt(root, suffix, extension));
}
