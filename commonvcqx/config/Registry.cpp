// The registry helpers over one text file per root key. Reads go through a cache of
// parsed files checked against the file's stamp; a change takes the root's lock file,
// reads the file afresh (reusing the parsed tree when the bytes are those parsed last),
// and replaces the file only when the tree changed.
#include <commonvcqx/base/Mutex.h>
#include <commonvcqx/config/Registry.h>
#include <commonvcqx/config/internal/RegistryTree.h>
#include <commonvcqx/platform/internal/Files.h>
#include <commonvcqx/platform/internal/StoreFiles.h>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace pf = cvq::platform;
using cvq::registry::TRegistryKey;
using cvq::registry::TRegistryValue;

constexpr std::array<const char*, 7> kRootNames = {
    "HKEY_CLASSES_ROOT",     "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE", "HKEY_USERS",
    "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};

// As on Windows, longer string values do not fit the helpers' buffer.
constexpr size_t kLongestReadText = 999;

struct TRootFile {
    bool valid = false;
    std::string path;
    pf::TFileStamp stamp;  // of the file parsed; size -1 for a missing file
    std::string text;
    std::shared_ptr<const TRegistryKey> tree;
};

struct TStore {
    cvq::TMutex lock;
    std::string directory CVQ_GUARDED_BY(lock);  // set by the host; empty for the default
    std::array<TRootFile, kRootNames.size()> roots CVQ_GUARDED_BY(lock);
};

TStore& Store() {
    static TStore* store = new TStore;  // used by static destructors of other modules
    return *store;
}

int RootIndex(HKEY root) noexcept {
    const auto bits = reinterpret_cast<uintptr_t>(root);
    const uint64_t high = uint64_t(bits) >> 32;
    if (high != 0 && high != 0xFFFFFFFFu) return -1;
    const uint32_t offset = uint32_t(bits) - 0x80000000u;
    return offset < kRootNames.size() ? int(offset) : -1;
}

std::string Directory(const TStore& store) CVQ_REQUIRES(store.lock) {
    if (!store.directory.empty()) return store.directory;
    std::string base;
    if (!pf::GetUserConfigDirectory(base)) return {};
    return base + "/CommonVcQx/registry";
}

char Separator(const std::string& directory) {
    return directory[0] != '/' && directory.find('\\') != std::string::npos ? '\\' : '/';
}

std::string RootPath(const std::string& directory, int root, const char* extension) {
    return directory + Separator(directory) + kRootNames[size_t(root)] + extension;
}

bool MakeDirectories(const std::string& directory) {
    DWORD error = 0;
    for (size_t at = 1; at <= directory.size(); ++at) {
        if (at == directory.size() || directory[at] == '/' || directory[at] == '\\')
            pf::CreateDirectory(directory.substr(0, at), error);  // most exist already
    }
    const int32_t attributes = pf::GetFileAttributes(directory, error);
    return attributes >= 0 && (attributes & 0x10);
}

const TRegistryKey* FindPath(const TRegistryKey* key, const std::vector<std::string_view>& parts) {
    for (std::string_view part : parts) {
        if (!key) break;
        key = key->FindKey(part);
    }
    return key;
}

// Reads and parses when the file is not the one parsed last. False when the file
// exists but cannot be read. Under the store's lock.
bool Refresh(TRootFile& file, const std::string& path, bool checkBytes) {
    const bool same = file.valid && file.path == path;
    DWORD error = 0;
    if (!checkBytes) {
        pf::TFileStamp stamp;
        if (!pf::GetFileStamp(path, stamp, error)) stamp = pf::TFileStamp();
        if (same && stamp == file.stamp) return true;
    }
    std::string text;
    pf::TFileStamp stamp;
    if (!pf::ReadWholeFile(path, text, stamp, error)) {
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            file.valid = false;
            return false;
        }
        text.clear();
        stamp = pf::TFileStamp();
    }
    if (same && text == file.text) {
        file.stamp = stamp;
        return true;
    }
    file.tree = cvq::registry::ReadRegistryText(text);
    file.text = std::move(text);
    file.stamp = stamp;
    file.path = path;
    file.valid = true;
    return true;
}

// The current tree of a root for reading; null when it cannot be had.
std::shared_ptr<const TRegistryKey> CurrentTree(int root) {
    TStore& store = Store();
    cvq::TMutexGuard guard(store.lock);
    const std::string directory = Directory(store);
    if (directory.empty()) return nullptr;
    TRootFile& file = store.roots[size_t(root)];
    if (!Refresh(file, RootPath(directory, root, ".reg"), false)) return nullptr;
    return file.tree;
}

class TLockFile {
public:
    explicit TLockFile(const std::string& name) {
        DWORD error = 0;
        m_handle = pf::OpenLockedFile(name, error);
    }
    ~TLockFile() {
        DWORD error = 0;
        if (m_handle) pf::CloseFile(m_handle, error);
    }
    TLockFile(const TLockFile&) = delete;
    TLockFile& operator=(const TLockFile&) = delete;
    bool Held() const noexcept { return m_handle != nullptr; }

private:
    pf::FileHandle* m_handle;
};

// A read-modify-write of one root: `apply` changes a copy of the tree and tells whether
// it changed anything; `needed` tells from the tree as it is whether to try. Throws 0.
template <class Needed, class Apply>
void Modify(HKEY rootKey, const Needed& needed, const Apply& apply) {
    const int root = RootIndex(rootKey);
    if (root < 0) throw 0;
    TStore& store = Store();
    std::string directory;
    {
        cvq::TMutexGuard guard(store.lock);
        directory = Directory(store);
    }
    if (directory.empty() || !MakeDirectories(directory)) throw 0;
    TLockFile lock(RootPath(directory, root, ".lock"));
    if (!lock.Held()) throw 0;
    cvq::TMutexGuard guard(store.lock);
    TRootFile& file = store.roots[size_t(root)];
    const std::string path = RootPath(directory, root, ".reg");
    if (!Refresh(file, path, true)) throw 0;
    if (!needed(*file.tree)) return;
    auto changed = std::make_shared<TRegistryKey>(*file.tree);
    if (!apply(*changed)) return;
    std::string text = cvq::registry::WriteRegistryText(*changed, kRootNames[size_t(root)]);
    DWORD error = 0;
    pf::EReplaceStage stage = pf::EReplaceStage::None;
    if (!pf::ReplaceFileContents(path, text.data(), text.size(), error, stage)) {
        file.valid = false;
        throw 0;
    }
    file.tree = std::move(changed);
    file.text = std::move(text);
    if (!pf::GetFileStamp(path, file.stamp, error)) file.valid = false;
}

std::vector<std::string_view> Parts(const char* subKey) {
    std::vector<std::string_view> parts = cvq::registry::SplitKeyPath(subKey);
    if (parts.size() > size_t(cvq::registry::kMaxKeyDepth)) throw 0;
    return parts;
}

TRegistryKey& MakePath(TRegistryKey& root, const std::vector<std::string_view>& parts) {
    TRegistryKey* key = &root;
    for (std::string_view part : parts) key = &key->EnsureKey(part);
    return *key;
}

void EnsureValue(HKEY root, const char* subKey, const TRegistryValue& value, char caseSensitive) {
    const std::vector<std::string_view> parts = Parts(subKey);
    Modify(
        root,
        [&](const TRegistryKey& tree) {
            const TRegistryKey* key = FindPath(&tree, parts);
            const TRegistryValue* stored = key ? key->FindValue(value.name) : nullptr;
            if (!stored || stored->type != value.type) return true;
            if (value.type == cvq::registry::kDwordType) return stored->number != value.number;
            return caseSensitive ? stored->text != value.text
                                 : !cvq::registry::EqualIgnoringCase(stored->text, value.text);
        },
        [&](TRegistryKey& tree) { return MakePath(tree, parts).SetValue(value); });
}

// The key of a root's current tree, or null; nothing is made.
const TRegistryKey* FindExisting(HKEY root, const char* subKey,
                                 std::shared_ptr<const TRegistryKey>& tree) {
    const int index = RootIndex(root);
    if (index < 0) return nullptr;
    const std::vector<std::string_view> parts = cvq::registry::SplitKeyPath(subKey);
    tree = CurrentTree(index);
    return tree ? FindPath(tree.get(), parts) : nullptr;
}

// The value asked for, or null; a missing key is made, as opening it for reading does on
// Windows. Never throws.
const TRegistryValue* Lookup(HKEY root, const char* subKey, const char* valueName,
                             std::shared_ptr<const TRegistryKey>& tree) noexcept {
    try {
        if (RootIndex(root) < 0) return nullptr;
        const TRegistryKey* key = FindExisting(root, subKey, tree);
        if (!key) {
            EnsureRegistryKey(root, subKey);
            return nullptr;
        }
        return key->FindValue(valueName ? valueName : "");
    } catch (...) {
        return nullptr;
    }
}

TString StringOf(const std::string& text) {
    return TString(text.c_str(), 0, 0, uint32_t(text.size()));
}

TRegistryValueInfo InfoOf(const TRegistryValue& value) {
    TRegistryValueInfo info;
    info.name = StringOf(value.name);
    info.type = value.type;
    info.text = StringOf(value.text);
    info.number = value.number;
    return info;
}

}  // namespace

bool ListRegistryKey(HKEY root, const char* subKey, std::vector<TString>* subKeys,
                     std::vector<TRegistryValueInfo>* values) {
    if (subKeys) subKeys->clear();
    if (values) values->clear();
    std::shared_ptr<const TRegistryKey> tree;
    const TRegistryKey* key = FindExisting(root, subKey, tree);
    if (!key) return false;
    if (subKeys)
        for (const auto& [folded, child] : key->Keys()) subKeys->push_back(StringOf(child->Name()));
    if (values)
        for (const auto& [folded, value] : key->Values()) values->push_back(InfoOf(value));
    return true;
}

bool ReadRegistryValue(HKEY root, const char* subKey, const char* valueName,
                       TRegistryValueInfo* value) {
    std::shared_ptr<const TRegistryKey> tree;
    const TRegistryKey* key = FindExisting(root, subKey, tree);
    const TRegistryValue* found = key ? key->FindValue(valueName ? valueName : "") : nullptr;
    if (!found) return false;
    if (value) *value = InfoOf(*found);
    return true;
}

void EnsureRegistryKey(HKEY root, const char* subKey) {
    const std::vector<std::string_view> parts = Parts(subKey);
    Modify(
        root, [&](const TRegistryKey& tree) { return FindPath(&tree, parts) == nullptr; },
        [&](TRegistryKey& tree) {
            MakePath(tree, parts);
            return true;
        });
}

void EnsureRegistryString(HKEY root, const char* subKey, const char* valueName, const char* value,
                          char caseSensitive) {
    TRegistryValue wanted;
    wanted.name = valueName ? valueName : "";
    wanted.type = cvq::registry::kStringType;
    wanted.text = value ? value : "";
    EnsureValue(root, subKey, wanted, caseSensitive);
}

void EnsureRegistryLong(HKEY root, const char* subKey, const char* valueName, int32_t value) {
    TRegistryValue wanted;
    wanted.name = valueName ? valueName : "";
    wanted.type = cvq::registry::kDwordType;
    wanted.number = value;
    EnsureValue(root, subKey, wanted, 1);
}

TString GetRegistryString(HKEY root, const char* subKey, const char* valueName, char* found) {
    if (found) *found = 0;
    std::shared_ptr<const TRegistryKey> tree;
    const TRegistryValue* value = Lookup(root, subKey, valueName, tree);
    if (!value || value->type != cvq::registry::kStringType ||
        value->text.size() > kLongestReadText)
        return TString();
    try {
        TString text(value->text.c_str());
        if (found) *found = 1;
        return text;
    } catch (...) {
        return TString();
    }
}

int32_t GetRegistryLong(HKEY root, const char* subKey, const char* valueName, char* found) {
    if (found) *found = 0;
    std::shared_ptr<const TRegistryKey> tree;
    const TRegistryValue* value = Lookup(root, subKey, valueName, tree);
    if (!value || value->type != cvq::registry::kDwordType) return 0;
    if (found) *found = 1;
    return value->number;
}

void SetRegistryDirectory(const char* directory) {
    TStore& store = Store();
    cvq::TMutexGuard guard(store.lock);
    store.directory = directory ? directory : "";
    // Swapped out rather than assigned over: an assigned string keeps its buffer, and
    // a forgotten file's text would stay in memory.
    for (TRootFile& file : store.roots) {
        TRootFile forgotten;
        std::swap(file, forgotten);
    }
}

TString GetRegistryDirectory() {
    TStore& store = Store();
    cvq::TMutexGuard guard(store.lock);
    return TString(Directory(store).c_str());
}
