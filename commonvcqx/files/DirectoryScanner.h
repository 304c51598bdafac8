// commonvcqx/files/DirectoryScanner.h
//
// TDirectoryScanner: walks one or more folders, optionally with their subfolders, and
// reports each file whose name matches one of its file types through virtual hooks
// that a derived class overrides (a search, an import of all sound files of a tree, a
// folder browser). It can also collect what it finds: the full names in a caller's
// list, or TFoundFile records in its own found list, reported after the scan.
//
//   class TSoundImport : public TDirectoryScanner {
//   public:
//       char OnFile(const TFileName& name, const WIN32_FIND_DATAA*, uint32_t) override {
//           Import(name);
//           return 1;                                  // 0 would stop the scan
//       }
//   };
//   TSoundImport import;
//   import.Reset(TFileName("C:\\Samples\\*.wav|*.aif"), nullptr, 0, 1);   // recursive
//   import.Run();
//
// A root is a folder when file types are set. Without them it is a folder, a "\" and
// a mask, optionally followed by further masks after "|"; the masks are the types of
// that root alone.
//
// File types match names without regard to letter case: "*" stands for the rest of a
// name up to its next dot (never across one), "?" for one character, and a dot in the
// type may stand for the end of the name ("*.*" matches "a.wav" and "a", not "a.b.c").
// A type "<text.ext" matches names whose part before the first dot contains "text" and
// whose extension matches "ext"; "<*..." is the type after the "<".
//
// Each folder lists in the library's file-name order, so results are the same on
// every run. Folders whose names begin with "." are never entered; with skip hidden
// (the default) hidden files are not reported either. A folder that cannot be read
// yields nothing and the scan goes on; a folder reached again through a symbolic link
// is scanned once; trees of any depth and paths of any length are walked without
// recursion. An exception thrown by a hook leaves through Run with the folder closed.
#pragma once

#include <commonvcqx/containers/FlexList.h>
#include <commonvcqx/containers/StringItem.h>
#include <commonvcqx/files/FileName.h>
#include <commonvcqx/files/FoundFile.h>
#include <commonvcqx/platform/WinTypes.h>
#include <commonvcqx/text/String.h>

#include <cstdint>

namespace cvq::platform {
struct TFindHandle;
}

class TDirectoryScanner {
public:
    /// No roots and no types, every flag off but skip hidden, no name list.
    TDirectoryScanner();
    /// As the default, then the matching Reset.
    TDirectoryScanner(const TFileName& root, const TString* types, char collectFiles,
                      char recursive);
    TDirectoryScanner(const TFlexList<TFileName>& roots, const TString* types, char collectFiles,
                      char recursive);
    virtual ~TDirectoryScanner();
    TDirectoryScanner(const TDirectoryScanner&) = delete;
    TDirectoryScanner& operator=(const TDirectoryScanner&) = delete;

    // Hooks, asked during Run. The defaults go on and do nothing.
    /// Asked after each entry and before each subfolder; true stops the scan.
    virtual char UserBreak();
    /// A matched file (or, after a collecting scan, each found entry) with the running
    /// index; false stops the scan.
    virtual char OnFile(const TFileName& name, const WIN32_FIND_DATAA* entry, uint32_t index);
    /// Asked for each matching type of a file before it counts; false skips the file.
    virtual char Filter(const TFileName& name, const WIN32_FIND_DATAA* entry);
    /// Each folder as its scan begins (a probed subfolder included).
    virtual void OnDirectory(const TFileName& folder);
    virtual void OnStartRealScan();
    virtual void OnEndRealScan();

    /// Clears the counters, the cursor, the found list and the attached name list's
    /// contents, switches store folders off and skip hidden on, and sets the root and
    /// flags. Given `types`, the type list becomes that one type; otherwise it stays.
    void Reset(const TFileName& root, const TString* types, char collectFiles, char recursive);
    /// The same with several roots (copied), except that the type list is always
    /// emptied before the optional type is added.
    void Reset(const TFlexList<TFileName>& roots, const TString* types, char collectFiles,
               char recursive);

    void AddFileType(const char* type);
    void AddFileType(const TString& type);
    void AddFileTypes(const TFlexList<TStringItem<TListElement>>& types);
    void ClearFileTypes();

    /// Keeps each root's visible folders as found entries, each marked when it holds
    /// a visible subfolder; subfolders are then only probed, never scanned.
    void SetStoreFolders(char store) noexcept { m_storeFolders = store; }
    void SkipHiddenItems(char skip) noexcept { m_skipHidden = skip; }
    /// Matched files go to `names` (the caller's list) instead of OnFile.
    void SetFileNameList(TFlexList<TFileName>& names) noexcept { m_nameList = &names; }

    /// Scans every root; see the hooks.
    void Run();

    /// Entries in the found list.
    int32_t GetNumFile() const noexcept { return m_found.GetCount(); }
    /// The names of the found list in order; an empty string after the last.
    TString GetFirst();
    TString GetNext();
    TFlexList<TFoundFile>& GetFoundFiles() noexcept { return m_found; }
    const TFlexList<TFoundFile>& GetFoundFiles() const noexcept { return m_found; }

    /// Sum of the sizes of the matched files (a file matching two types counts twice).
    uint64_t GetTotalSize() const noexcept { return m_totalSize; }
    int32_t GetFileCount() const noexcept { return m_fileCount; }

    /// True when the file type `type` matches the file name `name` (see above).
    static char MatchesFileType(const char* type, const char* name) noexcept;

private:
    class TWalk;

    // Each scanning step returns 0 when the whole scan must end.
    void ResetState(char collectFiles, char recursive);
    char ScanSpecification(const TFileName& root);
    char ScanRoot(const TFileName& folder, const char* pattern);
    char ScanFolder(const TFileName& folder, const char* pattern, TWalk& walk);
    char Probe(const TFileName& folder, const char* pattern, char& hasSubfolder);
    char ReportFile(const TFileName& prefix, WIN32_FIND_DATAA& entry,
                    cvq::platform::TFindHandle* search);

    uint64_t m_totalSize = 0;
    int32_t m_fileCount = 0;
    uint32_t m_reportIndex = 0;
    TFlexList<TFileName>* m_nameList = nullptr;
    TFlexList<TFoundFile> m_found;
    TFlexList<TStringItem<TListElement>> m_fileTypes;
    TFlexList<TFileName> m_roots;
    TFoundFile* m_cursor = nullptr;
    char m_collectFiles = 0;
    char m_recursive = 0;
    char m_storeFolders = 0;
    char m_skipHidden = 1;
};
