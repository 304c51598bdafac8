// commonvcqx/platform/internal/FileDialogs.h
//
// The desktop's open and save dialogs behind one replaceable back end. A request
// carries native paths and already translated filters; the answer gives the native
// paths the user chose. The default back end tries, in this order, the XDG desktop
// portal's FileChooser over the D-Bus session bus (when the library was built with
// libdbus-1), then zenity or kdialog found on PATH (kdialog first on a KDE desktop),
// and answers kUnavailable when none can run.
//
//   cvq::platform::TFileDialogRequest request;
//   request.filters.push_back({"Sound", {"*.[wW][aA][vV]"}});
//   cvq::platform::TFileDialogAnswer answer =
//       cvq::platform::GetFileDialog().Run(request, [] { /* serve the queue */ });
//
// While a dialog is open the back end waits on its own descriptor and on the calling
// thread's message queue; whenever the queue has messages it calls `serveQueue`,
// which must take every waiting message out of the queue.
//
// What each back end shows:
// - portal: title, filters with the preselected one, the initial folder and name,
//   multiple selection, and the read-only box as a boolean choice; it reports the
//   chosen filter and the box's state. Modal to no window (there is no native owner).
// - zenity: title, filters (the preselected one first, as zenity always starts with
//   the first), the initial folder and name, multiple selection, save mode. It
//   reports neither the filter nor a read-only box.
// - kdialog: as zenity, multiple names one per line (a name holding a line break
//   cannot be told apart there).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace cvq::platform {

struct TDialogFilter {
    std::string description;
    /// Shell patterns as the back end matches them ("*" for everything).
    std::vector<std::string> patterns;
};

struct TFileDialogRequest {
    bool save = false;
    std::string title;
    std::vector<TDialogFilter> filters;
    /// Zero-based filter shown first; below the number of filters when there are any.
    int currentFilter = 0;
    /// Native folder to start in; empty: the back end's choice.
    std::string folder;
    /// Name to pre-fill (no folder part).
    std::string name;
    bool multiple = false;
    bool showReadOnly = false;
    bool readOnly = false;
};

enum class EDialogOutcome {
    kChosen,
    kCancelled,
    /// The back end ran but failed (it crashed, or answered what cannot be read).
    kFailed,
    /// The back end cannot run here; the next one may.
    kUnavailable,
};

struct TFileDialogAnswer {
    EDialogOutcome outcome = EDialogOutcome::kUnavailable;
    /// Native absolute paths, at least one when chosen.
    std::vector<std::string> paths;
    /// Zero-based filter the user ended with; -1 when the back end does not say.
    int filter = -1;
    /// The read-only box; -1 when the back end does not say.
    int readOnly = -1;
};

class AFileDialog {
public:
    virtual ~AFileDialog() = default;
    /// Shows the dialog and waits for it, calling `serveQueue` while the calling
    /// thread's message queue has messages. May throw (the caller contains it).
    virtual TFileDialogAnswer Run(const TFileDialogRequest& request,
                                  const std::function<void()>& serveQueue) = 0;
};

/// The back end in use: the one set with SetFileDialog, else the default chain.
AFileDialog& GetFileDialog();
/// Replaces the back end for the whole process (null: the default chain again). The
/// caller keeps ownership and keeps the dialog alive while it is set.
void SetFileDialog(AFileDialog* dialog);

/// The portal client alone; null when the library was built without libdbus-1.
std::unique_ptr<AFileDialog> CreatePortalFileDialog();
/// The zenity/kdialog runner alone, looking for its programs on PATH at each Run.
std::unique_ptr<AFileDialog> CreateSubprocessFileDialog();

/// Waits until `fd` is readable (or has hung up), calling `serveQueue` whenever the
/// calling thread's message queue has messages. False when the wait itself failed.
bool WaitServingQueue(int fd, const std::function<void()>& serveQueue);

/// The path of a "file://" URI with its %XX escapes decoded; false for any other
/// scheme, a host other than "" or "localhost", a bad escape or a NUL, encoded or not.
bool DecodeFileUri(std::string_view uri, std::string& path);

/// zenity's output: the text without its one final line feed, split at `separator`
/// (non-empty). Empty text gives no names.
std::vector<std::string> SplitDialogOutput(std::string_view output, std::string_view separator);

}  // namespace cvq::platform
