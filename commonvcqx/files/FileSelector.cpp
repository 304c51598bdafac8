#include <commonvcqx/files/FileSelector.h>

#include <commonvcqx/base/StartupOrder.h>
#include <commonvcqx/base/ThreadSafety.h>
#include <commonvcqx/config/Config.h>
#include <commonvcqx/events/NotificationQueue.h>
#include <commonvcqx/files/internal/FileSelectorText.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/Messages.h>
#include <commonvcqx/platform/internal/FileDialogs.h>
#include <commonvcqx/threads/CriticalSection.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace pf = cvq::platform;

namespace {

// What all selectors of the process share, built at library start-up.
struct TSelectorShared {
    TSelectorShared() { cvq::detail::RecordStartupStep(cvq::detail::kStartFileSelectorLock, true); }
    ~TSelectorShared() {
        cvq::detail::RecordStartupStep(cvq::detail::kStartFileSelectorLock, false);
    }

    TCriticalSection lock;
    // Emptied instead of deleted, so a reference from GetPathList never dangles.
    TFlexList<TFileName> recent CVQ_GUARDED_BY(lock);
    bool recentExists CVQ_GUARDED_BY(lock) = false;
    int32_t style CVQ_GUARDED_BY(lock) = -1;
    char expanded CVQ_GUARDED_BY(lock) = 0;
    HBITMAP expandBitmap CVQ_GUARDED_BY(lock) = nullptr;
    const TFileSelector* open[TFileSelector::kMaxOpenDialogs] CVQ_GUARDED_BY(lock) = {};
};
__attribute__((init_priority(cvq::detail::kStartFileSelectorLock))) TSelectorShared g_shared;

// A place in the table of open dialogs for the life of one Select; the check for a
// free place and the taking of it are one step, so a fifth dialog never slips in.
class TOpenDialog {
public:
    explicit TOpenDialog(const TFileSelector* selector) {
        TAutoCriticalSection guard(g_shared.lock);
        for (const TFileSelector*& place : g_shared.open) {
            if (!place) {
                place = selector;
                m_place = &place;
                return;
            }
        }
    }
    ~TOpenDialog() {
        if (!m_place) return;
        TAutoCriticalSection guard(g_shared.lock);
        *m_place = nullptr;
    }
    TOpenDialog(const TOpenDialog&) = delete;
    TOpenDialog& operator=(const TOpenDialog&) = delete;

    bool IsOpen() const noexcept { return m_place != nullptr; }

private:
    const TFileSelector** m_place = nullptr;
};

void AddRecentLocked(const TFileName& path) CVQ_REQUIRES(g_shared.lock) {
    for (TFileName* entry = g_shared.recent.GetFirst(); entry;
         entry = g_shared.recent.GetNext(entry)) {
        if (CompareFileNames(entry->c_str(), path.c_str()) == 0) {
            delete g_shared.recent.Detach(entry);
            break;
        }
    }
    g_shared.recent.Prepend(new TFileName(path));
    while (g_shared.recent.GetCount() > TFileSelector::kMaxRecentPaths)
        delete g_shared.recent.DetachLast();
}

// Serves the calling thread's queue as the platform's modal loop does; a quit request
// is held back and posted again once the dialog is closed.
class TQueueServer {
public:
    ~TQueueServer() {
        if (m_quit) PostQuitMessage(m_quitCode);
    }
    void Serve() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                m_quit = true;
                m_quitCode = int(msg.wParam);
            } else if (msg.message == WM_PENDING_EVENTS && !msg.hwnd) {
                ProcessThreadPendingEvents();
            } else {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
    }

private:
    bool m_quit = false;
    int m_quitCode = 0;
};

std::string FilterText(const TFileSelector& selector) {
    if (selector.filter.IsValid() && *selector.filter.GetString())
        return selector.filter.GetString();
    std::string text;
    for (const auto& item : selector.filterList) {
        if (!text.empty()) text += '|';
        text += item.c_str();
    }
    return text.empty() ? std::string("*.*|*.*|") : text;
}

std::string NativeFolder(const TString& folder) {
    std::string native;
    if (!folder.IsEmpty()) NativePathFromFileName(folder.c_str(), native);
    return native;
}

TString WithoutTrailingSeparator(const TString& folder) {
    TString text = folder;
    while (text.GetLength() > 0 && text.GetLastChar() == '\\')
        text = text.Left(text.GetLength() - 1);
    return text;
}

}  // namespace

TFileSelector::TFileSelector() = default;
TFileSelector::TFileSelector(const TFileSelector& other) = default;
TFileSelector& TFileSelector::operator=(const TFileSelector& other) = default;
TFileSelector::~TFileSelector() = default;

char TFileSelector::Select() {
    try {
        TOpenDialog place(this);
        if (!place.IsOpen()) return 0;
        return SelectRegistered();
    } catch (...) {
        return 0;
    }
}

char TFileSelector::SelectRegistered() {
    pf::TFileDialogRequest request;
    request.save = mode == 1;
    if (title.IsValid()) request.title = title.GetString();

    const std::vector<cvq::detail::TFilterPair> pairs =
        cvq::detail::ParseFilterText(FilterText(*this));
    const int preselected = cvq::detail::PreselectedFilter(filterIndex, int(pairs.size()));
    for (const cvq::detail::TFilterPair& pair : pairs) {
        pf::TDialogFilter one{pair.description, {}};
        for (const std::string& pattern : cvq::detail::SplitPatterns(pair.patterns))
            one.patterns.push_back(cvq::detail::BackEndPattern(pattern));
        request.filters.push_back(std::move(one));
    }
    request.currentFilter = preselected - 1;

    // The name buffer the chosen names come back in; its last byte stays a NUL.
    std::unique_ptr<char[]> buffer(new char[kNameBufferSize]());
    const TString name = initialFile.GetTitle(1);
    std::memcpy(buffer.get(), name.c_str(),
                std::min<size_t>(name.GetLength(), size_t(kNameBufferSize) - 1));
    request.name = buffer.get();

    TString folder = initialFile.ContainsDrive() ? TString(initialFile.GetPath()) : initialDir;
    if (folder.IsEmpty() && templateId != 0) {
        TAutoCriticalSection guard(g_shared.lock);
        if (g_shared.recent.GetFirst()) folder = *g_shared.recent.GetFirst();
    }
    request.folder = NativeFolder(folder);
    request.multiple = multiSelection != 0;
    request.showReadOnly = showReadOnly != 0;
    request.readOnly = readOnly != 0;

    pf::TFileDialogAnswer answer;
    {
        TQueueServer server;
        answer = pf::GetFileDialog().Run(request, [&server] { server.Serve(); });
    }
    if (answer.outcome != pf::EDialogOutcome::kChosen || answer.paths.empty()) {
        extendedError =
            answer.outcome == pf::EDialogOutcome::kCancelled ? kNoError : kDialogFailure;
        return 0;
    }

    std::vector<std::string> names;
    for (const std::string& path : answer.paths) {
        TString chosen(FileNameFromNativePath(path).c_str());
        // The platform's save dialog completes a typed name with the default extension.
        if (request.save && !defaultExtension.IsEmpty() &&
            TString(chosen.GetExtension(0)).IsEmpty()) {
            const char* extension = defaultExtension.c_str();
            chosen += '.';
            chosen += extension[0] == '.' ? extension + 1 : extension;
        }
        names.emplace_back(chosen.c_str());
    }
    std::memset(buffer.get(), 0, kNameBufferSize);
    if (!cvq::detail::PackNames(names, buffer.get(), kNameBufferSize)) {
        extendedError = kBufferTooSmall;
        return 0;
    }
    if (!cvq::detail::ParseNameBuffer(buffer.get(), kNameBufferSize, files, chosenDir)) return 0;
    extendedError = kNoError;
    selectedFilter =
        answer.filter >= 0 && answer.filter < int(pairs.size()) ? answer.filter : preselected - 1;
    if (answer.readOnly >= 0) readOnly = char(answer.readOnly);

    TAutoCriticalSection guard(g_shared.lock);
    if (g_shared.recentExists) AddRecentLocked(WithoutTrailingSeparator(chosenDir));
    return 1;
}

TFlexList<TFileName>& TFileSelector::GetPathList() {
    TAutoCriticalSection guard(g_shared.lock);
    g_shared.recentExists = true;
    return g_shared.recent;
}

void TFileSelector::AddPathToRecentPathList(const TFileName& path) {
    if (path.IsEmpty()) return;
    TAutoCriticalSection guard(g_shared.lock);
    g_shared.recentExists = true;
    AddRecentLocked(path);
}

void TFileSelector::LoadPrefFileSelection(TConfig& config) {
    TConfigKey* previous = config.GetCurrentKey();
    int32_t style = -1;
    char expanded = 0;
    std::vector<TString> folders;
    if (config.MoveDownIfExist("RecentPaths")) {
        style = config.GetValue(int32_t(-1), "Style");
        expanded = config.GetValue(char(0), "Expanded");
        for (int i = 0; i < kMaxRecentPaths; ++i) {
            TString folder = config.GetValue("", "Folder", i);
            if (folder.IsEmpty()) break;
            folders.push_back(folder);
        }
        config.MoveTo(previous);
    }
    TAutoCriticalSection guard(g_shared.lock);
    g_shared.style = style;
    g_shared.expanded = expanded;
    g_shared.recentExists = true;
    for (const TString& folder : folders) {
        if (g_shared.recent.GetCount() >= kMaxRecentPaths) break;
        bool known = false;
        for (const TFileName& entry : g_shared.recent)
            known = known || CompareFileNames(entry.c_str(), folder.c_str()) == 0;
        if (!known) g_shared.recent.Append(new TFileName(folder));
    }
}

void TFileSelector::SavePrefFileSelection(TConfig& config) {
    TConfigKey* previous = config.GetCurrentKey();
    if (!config.MoveDownIfExist("RecentPaths") && config.MoveDown("RecentPaths") == previous)
        return;  // the group can be neither found nor made: nothing to write into
    // The cursor goes back to where it was however the writing ends.
    struct TBack {
        TConfig& config;
        TConfigKey* key;
        ~TBack() { config.MoveTo(key); }
    } back{config, previous};
    config.DeleteAllChildKeys();
    TAutoCriticalSection guard(g_shared.lock);
    config.SetValue(g_shared.style, "Style");
    config.SetValue(g_shared.expanded, "Expanded");
    int index = 0;
    for (const TFileName& folder : g_shared.recent) {
        if (index >= kMaxRecentPaths) break;
        // A folder name with a line break cannot be kept in the configuration text.
        if (std::strpbrk(folder.c_str(), "\r\n")) continue;
        config.SetValue(static_cast<const TString&>(folder), "Folder", index++);
    }
    g_shared.recent.Clear();
    g_shared.recentExists = false;
}

void SetFileSelectorExpandBitmap(HBITMAP bitmap) {
    TAutoCriticalSection guard(g_shared.lock);
    g_shared.expandBitmap = bitmap;
}

HBITMAP GetFileSelectorExpandBitmap() {
    TAutoCriticalSection guard(g_shared.lock);
    return g_shared.expandBitmap;
}
