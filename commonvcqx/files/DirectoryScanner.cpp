// commonvcqx/files/DirectoryScanner.cpp
//
// One root's folders are walked with an explicit stack in the order a recursive scan
// gives (a folder's own entries, then each subfolder's tree in name order), and a set
// of the folders seen, so neither a deep tree nor a link loop can exhaust anything.
#include <commonvcqx/files/DirectoryScanner.h>

#include <commonvcqx/containers/Array.h>
#include <commonvcqx/memory/AllocatorHooks.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/internal/FindFiles.h>
#include <commonvcqx/text/StringFunctions.h>

#include <cstring>
#include <memory>
#include <new>
#include <set>
#include <utility>
#include <vector>

namespace pf = cvq::platform;

namespace {

struct TSearchCloser {
    void operator()(pf::TFindHandle* find) const noexcept { pf::FindClose(find); }
};
using TSearch = std::unique_ptr<pf::TFindHandle, TSearchCloser>;

// Lists `folder` with the system pattern in the library's file-name order.
TSearch OpenSearch(const TFileName& prefix, const char* pattern, WIN32_FIND_DATAA& entry) {
    TString search(prefix);
    search.Append(pattern);
    DWORD error = 0;
    TSearch found(pf::FindFirstFile(search.c_str(), &CompareFileNames, entry, error));
    // A folder that cannot be read is skipped; short memory says nothing of the folder
    // and must not make a scan come back short without a word.
    if (!found && error == ERROR_NOT_ENOUGH_MEMORY) {
        ExecuteStandardNewHandler();
        throw std::bad_alloc();
    }
    return found;
}

// `folder` with one backslash at the end, to which entry names are appended.
TFileName Prefix(const TFileName& folder) {
    TFileName prefix(folder);
    prefix.EnsureOneSlashAtTheEnd();
    return prefix;
}

bool IsFolder(const WIN32_FIND_DATAA& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// A type walked over a name: "*" moves both to their next dot, "?" takes one
// character when one is left, and a dot of the type may stand for the name's end.
bool Walk(const char* type, const char* name) {
    for (;;) {
        if (*type == '\0') return *name == '\0';
        if (*type == '*') {
            while (*type && *type != '.') ++type;
            while (*name && *name != '.') ++name;
        } else if (*type == '?') {
            ++type;
            if (*name) ++name;
        } else if (*name == '\0') {
            if (*type++ != '.') return false;
        } else if (Fold(*type++) != Fold(*name++)) {
            return false;
        }
    }
}

bool ContainsIgnoringCase(const char* text, size_t textLength, const char* part,
                          size_t partLength) {
    for (size_t at = 0; at + partLength <= textLength; ++at) {
        size_t i = 0;
        while (i < partLength && Fold(text[at + i]) == Fold(part[i])) ++i;
        if (i == partLength) return true;
    }
    return false;
}

}  // namespace

/// One root's walk: the folders still to scan (the next one last) and those seen.
class TDirectoryScanner::TWalk {
public:
    std::vector<TFileName> m_pending;
    std::set<std::pair<uint64_t, uint64_t>> m_seen;

    /// False for a folder this walk has listed before (reached again through a link).
    bool FirstVisit(pf::TFindHandle* find) {
        uint64_t device = 0, inode = 0;
        return !pf::GetFindFolderId(find, device, inode) || m_seen.insert({device, inode}).second;
    }
};

char TDirectoryScanner::MatchesFileType(const char* type, const char* name) noexcept {
    if (!type || !name) return 0;
    if (type[0] != '<') return Walk(type, name);
    if (type[1] == '*') return Walk(type + 1, name);
    // "<text.ext": text inside the name's part before its first dot, then "*.ext".
    const char* text = type + 1;
    const char* dot = std::strchr(text, '.');
    const size_t textLength = dot ? size_t(dot - text) : std::strlen(text);
    const size_t stem = std::strcspn(name, ".");
    if (!ContainsIgnoringCase(name, stem, text, textLength)) return 0;
    return Walk(dot ? dot : "", name + stem);
}

TDirectoryScanner::TDirectoryScanner() = default;

TDirectoryScanner::TDirectoryScanner(const TFileName& root, const TString* types, char collectFiles,
                                     char recursive) {
    Reset(root, types, collectFiles, recursive);
}

TDirectoryScanner::TDirectoryScanner(const TFlexList<TFileName>& roots, const TString* types,
                                     char collectFiles, char recursive) {
    Reset(roots, types, collectFiles, recursive);
}

TDirectoryScanner::~TDirectoryScanner() = default;

char TDirectoryScanner::UserBreak() {
    return 0;
}

char TDirectoryScanner::OnFile(const TFileName&, const WIN32_FIND_DATAA*, uint32_t) {
    return 1;
}

char TDirectoryScanner::Filter(const TFileName&, const WIN32_FIND_DATAA*) {
    return 1;
}

void TDirectoryScanner::OnDirectory(const TFileName&) {}

void TDirectoryScanner::OnStartRealScan() {}

void TDirectoryScanner::OnEndRealScan() {}

void TDirectoryScanner::ResetState(char collectFiles, char recursive) {
    m_totalSize = 0;
    m_fileCount = 0;
    m_reportIndex = 0;
    m_cursor = nullptr;
    m_storeFolders = 0;
    m_skipHidden = 1;
    if (m_nameList) m_nameList->Clear();
    m_collectFiles = collectFiles;
    m_recursive = recursive;
    m_found.DeleteAll();
}

void TDirectoryScanner::Reset(const TFileName& root, const TString* types, char collectFiles,
                              char recursive) {
    TFileName* copy = new TFileName(root);  // before the roots go: `root` may be one
    ResetState(collectFiles, recursive);
    m_roots.DeleteAll();
    m_roots.Append(copy);
    if (types) {
        ClearFileTypes();
        AddFileType(*types);
    }
}

void TDirectoryScanner::Reset(const TFlexList<TFileName>& roots, const TString* types,
                              char collectFiles, char recursive) {
    TFlexList<TFileName> copies(roots);  // `roots` may be this scanner's own
    ResetState(collectFiles, recursive);
    m_roots.SwapWith(copies);
    ClearFileTypes();
    if (types) AddFileType(*types);
}

void TDirectoryScanner::AddFileType(const char* type) {
    if (type) m_fileTypes.Append(new TStringItem<TListElement>(type));
}

void TDirectoryScanner::AddFileType(const TString& type) {
    m_fileTypes.Append(new TStringItem<TListElement>(type));
}

void TDirectoryScanner::AddFileTypes(const TFlexList<TStringItem<TListElement>>& types) {
    for (const auto& type : types) AddFileType(type.GetString());
}

void TDirectoryScanner::ClearFileTypes() {
    m_fileTypes.DeleteAll();
}

TString TDirectoryScanner::GetFirst() {
    m_cursor = m_found.GetFirst();
    return m_cursor ? TString(m_cursor->GetName()) : TString();
}

TString TDirectoryScanner::GetNext() {
    if (m_cursor) m_cursor = m_found.GetNext(m_cursor);
    return m_cursor ? TString(m_cursor->GetName()) : TString();
}

void TDirectoryScanner::Run() {
    OnStartRealScan();
    m_reportIndex = 0;
    for (const TFileName* root = m_roots.GetFirst(); root; root = m_roots.GetNext(root))
        if (!ScanSpecification(*root)) break;
    OnEndRealScan();
    if (!m_collectFiles) return;
    for (const TFoundFile* found = m_found.GetFirst(); found; found = m_found.GetNext(found))
        if (!OnFile(found->GetName(), &found->GetEntry(), m_reportIndex++)) break;
}

char TDirectoryScanner::ScanSpecification(const TFileName& given) {
    // A native path ("/home/ann/*.wav") is taken in its library form, so that the
    // names reported are ones every file operation accepts.
    const TFileName root = given.GetFirstChar() == '/'
                               ? TFileName(FileNameFromNativePath(given.c_str()).c_str())
                               : given;
    if (!m_fileTypes.IsEmpty()) return ScanRoot(root, "*.*");

    TArray<TString> pieces;
    ExplodeString(pieces, root.c_str(), "|", 1, 0);
    if (pieces.GetCount() == 0) return 1;
    const TFileName folder(pieces[0].GetPath());
    const TString mask(pieces[0].GetTitle(1));
    if (mask.IsEmpty()) return 1;

    // The masks are this root's types only, whatever way the scan ends.
    struct TTemporaryTypes {
        TFlexList<TStringItem<TListElement>>& types;
        ~TTemporaryTypes() { types.DeleteAll(); }
    } temporary{m_fileTypes};
    AddFileType(mask);
    for (int32_t i = 1; i < pieces.GetCount(); ++i) AddFileType(pieces[i]);
    // One plain name is looked up as itself; "<text" is a pattern of the library's own.
    const bool plainName =
        pieces.GetCount() == 1 && mask.FindOneOf("*?") < 0 && mask.GetFirstChar() != '<';
    return ScanRoot(folder, plainName ? mask.c_str() : "*.*");
}

char TDirectoryScanner::ScanRoot(const TFileName& folder, const char* pattern) {
    TWalk walk;
    walk.m_pending.push_back(folder);
    for (bool first = true; !walk.m_pending.empty(); first = false) {
        const TFileName next = walk.m_pending.back();
        walk.m_pending.pop_back();
        if (!first && UserBreak()) return 0;
        if (!ScanFolder(next, pattern, walk)) return 0;
    }
    return 1;
}

char TDirectoryScanner::ScanFolder(const TFileName& folder, const char* pattern, TWalk& walk) {
    OnDirectory(folder);
    const TFileName prefix = Prefix(folder);
    WIN32_FIND_DATAA entry;
    TSearch search = OpenSearch(prefix, pattern, entry);
    if (!search || !walk.FirstVisit(search.get())) return 1;

    std::vector<std::pair<TFileName, TFoundFile*>> subfolders;
    DWORD error = 0;
    do {
        const bool visible = !m_skipHidden || !(entry.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN);
        if (IsFolder(entry)) {
            if (visible && entry.cFileName[0] != '.' && (m_storeFolders || m_recursive)) {
                TFileName name(prefix);
                name.Append(entry.cFileName);
                if (!m_storeFolders) {
                    subfolders.emplace_back(name, nullptr);
                } else if (pf::CompleteFindData(search.get(), entry, error)) {  // else gone
                    subfolders.emplace_back(name, m_found.Append(new TFoundFile(name, entry)));
                }
            }
        } else if (visible && !ReportFile(prefix, entry, search.get())) {
            return 0;
        }
        if (UserBreak()) return 0;
    } while (pf::FindNextFile(search.get(), entry, error));
    search.reset();  // one folder open at a time, however deep the tree

    if (m_storeFolders) {
        for (auto& [name, stored] : subfolders) {
            if (UserBreak()) return 0;
            char hasSubfolder = 0;
            if (!Probe(name, pattern, hasSubfolder)) return 0;
            if (hasSubfolder) stored->SetHasSubfolders(1);
        }
        return 1;
    }
    for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it)
        walk.m_pending.push_back(it->first);
    return 1;
}

char TDirectoryScanner::Probe(const TFileName& folder, const char* pattern, char& hasSubfolder) {
    hasSubfolder = 0;
    OnDirectory(folder);
    WIN32_FIND_DATAA entry;
    TSearch search = OpenSearch(Prefix(folder), pattern, entry);
    if (!search) return 1;
    DWORD error = 0;
    do {
        const bool visible = !m_skipHidden || !(entry.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN);
        if (IsFolder(entry) && visible && entry.cFileName[0] != '.') {
            hasSubfolder = 1;
            return 1;
        }
        if (UserBreak()) return 0;
    } while (pf::FindNextFile(search.get(), entry, error));
    return 1;
}

char TDirectoryScanner::ReportFile(const TFileName& prefix, WIN32_FIND_DATAA& entry,
                                   pf::TFindHandle* search) {
    TFileName name;
    for (const auto& type : m_fileTypes) {
        if (!MatchesFileType(type.c_str(), entry.cFileName)) continue;
        if (name.IsEmpty()) {
            DWORD error = 0;
            if (!pf::CompleteFindData(search, entry, error)) return 1;  // gone since the listing
            name = prefix;
            name.Append(entry.cFileName);
        }
        if (!Filter(name, &entry)) break;
        m_totalSize += (uint64_t{entry.nFileSizeHigh} << 32) | entry.nFileSizeLow;
        ++m_fileCount;
        if (m_nameList)
            m_nameList->Append(new TFileName(name));
        else if (m_collectFiles)
            m_found.Append(new TFoundFile(name, entry));
        else if (!OnFile(name, &entry, m_reportIndex++))
            return 0;
    }
    return 1;
}
