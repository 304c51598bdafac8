// commonvcqx/files/FileSelector.h
//
// TFileSelector: the desktop's open or save dialog, configured from public settings,
// returning the chosen file or files in library form ("C:\home\ann\take.wav"). All
// selectors of the process share a list of up to 15 recently used folders, kept in a
// configuration with LoadPrefFileSelection and SavePrefFileSelection.
//
//   TFileSelector selector;
//   selector.title = "Open take";
//   selector.filter = "Sound|*.wav;*.aif|All|*.*|";
//   selector.multiSelection = 1;
//   if (selector.Select())
//       for (TFileName& name : selector.files) Load(name);
//
// The dialog is the desktop's own (see platform/internal/FileDialogs.h for what each
// back end shows); without one Select returns false and extendedError is 0xFFFF.
// Patterns match without regard to letter case; a typed name without extension gets
// the default extension in save mode. While the dialog is open the calling thread
// keeps serving its message queue: sent messages reach its windows, posted ones are
// dispatched, and queued notifications (0x83ED) are processed. At most four dialogs
// are open at once in the process; a fifth Select returns false at once.
//
// What no back end offers: the help and network buttons, the owner window and the
// dialog template's look. A template id makes the most recent folder the initial
// folder when the caller gives none. The expand bitmap is kept for such a template
// only; the desktop dialogs show no bitmap.
#pragma once

#include <commonvcqx/containers/FlexList.h>
#include <commonvcqx/containers/StringItem.h>
#include <commonvcqx/files/FileName.h>
#include <commonvcqx/platform/WinTypes.h>
#include <commonvcqx/text/String.h>
#include <commonvcqx/text/StringGerm.h>

#include <cstdint>

class TConfig;

class TFileSelector {
public:
    /// Extended error codes in the platform's numbering.
    enum EExtendedError : uint32_t {
        kNoError = 0,
        /// The chosen names do not fit the 65,000-byte name buffer.
        kBufferTooSmall = 0x3003,
        /// No dialog could be shown, or the dialog failed.
        kDialogFailure = 0xFFFF,
    };
    /// Bytes of the name buffer; one is kept for the final NUL.
    static constexpr int32_t kNameBufferSize = 65000;
    /// Entries of the recent-folder list.
    static constexpr int32_t kMaxRecentPaths = 15;
    /// Dialogs that may be open at once.
    static constexpr int32_t kMaxOpenDialogs = 4;

    TFileSelector();
    TFileSelector(const TFileSelector& other);
    TFileSelector& operator=(const TFileSelector& other);
    ~TFileSelector();

    /// Shows the dialog: true when the user chose at least one file. Any failure,
    /// exceptions included, gives false (and no dialog stays registered).
    char Select();
    /// More than one file was chosen.
    char HasMultiSelection() const noexcept { return files.GetCount() > 1; }

    /// The process's recent folders, most recent first; made on first use. The list
    /// itself lives as long as the library (it is emptied, never deleted), but its
    /// entries change under Select on other threads.
    static TFlexList<TFileName>& GetPathList();
    /// Ignores an empty name; moves an equal entry (letter case aside) to the front or
    /// puts the name first, keeping at most 15.
    static void AddPathToRecentPathList(const TFileName& path);
    /// Reads group "RecentPaths": "Style" (default -1), "Expanded" (default 0) and the
    /// folders "Folder" 0, 1, ... up to the first empty one, appended to the recent list
    /// (never past 15, never twice). The configuration's current group is kept.
    static void LoadPrefFileSelection(TConfig& config);
    /// Replaces group "RecentPaths" by "Style", "Expanded" and the recent folders, then
    /// empties the recent list (it is made again on next use). The current group is kept.
    static void SavePrefFileSelection(TConfig& config);

    // Settings, read by Select.
    /// 1: save dialog; any other value: open dialog.
    int32_t mode = 2;
    TStringGerm title;
    /// Pairs of description and patterns ("*.wav;*.aif"), each ended by "|".
    TStringGerm filter;
    /// Used when no filter text is set: the items joined with "|".
    TFlexList<TStringItem<TListElement>> filterList;
    /// Zero-based filter to preselect; negative: the first.
    int32_t filterIndex = 0;
    TString defaultExtension;
    int32_t help = 0;
    char noChangeDir = 0;
    char showReadOnly = 0;
    /// The read-only box: ticked before, and its state after a successful Select.
    char readOnly = 0;
    char multiSelection = 0;
    char fileMustExist = 0;
    char noNetworkButton = 0;
    char pathMustExist = 1;
    HWND owner = nullptr;
    HINSTANCE instance = nullptr;
    int32_t templateId = 0;
    /// Its name part pre-fills the name box; a path with a drive is the initial folder.
    TFileName initialFile;
    /// Used when the initial file has no drive.
    TFileName initialDir;

    // Results of Select.
    TFlexList<TFileName> files;
    TFileName chosenDir;
    /// Zero-based; -1 before the first successful Select.
    int32_t selectedFilter = -1;
    uint32_t extendedError = kNoError;

private:
    char SelectRegistered();
};

/// Keeps `bitmap` as the template's expand button image (the previous one is dropped).
void SetFileSelectorExpandBitmap(HBITMAP bitmap);
/// The bitmap last set; null before.
HBITMAP GetFileSelectorExpandBitmap();
